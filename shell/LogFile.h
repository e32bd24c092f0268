// The log's file on disk and the fatal-error box: what the log needs of the system above
// its own writing.
#pragma once

#include <string>

namespace pf {

// Closes a log opened before and opens a new, empty file at path; a symbolic or hard link
// under the name is replaced by the file, never written through. At its bound the log is
// renamed to the earlier log's name ("log.txt": "log.1.txt", replacing the one before) and
// a fresh file goes on. On failure the log stays closed and lines reach only the debugger
// output.
void OpenLog(const std::wstring& path);
// LogWrite(text), then the message box "Fatal Error".
void FatalError(const std::wstring& text);

}  // namespace pf
