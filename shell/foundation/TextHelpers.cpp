#include "shell/foundation/TextHelpers.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <sstream>

namespace pf {

namespace {

wchar_t Widen(char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); }

char Narrow(wchar_t c) {
    return static_cast<unsigned long>(c) <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : '?';
}

std::wstring CommasAsBlanks(const std::wstring& text) {
    std::wstring copy = text;
    for (auto& c : copy) {
        if (c == L',') c = L' ';
    }
    return copy;
}

// Reads up to `count` ints; stops at the first one that cannot be read. A failed
// extraction stores 0 into its target, so each value goes through a temporary.
int ReadInts(const std::wstring& text, int* values, int count) {
    std::wistringstream in(CommasAsBlanks(text));
    int read = 0;
    for (; read < count; ++read) {
        long long value = 0;
        if (!(in >> value)) break;
        values[read] = static_cast<int>(value);
    }
    return read;
}

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    size_t n = std::wcslen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    }
    return true;
}

}  // namespace

wchar_t* NewWideString(const char* text) {
    size_t n = text ? std::strlen(text) : 0;
    auto* out = new wchar_t[n + 1];
    for (size_t i = 0; i < n; ++i) out[i] = Widen(text[i]);
    out[n] = 0;
    return out;
}

char* NewNarrowString(const wchar_t* text) {
    size_t n = text ? std::wcslen(text) : 0;
    auto* out = new char[n + 1];
    for (size_t i = 0; i < n; ++i) out[i] = Narrow(text[i]);
    out[n] = 0;
    return out;
}

std::string ToString(const std::wstring& text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = Narrow(text[i]);
    return out;
}

std::wstring ToWString(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    for (size_t i = 0; i < text.size(); ++i) out[i] = Widen(text[i]);
    return out;
}

std::wstring IntToWString(int value) {
    std::wostringstream out;
    out << value;
    return out.str();
}

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        unsigned char lead = s[i];
        if (lead < 0x80) {
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        int extra = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
        if (lead >= 0xF5) extra = -1;
        uint32_t c = extra == 3 ? lead & 0x07 : extra == 2 ? lead & 0x0F : lead & 0x1F;
        bool ok = extra > 0;
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (ok) {
            static const uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
            if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) ok = false;
        }
        if (ok) {
            out += static_cast<wchar_t>(c);
            i += extra + 1;
        } else {
            out += static_cast<wchar_t>(0xFFFD);
            ++i;
        }
    }
    return out;
}

bool ToBool(const std::wstring& text) {
    if (!text.empty() && text[0] >= L'0' && text[0] <= L'9') {
        if (std::wcstol(text.c_str(), nullptr, 10) != 0) return true;
    }
    return EqualsIgnoringCase(text, L"yes") || EqualsIgnoringCase(text, L"true");
}

Color ToColor(const std::wstring& text) {
    int v[4] = {0, 0, 0, 255};
    ReadInts(text, v, 4);
    return Color(v[0], v[1], v[2], v[3]);
}

int HexDigitValue(wchar_t c) {
    if (c >= L'1' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return 0;
}

Color HexToColor(const std::wstring& text) {
    Color color(255, 255, 255, 255);
    auto byteAt = [&](size_t i) { return HexDigitValue(text[i]) * 16 + HexDigitValue(text[i + 1]); };
    if (text.size() > 1) color.r = static_cast<uint8_t>(byteAt(0));
    if (text.size() > 3) color.g = static_cast<uint8_t>(byteAt(2));
    if (text.size() > 5) color.b = static_cast<uint8_t>(byteAt(4));
    if (text.size() > 7) color.a = static_cast<uint8_t>(byteAt(6));
    return color;
}

std::wstring ColorToHex(const Color& color) {
    wchar_t buffer[16];
    std::swprintf(buffer, 16, L"%.2x%.2x%.2x%.2x", color.r, color.g, color.b, color.a);
    return buffer;
}

double ToDouble(const std::wstring& text) {
    std::wistringstream in(CommasAsBlanks(text));
    double value = 0;
    return (in >> value) ? value : 0.0;
}

int ToInt(const std::wstring& text) {
    int v = 0;
    ReadInts(text, &v, 1);
    return v;
}

Point ToPoint(const std::wstring& text) {
    int v[2] = {0, 0};
    ReadInts(text, v, 2);
    return Point(v[0], v[1]);
}

Rect ToRect(const std::wstring& text) {
    int v[4] = {0, 0, 0, 0};
    ReadInts(text, v, 4);
    return Rect(v[0], v[1], v[2], v[3]);
}

double ReadDouble(const wchar_t* text) {
    if (!text) return 0.0;
    std::wistringstream in(text);
    double value = 0;
    return (in >> value) ? value : 0.0;
}

std::wstring Trim(const std::wstring& text) {
    const wchar_t* blanks = L" \t\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

void Tokenize(const std::wstring& text, std::vector<std::wstring>& out,
              const std::wstring& delimiters, bool keepDelimiters) {
    size_t pos = text.find_first_not_of(delimiters, 0);
    for (;;) {
        size_t end = pos == std::wstring::npos ? std::wstring::npos : text.find_first_of(delimiters, pos);
        if (end == std::wstring::npos && pos == std::wstring::npos) break;
        out.push_back(text.substr(pos, end == std::wstring::npos ? std::wstring::npos : end - pos));
        if (end == std::wstring::npos) break;
        pos = text.find_first_not_of(delimiters, end);
        if (keepDelimiters && pos != std::wstring::npos) out.push_back(text.substr(end, pos - end));
    }
}

int FormatWide(wchar_t* buffer, const wchar_t* format, ...) {
    // glibc's vswprintf answers -1 on truncation and leaves the buffer unspecified, so the
    // text is formatted into a buffer that grows until it fits, then cut explicitly.
    std::vector<wchar_t> work(kFormatBufferSize * 2);
    int written = -1;
    for (int attempt = 0; attempt < 5; ++attempt) {  // up to 128K characters
        va_list args;
        va_start(args, format);
        written = std::vswprintf(work.data(), work.size(), format, args);
        va_end(args);
        if (written >= 0) break;
        work.resize(work.size() * 4);
    }
    if (written < 0) {
        buffer[0] = 0;
        return -1;
    }
    int kept = written < kFormatBufferSize - 1 ? written : kFormatBufferSize - 1;
    std::wmemcpy(buffer, work.data(), kept);
    buffer[kept] = 0;
    return kept;
}

int FormatNarrow(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(buffer, kFormatBufferSize, format, args);
    va_end(args);
    if (written < 0) {
        buffer[0] = 0;
        return -1;
    }
    return written < kFormatBufferSize - 1 ? written : kFormatBufferSize - 1;
}

}  // namespace pf
