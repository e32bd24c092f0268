// Shared by the markup fuzz targets: a bitmap font with a page (printable ASCII and a few
// Latin-1 letters, varied advances, kerning pairs) and the input split into a few numbers
// and a Latin-1 text.
#pragma once

#include <cstdint>
#include <string>

#include "shell/BmFont.h"
#include "shell/foundation/Log.h"
#include "shell/pixels/MemorySurface.h"

namespace fuzzkit {

class MarkupFont : public pf::BmFont {
public:
    MarkupFont() : pf::BmFont(Base()) {
        std::string bmf = "BMF\x03";
        auto put = [&bmf](uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) bmf += char((value >> (8 * i)) & 0xFF);
        };
        put(1, 1), put(2, 4), put(16, 2);  // info: fontSize 16
        put(2, 1), put(15, 4), put(16, 2), put(12, 2), put(256, 2), put(256, 2), put(0, 2);
        bmf += std::string(5, '\0');
        put(3, 1), put(0, 4);
        std::string chars;
        int count = 0;
        for (uint32_t ch = 32; ch < 256; ++ch) {
            if (ch >= 127 && ch < 0xC0) continue;
            const uint32_t i = uint32_t(count++);
            for (uint32_t v : {ch}) chars += std::string(reinterpret_cast<const char*>(&v), 4);
            for (uint32_t v : {(i % 16) * 16, (i / 16) * 16, 4 + ch % 9, 12u, ch % 3, 2u, 3 + ch % 11, 0u})
                chars += char(v & 0xFF), chars += char(v >> 8);
        }
        put(4, 1), put(uint32_t(chars.size()), 4), bmf += chars;
        put(5, 1), put(20, 4);
        put('A', 4), put('V', 4), put(uint16_t(-3), 2);
        put('T', 4), put('o', 4), put(2, 2);
        std::string page;
        if (!Parse(reinterpret_cast<const uint8_t*>(bmf.data()), bmf.size(), L"fuzz font", page)) __builtin_trap();
        page_ = new pf::MemorySurface(256, 256);
    }

private:
    static pf::FontBase Base() {
        pf::FontBase b;
        b.id = L"fuzz";
        return b;
    }
};

// The first `count` bytes as small numbers (0 when the input is short), the rest as text.
struct MarkupInput {
    int numbers[6] = {};
    std::wstring text;
    MarkupInput(const uint8_t* data, size_t size) {
        size_t i = 0;
        for (int& n : numbers) n = i < size ? int(int8_t(data[i++])) : 0;
        for (; i < size; ++i) text += wchar_t(data[i]);
    }
};

}  // namespace fuzzkit
