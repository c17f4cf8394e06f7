target_sources(iradudo-cli PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cmd_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cmd_print.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gui_application.cpp)
target_link_libraries(iradudo-cli PRIVATE iradudo_text)
