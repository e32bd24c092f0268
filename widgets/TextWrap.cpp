#include "widgets/TextWrap.h"

#include <algorithm>

#include "widgets/Markup.h"
#include "shell/Font.h"
#include "shell/foundation/TextHelpers.h"

std::wstring ExpandLineBreakTags(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, L"{n}") == 0) {
            out += L'\n';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void WrapText(const std::wstring& text, std::vector<std::wstring>& lines, int width, int spacing,
              const pf::Font& font, const std::wstring& delimiters) {
    std::vector<std::wstring> tokens;
    pf::Tokenize(text, tokens, delimiters, true);
    const size_t firstNew = lines.size();
    std::wstring pending;
    long long pendingWidth = 0;
    for (const std::wstring& token : tokens) {
        pf::Point size;
        font.MeasureText(size, StripMarkupTags(token), spacing);
        const long long w = size.x;
        const bool hasNewline = token.find(L'\n') != std::wstring::npos;
        if (pendingWidth + w < width && !hasNewline) {
            pending += token;
            pendingWidth += w;
            continue;
        }
        lines.push_back(pf::Trim(pending));
        if (token == L" " || token == L"-") {
            pending.clear();
            pendingWidth = 0;
        } else if (token[0] == L'\n') {
            pending.clear();
            pendingWidth = 0;
            const auto newlines = std::count(token.begin(), token.end(), L'\n');
            for (long i = 1; i < newlines; ++i) lines.push_back(L" ");
        } else {
            pending = token;
            pendingWidth = w;
        }
    }
    if (pendingWidth > 0) lines.push_back(pending);
    lines.erase(std::remove(lines.begin() + long(firstNew), lines.end(), std::wstring()), lines.end());
}
