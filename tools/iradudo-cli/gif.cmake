target_sources(iradudo-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cmd_gif2bmp.cpp)
target_link_libraries(iradudo-cli PRIVATE iradudo_gif)
