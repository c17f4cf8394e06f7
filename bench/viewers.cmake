# bench_viewers: "Mostra immagine" on a 2048 x 2048 GIF up to the painted
# picture, beside the decode alone (pictures from bench/pictures.cmake).
if(IRADUDO_WITH_GUI AND TARGET iradudo_form AND TARGET iradudo_bench_pictures_data)
  add_executable(bench_viewers ${CMAKE_CURRENT_LIST_DIR}/viewers/viewers_bench.cpp)
  target_link_libraries(bench_viewers PRIVATE iradudo_form benchmark::benchmark)
  target_compile_definitions(bench_viewers PRIVATE IRADUDO_BENCH_PICTURES="${IRADUDO_BENCH_PICTURES}")
  add_dependencies(bench_viewers iradudo_bench_pictures_data)
endif()
