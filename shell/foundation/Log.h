// The debug log: "log.txt" (UTF-8) plus the debugger output (stderr), written a line at a
// time through DebugStream temporaries.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>

#include "shell/foundation/ValueTypes.h"

namespace pf {

// Starts a fresh log file when the one in use reached its bound, the full one kept as the
// earlier log; answers the new file, or null when there is none. Called with the log's
// lock held: it must not write log lines.
using LogRotator = std::function<std::FILE*()>;

// Closes a log file taken before and writes lines to file from now on (null: lines reach
// only the debugger output); the log owns the file and closes it. Opening the file by name
// is OpenLog's (shell/LogFile.h).
void UseLogFile(std::FILE* file, LogRotator rotate = nullptr);
void CloseLog();
// The bound of the log file and of what goes to stderr. A line that would take the file
// past it goes to a fresh file from the rotator (the newest lines are kept); without one,
// one line says so and nothing more is written to the file until it is opened again.
// Past the bound on stderr one line says so and later lines go to the file only.
constexpr size_t kDefaultLogLimit = size_t(16) << 20;
// Sets the bound (0: the default); for tests.
void SetLogLimit(size_t bytes);
// The open log file's descriptor, or -1: for writers that may not take locks (the crash
// filter writes its lines with it from a signal handler).
int LogFileDescriptor();
// Writes text unchanged (callers end lines with "\n") to the log file and stderr.
void LogWrite(const std::wstring& text);
// Whether LogWrite also copies to stderr (on by default).
void SetLogToStderr(bool enabled);

// Collects one log line; the line is written when the stream ends.
class DebugStream {
public:
    DebugStream() = default;
    DebugStream(const DebugStream&) = delete;
    DebugStream& operator=(const DebugStream&) = delete;
    ~DebugStream();

    DebugStream& operator<<(const Color& c);
    DebugStream& operator<<(const Rect& r);
    DebugStream& operator<<(const Point& p);
    DebugStream& operator<<(const void* p);
    DebugStream& operator<<(const std::wstring& s);
    DebugStream& operator<<(const wchar_t* s);
    DebugStream& operator<<(wchar_t c);
    DebugStream& operator<<(const std::string& s);
    DebugStream& operator<<(const char* s);
    DebugStream& operator<<(char c);
    DebugStream& operator<<(int v);
    DebugStream& operator<<(unsigned int v);
    DebugStream& operator<<(long v);
    DebugStream& operator<<(unsigned long v);
    DebugStream& operator<<(long long v);
    DebugStream& operator<<(unsigned long long v);
    DebugStream& operator<<(bool v);
    DebugStream& operator<<(double v);
    DebugStream& operator<<(float v);
    // A manipulator flushes what was collected and is not applied; std::endl also ends
    // the line.
    DebugStream& operator<<(std::wostream& (*manipulator)(std::wostream&));
    void Flush();

    std::wstring Text() const { return text_.str(); }

private:
    std::wostringstream text_;
};

}  // namespace pf
