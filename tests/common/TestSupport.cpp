#include "common/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>

#include "shell/foundation/Log.h"
#include "shell/LogFile.h"
#include "shell/foundation/TextHelpers.h"

namespace testkit {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ruv3-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::Write(const std::string& relative, const std::string& bytes) const {
    std::filesystem::path p = path_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p;
}

LogCapture::LogCapture() { pf::OpenLog(pf::FromUtf8((dir_.Path() / "log.txt").string())); }

LogCapture::~LogCapture() { pf::CloseLog(); }

std::string LogCapture::Text() const { return ReadFile(dir_.Path() / "log.txt"); }

std::vector<std::string> LogCapture::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Text());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool LogCapture::Contains(const std::string& needle) const {
    return Text().find(needle) != std::string::npos;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    oldLimit_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldLimit_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int RunCommand(const std::string& command) {
    int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

bool HaveProgram(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

bool WaitUntil(const std::function<bool()>& condition, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

std::string CompilePython(const std::string& source, const std::string& name) {
    TempDir dir;
    const std::filesystem::path src = dir.Write(name + ".py", source);
    const std::filesystem::path out = dir.Path() / (name + ".pyc");
    const std::string command = "/usr/bin/python3.11 -c \"import py_compile,sys; py_compile.compile(sys.argv[1], "
                                "cfile=sys.argv[2], doraise=True)\" '" +
                                src.string() + "' '" + out.string() + "'";
    if (RunCommand(command) != 0) return std::string();
    return ReadFile(out);
}

}  // namespace testkit
