# Loading text into the viewer's document: RTF against plain text, and large files.
add_executable(bench_text ${CMAKE_CURRENT_LIST_DIR}/text_bench.cpp)
target_link_libraries(bench_text PRIVATE iradudo_text benchmark::benchmark)
