// Narrow/wide conversion, parsers of configuration and XML attribute text, tokenising,
// trimming and bounded formatters.
//
// Narrow text inside the engine is Latin-1: a byte maps to the code point of the same
// value and back (a character above 255 narrows to '?'). Text leaving the process to the
// OS (paths, the log file, the interpreter) is UTF-8 and goes through ToUtf8/FromUtf8.
#pragma once

#include <string>
#include <vector>

#include "shell/foundation/ValueTypes.h"

namespace pf {

// Buffers allocated with new[]; the caller frees them with delete[].
wchar_t* NewWideString(const char* text);
char* NewNarrowString(const wchar_t* text);

std::string ToString(const std::wstring& text);
std::wstring ToWString(const std::string& text);
std::wstring IntToWString(int value);

std::string ToUtf8(const std::wstring& text);
// Malformed sequences become U+FFFD.
std::wstring FromUtf8(const std::string& text);

bool ToBool(const std::wstring& text);
Color ToColor(const std::wstring& text);
Color HexToColor(const std::wstring& text);
int HexDigitValue(wchar_t c);
std::wstring ColorToHex(const Color& color);
double ToDouble(const std::wstring& text);
int ToInt(const std::wstring& text);
Point ToPoint(const std::wstring& text);
Rect ToRect(const std::wstring& text);
double ReadDouble(const wchar_t* text);
std::wstring Trim(const std::wstring& text);
void Tokenize(const std::wstring& text, std::vector<std::wstring>& out,
              const std::wstring& delimiters, bool keepDelimiters);

// printf-style into a caller buffer of at least kFormatBufferSize characters; longer
// output is cut at kFormatBufferSize - 1 characters. Wide arguments in a wide format are
// written "%ls". Returns the number of characters stored, or -1 on a format error (the
// buffer then holds "").
constexpr int kFormatBufferSize = 256;
int FormatWide(wchar_t* buffer, const wchar_t* format, ...);
int FormatNarrow(char* buffer, const char* format, ...);

}  // namespace pf
