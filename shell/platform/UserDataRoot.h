// The user-data root: $XDG_DATA_HOME, else ~/.local/share. Ends with '/'.
#pragma once

#include <string>

namespace pf {

using UserDataRootSource = std::wstring (*)();

// The root folder (wide; the OS path is its ToOsPath form, byte for byte what the
// environment gave).
std::wstring GetUserDataRoot();
// Replaces the root lookup; null restores the default.
void SetUserDataRootSource(UserDataRootSource source);
// Creates a folder with every missing parent; false with a log line on failure.
bool CreateFolders(const std::wstring& path);

}  // namespace pf
