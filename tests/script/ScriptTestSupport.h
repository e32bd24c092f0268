// Shared set-up of the script tests: compiled modules made by Debian's Python 3.11, and
// one interpreter per test process (it cannot start twice).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/TestSupport.h"
#include "script/PythonHost.h"
#include "shell/FileSystem.h"

namespace scripttest {

// Compiles Python source with /usr/bin/python3.11 and answers the .pyc bytes.
std::string CompileModule(const std::string& source, const std::string& name = "m");

// The interpreter of this test process, started once over a folder of its own.
struct HostWorld {
    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    PythonHost host;
    std::filesystem::path logPath;
};
HostWorld& World();

// The log written since the last call.
std::string TakeLog();

}  // namespace scripttest
