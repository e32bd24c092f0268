// The names in a TrueType "name" table, read from the raw tables with every offset and
// length checked against the file.
#include <cstdio>
#include <vector>

#include "shell/Font.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/GlyphRasterizer.h"

namespace pf {

namespace {

// Longer name strings are cut to this many bytes.
constexpr size_t kMaxNameBytes = 1000;
// Files beyond this are not read for their names.
constexpr long kMaxFontFileBytes = 256L << 20;

uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// A name string: 8-bit when its first byte is not 0 (up to a 0 byte), else big-endian
// 16-bit characters (up to a 0 character; surrogate pairs are joined).
std::wstring DecodeName(const uint8_t* p, size_t length) {
    std::wstring out;
    if (length == 0) return out;
    if (p[0] != 0) {
        for (size_t i = 0; i < length && p[i] != 0; ++i) out += static_cast<wchar_t>(p[i]);
        return out;
    }
    for (size_t i = 0; i + 1 < length; i += 2) {
        uint32_t c = Be16(p + i);
        if (c == 0) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < length) {
            const uint32_t low = Be16(p + i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

}  // namespace

bool ParseTrueTypeNames(const uint8_t* data, size_t size, FontNames& names) {
    names = FontNames();
    if (!data || size < 12 || Be16(data) != 1 || Be16(data + 2) != 0) return false;
    const size_t numTables = Be16(data + 4);
    size_t table = 0;
    bool found = false;
    for (size_t i = 0; i < numTables && 12 + 16 * (i + 1) <= size; ++i) {
        const uint8_t* record = data + 12 + 16 * i;
        if (record[0] == 'n' && record[1] == 'a' && record[2] == 'm' && record[3] == 'e') {
            table = Be32(record + 8);
            found = true;
            break;
        }
    }
    if (!found || table > size || size - table < 6) return false;
    const size_t count = Be16(data + table + 2);
    const size_t strings = table + Be16(data + table + 4);

    std::wstring* slots[8] = {};
    slots[0] = &names.copyright;
    slots[1] = &names.family;
    slots[4] = &names.fullName;
    slots[7] = &names.trademark;
    int missing = 4;
    for (size_t i = 0; i < count && missing > 0; ++i) {
        const size_t at = table + 6 + 12 * i;
        if (at + 12 > size) break;
        const uint8_t* record = data + at;
        const unsigned id = Be16(record + 6);
        if (id >= 8 || !slots[id] || !slots[id]->empty()) continue;
        const size_t start = strings + Be16(record + 10);
        size_t length = Be16(record + 8);
        if (start > size || size - start < length) continue;  // runs past the end of the file
        if (length > kMaxNameBytes) length = kMaxNameBytes;
        *slots[id] = DecodeName(data + start, length);
        if (!slots[id]->empty()) --missing;
    }
    if (names.fullName.empty()) names.fullName = names.family;
    return !names.family.empty();
}

bool ReadTrueTypeNames(const std::wstring& file, FontNames& names) {
    return ReadTrueTypeNamesAt(FindFontFile(file), names);
}

bool ReadTrueTypeNamesAt(const std::string& path, FontNames& names) {
    names = FontNames();
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rbe");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    bool ok = length > 0 && length <= kMaxFontFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size_t(length));
        ok = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    }
    std::fclose(f);
    if (!ok) {
        DebugStream() << "Font - cannot read the font file '" << path << "'";
        return false;
    }
    return ParseTrueTypeNames(bytes.data(), bytes.size(), names);
}

}  // namespace pf
