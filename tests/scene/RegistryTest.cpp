#include <stdexcept>

#include "SceneTestSupport.h"
#include "scene/EvtHandler.h"
#include "scene/ItemLeakDetector.h"
#include "tests/common/TestSupport.h"

using namespace scenetest;

namespace {
std::vector<int> g_hooked;
bool g_throw = false;
void Hook(void* context, int cid) {
    EXPECT_EQ(context, &g_hooked);
    if (g_throw) throw std::runtime_error("hook failed");
    g_hooked.push_back(cid);
}
// Asks the registry for the item it belonged to when it is let go.
int g_probeId = 0;
bool g_probed = false;
Item* g_probeFound = nullptr;
struct ProbeOnRelease : EvtHandler {
    ~ProbeOnRelease() override {
        g_probed = true;
        g_probeFound = getItemByID(g_probeId);
    }
};
}  // namespace

// The registry switch is process-wide and never cleared, so one test covers the order:
// off first, then on.
TEST(RegistryTest, OffThenOn) {
    {
        testkit::LogCapture log;
        ItemLeakDetector::ReportLeaks();
        EXPECT_TRUE(log.Contains("ItemLeakDetector::Initialize()"));
        EXPECT_FALSE(log.Contains("leaked items"));
    }
    my_intrusive_ptr<Item> early(new Item);
    ItemLeakDetector::Initialize();
    EXPECT_EQ(ItemLeakDetector::Count(), 0);
    early.reset();  // never registered: the list stays as it is
    EXPECT_EQ(ItemLeakDetector::Count(), 0);

    {
        testkit::LogCapture log;
        ItemLeakDetector::ReportLeaks();
        EXPECT_TRUE(log.Contains("leaked items: 0"));
        EXPECT_FALSE(log.Contains("---------"));
    }

    ItemLeakDetector::SetCreationHook(&Hook, &g_hooked);
    my_intrusive_ptr<Item> first(new Item);
    ASSERT_EQ(g_hooked.size(), 1u);
    EXPECT_EQ(g_hooked[0], first->GetCreationID());
    first->SetName(L"twin");
    my_intrusive_ptr<Item> second(new Actor);
    second->SetName(L"twin");
    EXPECT_EQ(getItemByName(L"twin"), first.get());
    EXPECT_EQ(getItemByID(second->GetCreationID()), second.get());
    EXPECT_EQ(getItemByName(L"nobody"), nullptr);
    EXPECT_EQ(getItemByID(-4), nullptr);

    // A hook that throws stops the construction and leaves no entry behind.
    g_throw = true;
    EXPECT_THROW(my_intrusive_ptr<Item>(new Item), std::runtime_error);
    g_throw = false;
    EXPECT_EQ(ItemLeakDetector::Count(), 2);

    {
        testkit::LogCapture log;
        ItemLeakDetector::ReportLeaks();
        const std::string a = std::to_string(first->GetCreationID());
        const std::string b = std::to_string(second->GetCreationID());
        const std::string expected =
            "\nleaked items: 2\n"
            "0) name: 'twin' id: " + a + "\n'twin'  cid: " + a + "\n[Item], size 800x600\n"
            "1) name: 'twin' id: " + b + "\n'twin'  cid: " + b + "\n[Item], size 800x600\n [Actor]\n"
            "--------- if you want kill and find leak place -> goto Base::GenCreationID() and uncomment "
            "assert line with your id \n\n";
        // The log's lines joined again: the report starts with a line feed of its own.
        std::string flat;
        for (const auto& line : log.Lines()) flat += line + "\n";
        EXPECT_EQ(flat, expected) << flat;
    }

    ItemLeakDetector::SetCreationHook(nullptr, nullptr);

    // Code run while an item is being destroyed (its handlers, modifiers and children
    // let go) no longer finds it in the registry: it would get a half-destroyed item.
    {
        my_intrusive_ptr<Item> dying(new Item);
        g_probeId = dying->GetCreationID();
        dying->AddEventHandler(new ProbeOnRelease);
        dying.reset();
        EXPECT_TRUE(g_probed);
        EXPECT_EQ(g_probeFound, nullptr);
    }

    // Entries leave from the front, the middle and the end, also all at once when a walk
    // lets go of what it kept: the others stay in registration order.
    {
        std::vector<my_intrusive_ptr<Item>> made;
        for (const wchar_t* name : {L"p", L"q", L"r", L"s", L"t"}) {
            made.emplace_back(new Item);
            made.back()->SetName(name);
        }
        made[2].reset();
        made[0].reset();
        made[4].reset();
        auto holder = my_intrusive_ptr<Item>(new Item);
        {
            const WalkScope walk;
            for (int i = 0; i < 100; ++i) {
                Item* temporary = new Item;
                holder->AddItem(temporary);
                holder->RemoveItem(temporary);
            }
            EXPECT_EQ(ItemLeakDetector::Count(), 5 + 100);  // kept until the walk ends
        }
        EXPECT_EQ(ItemLeakDetector::Count(), 5);
        testkit::LogCapture log;
        ItemLeakDetector::ReportLeaks();
        std::string flat;
        for (const auto& line : log.Lines()) flat += line + "\n";
        for (const char* line : {"leaked items: 5", "0) name: 'twin'", "1) name: 'twin'", "2) name: 'q'",
                                 "3) name: 's'", "4) name: 'Item'"})
            EXPECT_NE(flat.find(line), std::string::npos) << line << "\n" << flat;
        made.clear();
        holder.reset();
    }

    first.reset();
    second.reset();
    EXPECT_EQ(ItemLeakDetector::Count(), 0);
}
