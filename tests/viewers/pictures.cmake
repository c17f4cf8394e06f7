# Picture files made at build time with Pillow and ImageMagick, each with the
# pixels Pillow decodes from it, for the picture tests here, in gif/ and tools/.
# Debian's own interpreter: that is where python3-pil is installed.
find_package(JPEG REQUIRED)
find_program(IRADUDO_PIL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(IRADUDO_PICTURES_DATA ${PROJECT_BINARY_DIR}/tests/pictures-data)
add_custom_command(OUTPUT ${IRADUDO_PICTURES_DATA}/stamp
  COMMAND ${IRADUDO_PIL_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/make_pictures.py ${IRADUDO_PICTURES_DATA}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_pictures.py
  COMMENT "Making the picture test files")
add_custom_target(iradudo_pictures_data DEPENDS ${IRADUDO_PICTURES_DATA}/stamp)

add_library(iradudo_picture_test_data STATIC
  ${CMAKE_CURRENT_LIST_DIR}/picture_data.h ${CMAKE_CURRENT_LIST_DIR}/picture_data.cpp)
target_link_libraries(iradudo_picture_test_data PUBLIC Qt6::Gui iradudo_test_support)
target_compile_definitions(iradudo_picture_test_data PRIVATE IRADUDO_PICTURES_DATA="${IRADUDO_PICTURES_DATA}")
add_dependencies(iradudo_picture_test_data iradudo_pictures_data)

iradudo_add_gtest(test_pictures
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/file_formats_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/jpeg_image_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bitmap_icon_test.cpp
  LIBS iradudo_pictures iradudo_picture_test_data iradudo_test_support iradudo_gui_test_main JPEG::JPEG
  LABEL core)
