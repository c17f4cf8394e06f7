target_sources(iradudo-cli PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cmd_text.cpp ${CMAKE_CURRENT_LIST_DIR}/cmd_print.cpp)
target_link_libraries(iradudo-cli PRIVATE iradudo_text)
