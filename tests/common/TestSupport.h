// Helpers shared by the test executables.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testkit {

// A fresh folder under the temp folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes bytes to a file below the folder (creating sub-folders) and returns its path.
    std::filesystem::path Write(const std::string& relative, const std::string& bytes) const;

private:
    std::filesystem::path path_;
};

// Sends the engine log to a temporary file for the life of the object and reads it back.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    std::string Text() const;
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& needle) const;

private:
    TempDir dir_;
};

// Limits the size of files this process writes for the life of the object, so that a
// write fails part way as on a full disk (the signal for it is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long oldLimit_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

std::string ReadFile(const std::filesystem::path& path);
// Compiles Python source with /usr/bin/python3.11 and answers the .pyc bytes.
std::string CompilePython(const std::string& source, const std::string& name);
// Runs a shell command line; returns its exit status (-1 when it could not run).
int RunCommand(const std::string& command);
// What a shell command line writes to its standard output, without the trailing newline.
std::string CommandOutput(const std::string& command);
// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

// How long a test that drives a window or the game waits for what it expects: generous,
// for a busy machine or one of two cores.
constexpr int kWaitSeconds = 60;
// Asks the condition every quarter of a second until it holds or the deadline passes;
// answers whether it held. Tests wait for what they need this way, never for a time.
bool WaitUntil(const std::function<bool()>& condition, int seconds = kWaitSeconds);

}  // namespace testkit
