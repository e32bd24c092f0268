// Resource lists over a file system held in memory: the input is the list file, loaded
// once at once and once deferred through a queue on the calling thread. "a.png" is a
// real 6 x 4 image; cel and rect values may be anything.
#include <cstdint>
#include <string>

#include "content/ResAnim.h"
#include "content/Resources.h"
#include "content/ThreadResourcesQueue.h"
#include "fuzz/support/ContentHarness.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"

namespace {

void Use(Resources& list) {
    for (int i = 0; i < list.GetCount() && i < 64; ++i) {
        ResAnim* anim = list.getAnimByIndex(unsigned(i));
        if (!anim) __builtin_trap();
        pf::Surface* cel = anim->getCel(i, i * 7 - 3);
        if (!cel) continue;
        if (cel->GetWidth() < 0 || cel->GetHeight() < 0) __builtin_trap();
        pf::PixelView view = pf::LockView(cel, nullptr, true, false);
        if (view.data) {
            volatile uint8_t sink = view.data[size_t(view.height - 1) * view.pitch + size_t(view.width) * view.bytesPerPixel - 1];
            (void)sink;
        }
        cel->Unlock();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::MemoryFileSystem fs;
    fuzzsupport::FillFiles(fs, "list.xml", data, size);
    static pf::ImageLoaderDX loader;
    fuzzsupport::MemoryDisplay display;
    const ResourceServices services{&loader, &fs, &display};
    {
        Resources list(services);
        if (list.load(L"list.xml", nullptr)) Use(list);
    }
    ThreadResourcesQueue queue(services);
    Resources deferred(services);
    if (deferred.load(L"list.xml", &queue)) {
        Use(deferred);  // the first uses load on the spot
        queue.SetThreadsCount(0);
        queue.Start();
        Use(deferred);
    }
    return 0;
}
