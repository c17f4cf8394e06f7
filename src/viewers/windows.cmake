# The viewer windows' widgets: the text view with its print step, and the image
# control with the guarded picture load and the GIF decoder's event hook.
if(IRADUDO_WITH_GUI)
  add_library(iradudo_viewer_windows STATIC
    ${CMAKE_CURRENT_LIST_DIR}/text_viewer_window.h ${CMAKE_CURRENT_LIST_DIR}/text_viewer_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/image_viewer_window.h ${CMAKE_CURRENT_LIST_DIR}/image_viewer_window.cpp)
  target_include_directories(iradudo_viewer_windows PUBLIC ${IRADUDO_SOURCE_ROOT})
  target_link_libraries(iradudo_viewer_windows PUBLIC
    Qt6::Widgets Qt6::PrintSupport iradudo_text iradudo_pictures iradudo_gif iradudo_fonts)
endif()
