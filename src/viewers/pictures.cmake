# The picture layer: graphic classes, the format registry, JPEG through libjpeg
# and the GIF graphic class over the decoder in gif/.
find_package(JPEG REQUIRED)

add_library(iradudo_pictures STATIC
  ${CMAKE_CURRENT_LIST_DIR}/graphic.h ${CMAKE_CURRENT_LIST_DIR}/graphic.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bitmap.h ${CMAKE_CURRENT_LIST_DIR}/bitmap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon.h ${CMAKE_CURRENT_LIST_DIR}/icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/jpeg_image.h ${CMAKE_CURRENT_LIST_DIR}/jpeg_image.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_formats.h ${CMAKE_CURRENT_LIST_DIR}/file_formats.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture.h ${CMAKE_CURRENT_LIST_DIR}/picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture_formats.h ${CMAKE_CURRENT_LIST_DIR}/picture_formats.cpp
  ${IRADUDO_SOURCE_ROOT}/gif/gif_bitmap.h ${IRADUDO_SOURCE_ROOT}/gif/gif_bitmap.cpp)
target_include_directories(iradudo_pictures PUBLIC ${IRADUDO_SOURCE_ROOT})
target_link_libraries(iradudo_pictures PUBLIC Qt6::Gui iradudo_base iradudo_gif PRIVATE JPEG::JPEG)
