// The TrueType name-table reader on arbitrary bytes: no read past the data, names no
// longer than the bytes that hold them.
#include <cstdint>

#include "shell/Font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::FontNames names;
    const bool found = pf::ParseTrueTypeNames(data, size, names);
    if (found && names.family.empty()) __builtin_trap();
    for (const std::wstring* s : {&names.fullName, &names.copyright, &names.trademark, &names.family})
        if (s->size() > 1000 || s->size() > size) __builtin_trap();
    return 0;
}
