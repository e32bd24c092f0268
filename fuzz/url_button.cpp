// Link buttons over arbitrary configuration text: the input up to its first 0 byte is the
// vendor file, the rest the menu layout. Both link buttons load from it; an image named
// "a.png" is a real 6 x 4 image, any other name is missing.
#include <cstdint>
#include <cstring>
#include <string>

#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "widgets/UrlButton.h"
#include "widgets/WidgetServices.h"
#include "fuzz/support/ContentHarness.h"
#include "shell/ImageLoaderDX.h"
#include "shell/platform/ShellOpener.h"

namespace {

// Opens nothing: a fuzz run starts no programs.
class NoOpener : public pf::ShellOpener {
public:
    bool Open(const std::wstring&, const std::wstring&) override { return true; }
};

void Check(UrlButton& b, bool loaded) {
    if (!loaded) return;
    if (b.GetImage().empty()) __builtin_trap();
    if (b.IsEnabled() == b.GetUrl().empty()) __builtin_trap();
    if (ResAnim* anim = b.GetResAnim())
        if (b.GetCel() < 0 || b.GetCel() >= anim->GetNumCels()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::MemoryFileSystem fs;
    fuzzsupport::FillFiles(fs, "CFG/vendor.cfg", data, size);
    const void* zero = std::memchr(data, 0, size);
    if (zero) {
        const size_t split = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data);
        fs.files["CFG/vendor.cfg"].resize(split);
        fs.files["CFG/menu.cfg"].assign(reinterpret_cast<const char*>(data) + split + 1, size - split - 1);
    }
    static pf::ImageLoaderDX loader;
    static NoOpener opener;
    pf::SetShellOpener(&opener);
    fuzzsupport::MemoryDisplay display;
    ResourceManager manager(&loader, &display, &fs);
    SetResourceManager(&manager);
    SetWidgetFileSystem(&fs);
    {
        my_intrusive_ptr<UrlButton> host(new UrlButton), dist(new UrlButton);
        Check(*host, host->LoadHostLink());
        const bool distLoaded = dist->LoadDistLink();
        Check(*dist, distLoaded);
        if (dist->IsEnabled() && distLoaded) __builtin_trap();
        host->Click(1);  // no sound player: nothing plays
    }
    SetWidgetFileSystem(nullptr);
    SetResourceManager(nullptr);
    return 0;
}
