# One benchmark executable per file under bench/: bench_<name>.
find_package(benchmark REQUIRED)
file(GLOB bench_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
# The main of a benchmark that defines none (a static library: linked in only then).
add_library(bench_default_main STATIC ${CMAKE_SOURCE_DIR}/bench/common/DefaultMain.cpp)
target_include_directories(bench_default_main PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(bench_default_main PUBLIC benchmark::benchmark)
foreach(src IN LISTS bench_sources)
  get_filename_component(name ${src} NAME_WE)
  add_executable(bench_${name} ${src})
  target_link_libraries(bench_${name} PRIVATE ruv3 bench_default_main)
  # bench/<name>.cmake may add the peer library the benchmark compares against.
  if(EXISTS ${CMAKE_SOURCE_DIR}/bench/${name}.cmake)
    include(${CMAKE_SOURCE_DIR}/bench/${name}.cmake)
  endif()
endforeach()
