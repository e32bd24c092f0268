// The single-instance lock: an exclusive flock on "<user-data root>/<name>.lock", held
// until the process ends (the root holds the user folders the lock protects). The holder listens on a socket beside it ("<name>.sock",
// owner-only), where a second start asks it to bring its window to the front.
#pragma once

#include <string>

namespace pf {

class SingleInstanceLock {
public:
    virtual ~SingleInstanceLock() = default;
    // True when this process holds (or now took) the lock of that name; false when
    // another process holds it.
    virtual bool Acquire(const std::string& name) = 0;
    // Asks the process holding the lock of that name to bring its window to the front.
    // True when the request was delivered. Never waits for the holder.
    virtual bool AskHolderToRaise(const std::string& name) { return false; }
    // Whether another start asked this process to come to the front since the last call.
    // Never blocks.
    virtual bool TakeRaiseRequest() { return false; }
};

// The lock file's folder: the user-data root (GetUserDataRoot). Ends with '/'.
std::string LockFolder();
SingleInstanceLock& GetSingleInstanceLock();
// Installs a lock service; null restores the default. The caller keeps ownership.
void SetSingleInstanceLock(SingleInstanceLock* lock);

}  // namespace pf
