iradudo_add_gtest(test_cli_browser
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_browser_test.cpp
  LIBS iradudo_test_support GTest::gtest_main)
add_dependencies(test_cli_browser iradudo-cli)
