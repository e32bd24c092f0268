// Word wrapping of marked-up text: words are never split; a word wider than the box gets
// a line of its own.
#pragma once

#include <string>
#include <vector>

namespace pf {
class Font;
}

// Breaks text (split at the delimiters, each run of delimiters a token of its own) into
// lines narrower than width, measuring every token without its tags. A newline in a
// delimiter run ends the line, and every further newline of the run adds a line " ".
// Any width, including 0 or less, ends: every word then stands on a line of its own.
void WrapText(const std::wstring& text, std::vector<std::wstring>& lines, int width, int spacing,
              const pf::Font& font, const std::wstring& delimiters);

// Every "{n}" of the text becomes a newline.
std::wstring ExpandLineBreakTags(const std::wstring& text);
