target_sources(iradudo-cli PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/cmd_drives.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cmd_list.cpp)
target_link_libraries(iradudo-cli PRIVATE iradudo_browser iradudo_platform)
