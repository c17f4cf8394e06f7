# The text viewer's document layer: rich and plain text into a QTextDocument,
# the load procedure, the print job and the wrap toggle.
add_library(iradudo_text STATIC
  ${CMAKE_CURRENT_LIST_DIR}/code_pages.h ${CMAKE_CURRENT_LIST_DIR}/code_pages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/document_text.h ${CMAKE_CURRENT_LIST_DIR}/document_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plain_text_reader.h ${CMAKE_CURRENT_LIST_DIR}/plain_text_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rtf_reader.h ${CMAKE_CURRENT_LIST_DIR}/rtf_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_loader.h ${CMAKE_CURRENT_LIST_DIR}/text_loader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_print_job.h ${CMAKE_CURRENT_LIST_DIR}/text_print_job.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_wrap.h ${CMAKE_CURRENT_LIST_DIR}/text_wrap.cpp)
target_include_directories(iradudo_text PUBLIC ${IRADUDO_SOURCE_ROOT})
target_link_libraries(iradudo_text PUBLIC iradudo_base iradudo_fonts Qt6::Gui Qt6::PrintSupport)
