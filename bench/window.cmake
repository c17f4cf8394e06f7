# The window program's speed: start-up to the first painted frame, and opening
# a directory of 10,000 entries (the window's share against the listing's own).
if(IRADUDO_WITH_GUI AND TARGET iradudo_form)
  add_executable(bench_window ${CMAKE_CURRENT_LIST_DIR}/window/window_bench.cpp)
  target_link_libraries(bench_window PRIVATE iradudo_form benchmark::benchmark)
  target_compile_definitions(bench_window PRIVATE
    IRADUDO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    IRADUDO_STARTUP_PROBE="$<TARGET_FILE:bench_window_startup_probe>")

  # The program's own start-up sequence, ending at its first painted frame.
  add_executable(bench_window_startup_probe ${CMAKE_CURRENT_LIST_DIR}/window/startup_probe.cpp)
  target_link_libraries(bench_window_startup_probe PRIVATE iradudo_form)
  add_dependencies(bench_window bench_window_startup_probe)
endif()
