# The sound tests render through OpenAL Soft's loopback device; fixtures are made by sox.
target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
