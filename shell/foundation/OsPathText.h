// OS paths held as wide text. A path the system gives (from the environment, the working
// folder) need not be UTF-8: a folder named under another locale holds bytes that are not.
// Such a byte becomes one character U+DC80..U+DCFF (a lone low surrogate, which valid
// UTF-8 never decodes to) and turns back into the same byte, so the path names the same
// folder when it is handed back to the system. Everything else converts as UTF-8.
#pragma once

#include <string>

namespace pf {

std::wstring FromOsPath(const std::string& path);
// U+DC80..U+DCFF become the bytes 0x80..0xFF, other characters UTF-8 (ToUtf8).
std::string ToOsPath(const std::wstring& path);

}  // namespace pf
