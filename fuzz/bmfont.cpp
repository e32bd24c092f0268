// The BMF font reader on arbitrary bytes: it answers true or false, never reads past the
// data, and what it keeps agrees with the bytes' own bounds.
#include <cstdint>
#include <string>

#include "shell/BmFont.h"
#include "shell/foundation/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    pf::BmFont font(pf::FontBase{});
    std::string firstPage;
    if (font.Parse(data, size, L"fuzz", firstPage)) {
        // Every character record took 20 bytes of the input.
        if (font.GetBmCharMap().size() * 20 > size) __builtin_trap();
        if (firstPage.size() > size) __builtin_trap();
        pf::Point extent;
        font.MeasureText(extent, L"AV\nWA", 1);
    }
    return 0;
}
