// Item properties from arbitrary XML on a small tree: the input is applied as properties
// (its "properties" attributes may name it or a file that names it back), as a command
// and as a modifier description. Nothing may fault, loop or leak.
#include <cstdint>
#include <memory>
#include <string>

#include "content/ResourceManager.h"
#include "content/XmlData.h"
#include "fuzz/support/SceneHarness.h"
#include "scene/Actor.h"
#include "scene/ModifierFactory.h"
#include "scene/RootItem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);

    fuzzsupport::MemoryFileSystem fs;
    fs.files["in.xml"] = text;
    fs.files["back.xml"] = "<p properties=\"in.xml\" x=\"3\"/>";
    fuzzsupport::SceneServices services(fs);
    RootItem* root = services.root.get();
    {
        my_intrusive_ptr<Item> group(new Item);
        group->SetName(L"group");
        my_intrusive_ptr<Actor> actor(new Actor);
        actor->SetName(L"other");
        my_intrusive_ptr<Item> target(new Item);
        target->SetName(L"target");
        root->AddItem(group.get());
        group->AddItem(actor.get());
        group->AddItem(target.get());

        XmlData x;
        if (x.ParseNarrow(text, L"")) {
            target->SetPropertiesFromXml(&x, L"");
            actor->SetPropertiesFromXml(&x, L"");
            group->RunCommandFromXml(x, group->ResolveTarget(x, L"target", target.get()));
            target->AddModifierFromXml(x, actor.get(), L"cue");
            std::unique_ptr<XmlData> child(x.FirstChild(L""));
            if (child) actor->SetProperties(*child, target.get());
        }
        target->SetPropertiesFromResource(L"in.xml");
        root->Cycle();
    }
    return 0;
}
