// Character classes for typed text, the same in every C library locale: Latin-1 is
// classified by hand (so 'é' is printable even in the "C" locale), the few Unicode space
// and line-separator characters beyond it are listed, everything else above is printable.
#pragma once

bool IsControlChar(wchar_t ch);
bool IsSpaceChar(wchar_t ch);
// Printable and not white space.
bool IsGraphChar(wchar_t ch);
