#include "shell/platform/FreedMemory.h"

#include <malloc.h>

#include <mutex>

namespace pf {

void KeepFreedMemoryForReuse() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Both at once: setting either stops the allocator from adjusting the other,
        // and large images must come from the heaps for their freed memory to stay.
        mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargestHeapAllocation));
        mallopt(M_TRIM_THRESHOLD, static_cast<int>(kFreedMemoryKept));
    });
}

}  // namespace pf
