// What the process's allocator does with memory the program frees.
#pragma once

#include <cstddef>

namespace pf {

// Below this size an allocation comes from the allocator's heaps, whose freed memory can
// be reused without asking the system again; larger ones are mapped and unmapped whole.
constexpr size_t kLargestHeapAllocation = size_t{32} << 20;
// How much freed memory a heap keeps at its end before it hands it back to the system:
// about one resource list of images (200 of 240x240 take 46 MB). This is what a player's
// game keeps mapped after a level unloads, at most this much per heap (the main one and
// one per thread that allocated at once, the queue's workers among them); the next list
// loads into it. A larger list loads as before, paying the page faults beyond it.
constexpr size_t kFreedMemoryKept = size_t{64} << 20;

// Keeps freed memory mapped for the next allocations (within the bounds above) instead of
// handing it back to the system at once. Loading a resource list allocates every image
// of it, and the next list is loaded soon after the last one was freed: with the
// allocator's own rules the images' memory went back to the system, so every page of
// every image of the next list paid a page fault again, which costs more than decoding
// the image on a virtual machine. Once per process; later calls do nothing.
void KeepFreedMemoryForReuse();

}  // namespace pf
