# `iradudo-cli picture` on the picture files that tests/viewers makes.
find_program(IRADUDO_PIL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_test(NAME cli_picture
  COMMAND ${IRADUDO_PIL_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/picture_cli_test.py
          $<TARGET_FILE:iradudo-cli> ${PROJECT_BINARY_DIR}/tests/pictures-data)
set_tests_properties(cli_picture PROPERTIES LABELS core)
