// The single-instance lock: an exclusive flock on "<runtime folder>/<name>.lock",
// held until the process ends.
#pragma once

#include <string>

namespace pf {

class SingleInstanceLock {
public:
    virtual ~SingleInstanceLock() = default;
    // True when this process holds (or now took) the lock of that name; false when
    // another process holds it.
    virtual bool Acquire(const std::string& name) = 0;
};

// The lock file's folder: $XDG_RUNTIME_DIR, else the temp folder (the file name then
// carries the user id). Ends with '/'.
std::string LockFolder();
SingleInstanceLock& GetSingleInstanceLock();
// Installs a lock service; null restores the default. The caller keeps ownership.
void SetSingleInstanceLock(SingleInstanceLock* lock);

}  // namespace pf
