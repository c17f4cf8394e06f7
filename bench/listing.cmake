# bench_listing: the browser listing of 10,000 entries against a bare loop of the same system calls.
add_executable(bench_listing ${CMAKE_CURRENT_LIST_DIR}/listing_bench.cpp)
target_link_libraries(bench_listing PRIVATE iradudo_browser benchmark::benchmark)
