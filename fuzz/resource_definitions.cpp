// The resource definitions reader over a file system held in memory: the input is the
// definitions file; "a.png" is a real image, every other file is missing.
#include <cstdint>
#include <string>

#include "content/ResAnim.h"
#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "fuzz/support/ContentHarness.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::MemoryFileSystem fs;
    fuzzsupport::FillFiles(fs, "defs.xml", data, size);
    fs.files["defines.xml"] = fs.files["defs.xml"];
    static pf::ImageLoaderDX loader;
    fuzzsupport::MemoryDisplay display;
    ResourceManager manager(&loader, &display, &fs);
    SetResourceManager(&manager);
    manager.LoadResourceDefinitions(L"defs.xml");
    manager.LoadDefines(L"defines.xml");
    // Everything described loads or fails cleanly, and drops cleanly.
    if (XmlData* root = manager.GetXmlData(L"defs.xml")) {
        int n = 0;
        for (std::unique_ptr<XmlData> e(root->FirstChild(L"")); e && n < 32; e.reset(root->NextChild()), ++n) {
            std::wstring id;
            e->GetString(L"id", id, L"");
            if (ResAnim* anim = manager.LoadAnim(id)) {
                anim->getCel(n, -n);
                anim->GetWidth();
            }
            manager.GetFont(id);
        }
    }
    manager.UnloadAll(false);
    SetResourceManager(nullptr);
    return 0;
}
