# The viewer windows inside the main window, over a disc of pictures made at
# build time with Pillow and ImageMagick (each with Pillow's decoding beside it).
if(IRADUDO_WITH_GUI)
  find_package(JPEG REQUIRED)
  find_program(IRADUDO_PIL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
  set(IRADUDO_VIEWER_FILES ${PROJECT_BINARY_DIR}/tests/viewer-files)
  add_custom_command(OUTPUT ${IRADUDO_VIEWER_FILES}/stamp
    COMMAND ${IRADUDO_PIL_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/make_viewer_files.py ${IRADUDO_VIEWER_FILES}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_viewer_files.py ${CMAKE_CURRENT_LIST_DIR}/make_pictures.py
    COMMENT "Making the viewer windows' test files")
  add_custom_target(iradudo_viewer_files DEPENDS ${IRADUDO_VIEWER_FILES}/stamp)

  iradudo_add_gtest(test_viewer_windows
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/viewer_windows_test.cpp
    LIBS iradudo_form iradudo_test_support iradudo_app_test_main Qt6::Test JPEG::JPEG
    LABEL gui)
  target_compile_definitions(test_viewer_windows PRIVATE IRADUDO_VIEWER_FILES="${IRADUDO_VIEWER_FILES}")
  add_dependencies(test_viewer_windows iradudo_viewer_files)
endif()
