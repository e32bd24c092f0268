# One libFuzzer target per file under fuzz/: fuzz_<name>.
# With RUV3_FUZZ=ON (configure with clang) they link libFuzzer:
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DRUV3_FUZZ=ON -DRUV3_TESTS=OFF -DRUV3_BENCH=OFF
# and run with an output folder of their own before the seeds, which they only read (the
# README's recipe): build-fuzz/fuzz_<name> -max_total_time=600 build-fuzz/corpus/<name> fuzz/corpus/<name>
# Otherwise they link a small replay driver that runs the entry point over the files and
# folders named on its command line; CTest replays each target's seed corpus
# (fuzz/corpus/<name>/) so the targets keep building and the seeds keep passing.
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*.cpp)
if(NOT RUV3_FUZZ AND fuzz_sources)
  # The replay driver is the same for every target: compiled once.
  add_library(fuzz_replay_driver STATIC ${CMAKE_SOURCE_DIR}/fuzz/driver/replay_main.cpp)
endif()
foreach(src IN LISTS fuzz_sources)
  get_filename_component(name ${src} NAME_WE)
  if(RUV3_FUZZ)
    add_executable(fuzz_${name} ${src})
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(fuzz_${name} ${src})
    target_link_libraries(fuzz_${name} PRIVATE fuzz_replay_driver)
    if(RUV3_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
      add_test(NAME fuzz_replay_${name}
               COMMAND fuzz_${name} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
      # Leaks inside system libraries on damaged input are theirs, not ours (fuzz/lsan.supp).
      set_tests_properties(fuzz_replay_${name} PROPERTIES LABELS fuzz
                           ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/fuzz/lsan.supp")
    endif()
  endif()
  target_link_libraries(fuzz_${name} PRIVATE ruv3)
endforeach()
