// An XML state machine from arbitrary input, loaded on a small tree and run for a few
// cycles of a clock that moves 100 ms a cycle. The input is also the file "in.xml", so
// its RunScript elements may start it again; "NewItem" elements get plain items. Nothing
// may fault, loop or leak.
#include <cstdint>
#include <memory>
#include <string>

#include "machines/StateMachineXml.h"
#include "content/XmlData.h"
#include "fuzz/support/SceneHarness.h"
#include "shell/Clock.h"

namespace {

int g_now = 0;
int Now() { return g_now; }

class PlainItems : public StateMachineItemFactory {
public:
    Item* CreateItem(XmlData&) override { return new Item; }
};

constexpr int kCycles = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (pf::SetLogToStderr(false), true);
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);

    fuzzsupport::MemoryFileSystem fs;
    fs.files["in.xml"] = text;
    fs.files["other.xml"] = "<m><init><RunScript script=\"in.xml\"/></init><state><Done/></state></m>";
    fuzzsupport::SceneServices services(fs);
    RootItem* root = services.root.get();
    PlainItems items;
    SetStateMachineItemFactory(&items);
    InstallStateMachineStarter();
    g_now = 1000;
    pf::SetNowMsSource(&Now);
    {
        const auto named = [](const wchar_t* name) {
            my_intrusive_ptr<Item> item(new Item);
            item->SetName(name);
            return item;
        };
        const my_intrusive_ptr<Item> group = named(L"group"), target = named(L"target"), other = named(L"other");
        root->AddItem(group.get());
        group->AddItem(target.get());
        group->AddItem(other.get());

        XmlData x;
        if (x.ParseNarrow(text, L"")) {
            my_intrusive_ptr<StateMachineXml> machine(new StateMachineXml);
            machine->SetItemSlot(0, target.get());
            machine->SetItemSlot(1, other.get());
            machine->LoadFromXml(&x, group.get(), L"other");
            for (int i = 0; i < kCycles; ++i) {
                root->Cycle();
                g_now += 100;
                if (i == kCycles / 2) machine->OnCue(nullptr, 0, 0);
            }
            target->RunScript(L"other.xml", L"");
            root->Cycle();
        }
        root->RemoveAllDescendents(false);
    }
    pf::SetNowMsSource(nullptr);
    SetStateMachineStarter(nullptr);
    SetStateMachineItemFactory(nullptr);
    return 0;
}
