# bench_pictures: GIF and JPEG loading beside giflib, stb_image and bare libjpeg.
# The pictures (two 2048 x 2048 GIFs, a 4000 x 3000 JPEG) are made at build time.
find_package(JPEG REQUIRED)
find_package(GIF REQUIRED)
find_program(IRADUDO_PIL_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(IRADUDO_BENCH_PICTURES ${CMAKE_CURRENT_BINARY_DIR}/pictures-data)
add_custom_command(OUTPUT ${IRADUDO_BENCH_PICTURES}/stamp
  COMMAND ${IRADUDO_PIL_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/make_bench_pictures.py ${IRADUDO_BENCH_PICTURES}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_bench_pictures.py
  COMMENT "Making the benchmark pictures")
add_custom_target(iradudo_bench_pictures_data DEPENDS ${IRADUDO_BENCH_PICTURES}/stamp)

add_executable(bench_pictures ${CMAKE_CURRENT_LIST_DIR}/pictures_bench.cpp)
target_include_directories(bench_pictures PRIVATE /usr/include/stb)
target_link_libraries(bench_pictures PRIVATE iradudo_pictures benchmark::benchmark GIF::GIF JPEG::JPEG stb)
target_compile_definitions(bench_pictures PRIVATE IRADUDO_BENCH_PICTURES="${IRADUDO_BENCH_PICTURES}")
add_dependencies(bench_pictures iradudo_bench_pictures_data)
