// The shell opener: opens a file or URL with the desktop's handler ("open" verb).
#pragma once

#include <string>

namespace pf {

class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    // Starts the handler for target; false when it could not be started.
    virtual bool Open(const std::wstring& verb, const std::wstring& target) = 0;
};

// The default runs "xdg-open" with the target as its one argument (never through a
// shell) and reaps it in the background; only "open" is known.
ShellOpener& GetShellOpener();
// Installs an opener; null restores the default. The caller keeps ownership.
void SetShellOpener(ShellOpener* opener);

}  // namespace pf
