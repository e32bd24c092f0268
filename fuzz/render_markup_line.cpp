// One marked-up line laid out for drawing and for hit testing: never more quads than
// characters, the base colour stays, and a hit names a click region that was opened. (A
// "{" inside a tag ends the tag's body for the layout but not for the stripper, so the
// layout may draw more characters than the stripped text holds.)
#include <vector>

#include "widgets/Markup.h"
#include "fuzz/support/MarkupHarness.h"
#include "shell/foundation/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    static const fuzzkit::MarkupFont font;
    const fuzzkit::MarkupInput in(data, size);
    const int* n = in.numbers;
    std::vector<pf::DisplayVertex> glyphs, outline;
    std::vector<pf::Color> colours{pf::Color(1, 2, 3, 255)};
    const pf::Color outlineColour(9, 9, 9, uint8_t(n[5]));
    RenderMarkupLine(&glyphs, &outline, &font, n[0] % 6, n[1] * 8, pf::Point(n[2], n[3]), n[4], n[5] % 8,
                     &colours, &outlineColour, n[1] & 0xFF, nullptr, nullptr, pf::Point(), in.text, n[4]);
    if (glyphs.size() % 6 != 0 || glyphs.size() > 6 * in.text.size()) __builtin_trap();
    if (colours.empty() || !(colours[0] == pf::Color(1, 2, 3, 255))) __builtin_trap();
    if (!outline.empty()) __builtin_trap();  // the font has no outline page

    std::vector<int> clicks;
    int hit = -1;
    RenderMarkupLine(nullptr, nullptr, &font, n[0] % 6, n[1] * 8, pf::Point(0, 0), n[4], n[5] % 8, nullptr, nullptr,
                     255, &clicks, &hit, pf::Point(n[2], n[3] & 15), in.text, 0);
    if (hit != -1 && (clicks.empty() || clicks.back() != hit)) __builtin_trap();
    return 0;
}
