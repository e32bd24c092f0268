// Line breaking of any text at any width ends, leaves no empty line and invents nothing:
// the lines' words are the text's, in order (a lone "-" at a break, and a last word that
// measures nothing, may go).
#include <vector>

#include "widgets/TextBlock.h"
#include "fuzz/support/MarkupHarness.h"

namespace {
std::wstring Words(const std::wstring& s, const std::wstring& delimiters) {
    std::wstring out;
    for (wchar_t c : s)
        if (delimiters.find(c) == std::wstring::npos && c != L'\t') out += c;
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    static const fuzzkit::MarkupFont font;
    const fuzzkit::MarkupInput in(data, size);
    my_intrusive_ptr<TextBlock> block(new TextBlock);
    block->SetSpacing(in.numbers[1] % 4);
    const std::wstring delimiters = in.numbers[2] & 1 ? L" \n-" : L" \n";
    if (in.numbers[2] & 1) block->SetDelimiters(delimiters);
    std::vector<std::wstring> lines;
    block->BreakLines(in.text, lines, in.numbers[0] * 4, font);
    std::wstring expanded;
    for (size_t i = 0; i < in.text.size(); ++i) {
        if (in.text.compare(i, 3, L"{n}") == 0) {
            expanded += L'\n';
            i += 2;
        } else {
            expanded += in.text[i];
        }
    }
    std::wstring kept;
    for (const std::wstring& line : lines) {
        if (line.empty()) __builtin_trap();
        kept += Words(line, delimiters);
    }
    const std::wstring all = Words(expanded, delimiters);
    size_t j = 0;
    for (wchar_t c : all)
        if (j < kept.size() && kept[j] == c) ++j;
    if (j != kept.size()) __builtin_trap();
    return 0;
}
