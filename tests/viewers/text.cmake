iradudo_add_gtest(test_text_viewer
  SOURCES rtf_reader_test.cpp text_loader_test.cpp text_print_job_test.cpp text_test_util.h
  LIBS iradudo_text iradudo_test_support iradudo_gui_test_main)
