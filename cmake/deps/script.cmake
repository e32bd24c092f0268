# The embedded interpreter: Debian's Python 3.11 (never whatever python3 comes first on
# PATH), and Boost.Python built for it.
set(Python_EXECUTABLE /usr/bin/python3.11 CACHE FILEPATH "The interpreter the engine embeds")
find_package(Python 3.11 EXACT REQUIRED COMPONENTS Interpreter Development.Embed)
find_package(Boost 1.74 REQUIRED COMPONENTS python311)
target_link_libraries(ruv3_script PUBLIC Python::Python Boost::python311)
target_compile_definitions(ruv3_script PUBLIC BOOST_BIND_GLOBAL_PLACEHOLDERS)
set(RUV3_PYTHON ${Python_EXECUTABLE})
# Boost.Python's headers are most of the compile time of a binding source: parsed once for
# the area (and, as Python asks, before any other header).
target_precompile_headers(ruv3_script PRIVATE <boost/python.hpp>)
