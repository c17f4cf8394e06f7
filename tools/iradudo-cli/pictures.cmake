target_sources(iradudo-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cmd_picture.cpp)
target_link_libraries(iradudo-cli PRIVATE iradudo_pictures)
