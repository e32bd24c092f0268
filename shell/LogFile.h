// The log's file on disk and the fatal-error box: what the log needs of the system above
// its own writing.
#pragma once

#include <string>

namespace pf {

// Closes a log opened before and opens (truncating) the file at path; a symbolic link under
// the name is replaced by the file, not followed. On failure the log
// stays closed and lines reach only the debugger output.
void OpenLog(const std::wstring& path);
// LogWrite(text), then the message box "Fatal Error".
void FatalError(const std::wstring& text);

}  // namespace pf
