// Runs Python test modules of tests/bindings/py inside the embedded interpreter: every
// function whose name starts with "test_" is called; a failure reports its traceback.
#pragma once

#include <boost/python/dict.hpp>

#include <string>

namespace bindingstest {

// Runs the module file (relative to tests/bindings/py) and answers the failures, one
// traceback each; empty when every test function passed.
// `with` adds names to the module's namespace before it runs.
std::string RunPythonTests(const std::string& file, const boost::python::dict& with);
std::string RunPythonTests(const std::string& file);

// Runs a snippet in a fresh namespace that has imported ruv3; answers the error text
// (traceback) or "".
std::string RunSnippet(const std::string& source);

}  // namespace bindingstest
