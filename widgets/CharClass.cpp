#include "widgets/CharClass.h"

bool IsControlChar(wchar_t ch) {
    return (ch >= 0 && ch < 0x20) || (ch >= 0x7F && ch < 0xA0) || ch == 0x2028 || ch == 0x2029;
}

bool IsSpaceChar(wchar_t ch) {
    return (ch >= 0x09 && ch <= 0x0D) || ch == 0x20 || ch == 0x1680 || (ch >= 0x2000 && ch <= 0x2006) ||
           (ch >= 0x2008 && ch <= 0x200A) || ch == 0x2028 || ch == 0x2029 || ch == 0x205F || ch == 0x3000;
}

bool IsGraphChar(wchar_t ch) {
    if (ch < 0 || IsControlChar(ch) || IsSpaceChar(ch)) return false;
    if (ch >= 0xD800 && ch <= 0xDFFF) return false;  // halves of a surrogate pair
    return ch != 0xFFFE && ch != 0xFFFF;
}
