# The GIF decoder core beside giflib (Debian's libgif-dev).
find_package(GIF REQUIRED)
add_executable(bench_gif_decoder ${CMAKE_CURRENT_LIST_DIR}/gif_decoder_bench.cpp)
target_link_libraries(bench_gif_decoder PRIVATE iradudo_gif GIF::GIF benchmark::benchmark)
