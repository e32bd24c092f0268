#include "shell/foundation/Log.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <mutex>

#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

std::mutex g_logLock;  // guards the FILE pointer, not the order of lines
FILE* g_logFile = nullptr;
std::atomic<bool> g_toStderr{true};
std::atomic<int> g_logFd{-1};
size_t g_logLimit = kDefaultLogLimit;
size_t g_logWritten = 0;  // bytes in the open file
bool g_logFull = false;   // the bound was reached: nothing more goes to the file
LogRotator g_rotate;
size_t g_stderrWritten = 0;  // bytes this process wrote to stderr through the log
bool g_stderrFull = false;

// Starts the next file when the open one is full; false when there is none.
bool Rotate() {
    std::FILE* next = g_rotate ? g_rotate() : nullptr;
    if (!next) return false;
    g_logFd.store(fileno(next));
    std::fclose(g_logFile);
    g_logFile = next;
    g_logWritten = 0;
    return true;
}

// A line longer than the bound on its own: cut at a character's start so that it fits.
std::string CutToBound(const std::string& utf8) {
    size_t end = g_logLimit > 1 ? g_logLimit - 1 : 0;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    return utf8.substr(0, end) + "\n";
}

// Writes to the file under the lock; the bound decides where the line goes.
void WriteToFile(const std::string& whole) {
    if (!g_logFile || g_logFull) return;
    const std::string utf8 = whole.size() > g_logLimit ? CutToBound(whole) : whole;
    if (g_logWritten + utf8.size() > g_logLimit && (g_logWritten == 0 || !Rotate())) {
        // A fault logged over and over must not fill the disk: one line says so and the
        // file stays as it is until the next start.
        g_logFull = true;
        std::fprintf(g_logFile,
                     "log: the log reached its bound of %zu bytes; no more lines are written to it "
                     "until the next start\n",
                     g_logLimit);
    } else {
        std::fwrite(utf8.data(), 1, utf8.size(), g_logFile);
        g_logWritten += utf8.size();
    }
    std::fflush(g_logFile);
}

}  // namespace

void SetLogLimit(size_t bytes) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logLimit = bytes ? bytes : kDefaultLogLimit;
    g_stderrWritten = 0;
    g_stderrFull = false;
}

void UseLogFile(std::FILE* file, LogRotator rotate) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logFd.store(-1);
    if (g_logFile) std::fclose(g_logFile);
    g_logFile = file;
    g_rotate = std::move(rotate);
    g_logWritten = 0;
    g_logFull = false;
    if (g_logFile) g_logFd.store(fileno(g_logFile));
}

void CloseLog() { UseLogFile(nullptr); }

void LogWrite(const std::wstring& text) {
    const std::string utf8 = ToUtf8(text);
    std::lock_guard<std::mutex> lock(g_logLock);
    WriteToFile(utf8);
    if (!g_toStderr.load() || g_stderrFull) return;
    if (g_stderrWritten + utf8.size() <= g_logLimit) {
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        g_stderrWritten += utf8.size();
    } else {
        g_stderrFull = true;
        std::fprintf(stderr, "log: %zu bytes of log lines went to the standard error; later lines go to the log file only\n",
                     g_logLimit);
    }
}

int LogFileDescriptor() { return g_logFd.load(); }

void SetLogToStderr(bool enabled) { g_toStderr.store(enabled); }

DebugStream::~DebugStream() {
    if (!text_.str().empty()) {
        text_ << L"\n";
        Flush();
    }
}

void DebugStream::Flush() {
    std::wstring text = text_.str();
    if (!text.empty()) {
        LogWrite(text);
        text_.str(std::wstring());
    }
}

DebugStream& DebugStream::operator<<(const Color& c) {
    if (c.a != 0) {
        text_ << L"RGBA:" << int(c.r) << L"," << int(c.g) << L"," << int(c.b) << L"," << int(c.a) << L" ";
    } else {
        text_ << L"RGB:" << int(c.r) << L"," << int(c.g) << L"," << int(c.b);
    }
    return *this;
}

DebugStream& DebugStream::operator<<(const Rect& r) {
    text_ << r.x << L"," << r.y << L"," << r.width << L"," << r.height;
    return *this;
}

DebugStream& DebugStream::operator<<(const Point& p) {
    text_ << p.x << L"," << p.y;
    return *this;
}

DebugStream& DebugStream::operator<<(const void* p) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"0x%08lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
    text_ << buffer;
    return *this;
}

DebugStream& DebugStream::operator<<(const std::wstring& s) { text_ << s; return *this; }
DebugStream& DebugStream::operator<<(const wchar_t* s) { text_ << (s ? s : L"(null)"); return *this; }
DebugStream& DebugStream::operator<<(wchar_t c) { text_ << c; return *this; }
DebugStream& DebugStream::operator<<(const std::string& s) { text_ << ToWString(s); return *this; }
DebugStream& DebugStream::operator<<(const char* s) { text_ << (s ? ToWString(s) : L"(null)"); return *this; }
DebugStream& DebugStream::operator<<(char c) { text_ << ToWString(std::string(1, c)); return *this; }
DebugStream& DebugStream::operator<<(int v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(unsigned int v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(long v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(unsigned long v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(long long v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(unsigned long long v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(bool v) { text_ << int(v); return *this; }
DebugStream& DebugStream::operator<<(double v) { text_ << v; return *this; }
DebugStream& DebugStream::operator<<(float v) { text_ << v; return *this; }

DebugStream& DebugStream::operator<<(std::wostream& (*manipulator)(std::wostream&)) {
    using Manip = std::wostream& (*)(std::wostream&);
    if (manipulator == static_cast<Manip>(std::endl<wchar_t, std::char_traits<wchar_t>>)) {
        text_ << L"\n";
    }
    Flush();
    text_.clear();
    return *this;
}

}  // namespace pf
