// The tag stripper on any text agrees with erasing tags one at a time from the start.
#include "widgets/Markup.h"
#include "fuzz/support/MarkupHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // the reference below is quadratic
    const fuzzkit::MarkupInput in(data, size);
    std::wstring expected = in.text;
    for (;;) {
        const size_t p = expected.find(L'{');
        const size_t q = p == std::wstring::npos ? p : expected.find(L'}', p);
        if (q == std::wstring::npos) break;
        expected.erase(p, q - p + 1);
    }
    if (StripMarkupTags(in.text) != expected) __builtin_trap();
    return 0;
}
