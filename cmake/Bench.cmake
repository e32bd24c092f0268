# One benchmark executable per file under bench/: bench_<name>.
find_package(benchmark REQUIRED)
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(src IN LISTS bench_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(bench_${name} ${src})
  target_link_libraries(bench_${name} PRIVATE ruv3 benchmark::benchmark_main)
  # bench/<name>.cmake may add the peer library the benchmark compares against.
  if(EXISTS ${CMAKE_SOURCE_DIR}/bench/${name}.cmake)
    include(${CMAKE_SOURCE_DIR}/bench/${name}.cmake)
  endif()
endforeach()
