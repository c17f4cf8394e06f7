# The GIF graphic class over the decoder, on the picture files of tests/viewers.
iradudo_add_gtest(test_gif_bitmap
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/gif_bitmap_test.cpp
  LIBS iradudo_pictures iradudo_picture_test_data iradudo_test_support iradudo_gui_test_main
  LABEL core)
