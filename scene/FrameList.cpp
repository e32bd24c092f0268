#include "scene/FrameList.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "shell/foundation/Log.h"

namespace {

// A decimal integer at *p as "%d" reads it (leading blanks, a sign), clamped to the int
// range; false when there is none. p moves past what was read.
bool ReadInt(const char*& p, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p) return false;
    p = end;
    out = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return true;
}

// "%d<sep>%d": a missing number stays 0, and nothing after a missing one is read.
void ReadPair(const std::string& token, char sep, int& a, int& b) {
    a = b = 0;
    const char* p = token.c_str();
    if (!ReadInt(p, a)) return;
    if (*p != sep) return;
    ++p;
    ReadInt(p, b);
}

class Sink {
public:
    explicit Sink(std::vector<int>& out) : out_(out), room_(kFrameListMaxEntries) {}
    // False once the list is full.
    bool Add(int v) {
        if (room_ == 0) {
            full_ = true;
            return false;
        }
        out_.push_back(v);
        --room_;
        return true;
    }
    bool Full() const { return full_; }

private:
    std::vector<int>& out_;
    size_t room_;
    bool full_ = false;
};

}  // namespace

bool ParseFrameList(const std::string& text, std::vector<int>& out) {
    const bool cut = text.size() > kFrameListMaxText;
    const std::string buffer = text.substr(0, kFrameListMaxText);
    Sink sink(out);
    size_t start = 0;
    while (start <= buffer.size() && !sink.Full()) {
        size_t comma = buffer.find(',', start);
        if (comma == std::string::npos) comma = buffer.size();
        const std::string token = buffer.substr(start, comma - start);
        start = comma + 1;
        if (token.empty()) continue;
        int a = 0, b = 0;
        if (token.find(':') != std::string::npos) {
            ReadPair(token, ':', a, b);
            // Widened: a range may span the whole int range.
            const long long step = b < a ? -1 : 1;
            for (long long v = a; sink.Add(static_cast<int>(v)) && v != b; v += step) {
            }
        } else if (token.find('*') != std::string::npos) {
            ReadPair(token, '*', a, b);
            for (long long k = 0; k <= (b > 0 ? b : 0) && sink.Add(a); ++k) {
            }
        } else {
            const char* p = token.c_str();
            if (!ReadInt(p, a)) a = 0;
            sink.Add(a);
        }
    }
    if (cut || sink.Full()) {
        pf::DebugStream() << L"Frame list cut: at most " << static_cast<unsigned long>(kFrameListMaxText)
                          << L" characters and " << static_cast<unsigned long>(kFrameListMaxEntries)
                          << L" frames are read";
        return false;
    }
    return true;
}
