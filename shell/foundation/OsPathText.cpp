#include "shell/foundation/OsPathText.h"

#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

constexpr wchar_t kEscapeBase = 0xDC00;  // + the byte, for bytes 0x80..0xFF

bool IsEscapedByte(wchar_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

}  // namespace

std::wstring FromOsPath(const std::string& path) {
    std::wstring out;
    out.reserve(path.size());
    // Each longest run that is valid UTF-8 is decoded whole; each other byte is escaped.
    size_t i = 0;
    while (i < path.size()) {
        const auto lead = static_cast<unsigned char>(path[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (lead >= 0x80 && i + length <= path.size()) {
            const std::string sequence = path.substr(i, length);
            const std::wstring decoded = FromUtf8(sequence);
            if (decoded.size() == 1 && decoded[0] != 0xFFFD) {
                out += decoded;
                i += length;
                continue;
            }
            // U+FFFD written out in UTF-8 is itself valid.
            if (sequence == "\xEF\xBF\xBD") {
                out += wchar_t(0xFFFD);
                i += length;
                continue;
            }
        }
        out += lead < 0x80 ? static_cast<wchar_t>(lead) : static_cast<wchar_t>(kEscapeBase + lead);
        ++i;
    }
    return out;
}

std::string ToOsPath(const std::wstring& path) {
    std::string out;
    out.reserve(path.size());
    size_t run = 0;  // where the characters not yet converted start
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscapedByte(path[i])) continue;
        out += ToUtf8(path.substr(run, i - run));
        if (i < path.size()) out += static_cast<char>(path[i] - kEscapeBase);
        run = i + 1;
    }
    return out;
}

}  // namespace pf
