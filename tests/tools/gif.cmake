# gif2bmp through the built tool, checked with Pillow and ImageMagick (Debian's python3-pil).
find_program(IRADUDO_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
add_test(NAME cli_gif2bmp
  COMMAND ${IRADUDO_SYSTEM_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/gif2bmp_test.py $<TARGET_FILE:iradudo-cli>)
set_tests_properties(cli_gif2bmp PROPERTIES LABELS core)
