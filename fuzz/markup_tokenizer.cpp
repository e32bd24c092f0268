// The markup tokenizer on any text, in and out of tag mode: it ends, and its tokens put
// back together give the text again.
#include "widgets/Markup.h"
#include "fuzz/support/MarkupHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzzkit::MarkupInput in(data, size);
    for (bool tagMode : {false, true}) {
        MarkupTokenizer tokens(in.text, tagMode);
        std::wstring rebuilt;
        for (size_t n = 0;; ++n) {
            if (n > in.text.size()) __builtin_trap();  // every token takes a character
            const MarkupToken t = tokens.Next();
            if (t.kind == MarkupEnd) break;
            if (t.kind == MarkupText && t.text.empty()) __builtin_trap();
            if (t.kind != MarkupText && !t.text.empty()) __builtin_trap();
            if (!tagMode && (t.kind == MarkupEquals || t.kind == MarkupSlash)) __builtin_trap();
            switch (t.kind) {
                case MarkupOpen: rebuilt += L'{'; break;
                case MarkupClose: rebuilt += L'}'; break;
                case MarkupEquals: rebuilt += L'='; break;
                case MarkupSlash: rebuilt += L'/'; break;
                default: rebuilt += t.text; break;
            }
        }
        if (rebuilt != in.text) __builtin_trap();
    }
    return 0;
}
