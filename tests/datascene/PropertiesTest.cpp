// Item properties from text and XML, references to other items, properties files,
// state-machine commands, targets, scripts and unique names.
#include "DataSceneSupport.h"
#include "scene/Cyclers.h"
#include "scene/TimeCurves.h"

using datascene::DataSceneTest;
using datascene::Xml;
using pf::Point;

namespace {

class PropertiesTest : public DataSceneTest {
protected:
    // root > group(named "group") > {item, other(at 40,50, 30 x 20, priority 7)}
    void SetUp() override {
        DataSceneTest::SetUp();
        group = Make<Item>();
        group->SetName(L"group");
        root->AddItem(group.get());
        item = Make<Item>();
        item->SetName(L"item");
        group->AddItem(item.get());
        other = Make<Item>();
        other->SetName(L"other");
        other->SetPosition(Point(40, 50));
        other->SetSize(Point(30, 20));
        other->SetPriority(7);
        other->SetVisible(false);
        group->AddItem(other.get());
    }
    my_intrusive_ptr<Item> group, item, other;
};

TEST_F(PropertiesTest, KeyTable) {
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
        bool taken;
        std::function<bool(Item&)> check;
    };
    const Case cases[] = {
        {L"clipRect", L"1,2,3,4", true, [](Item& i) { return i.GetClipRect() == pf::Rect(1, 2, 3, 4); }},
        {L"IgnoreTransparency", L"true", true, [](Item& i) { return i.GetIgnoreTransparency(); }},
        {L"modal", L"1", true, [](Item& i) { return i.IsModal(); }},
        {L"size", L"64,32", true, [](Item& i) { return i.GetSize() == Point(64, 32); }},
        {L"name", L"fresh", true, [](Item& i) { return i.GetName() == L"fresh"; }},
        {L"x", L"12.9", true, [](Item& i) { return i.GetPosition() == Point(12, 0); }},
        {L"y", L"-4", true, [](Item& i) { return i.GetPosition() == Point(0, -4); }},
        {L"position", L"5,6", true, [](Item& i) { return i.GetPosition() == Point(5, 6); }},
        {L"priority", L"9z", true, [](Item& i) { return i.GetPriority() == 9; }},
        {L"visible", L"false", true, [](Item& i) { return !i.IsVisible(); }},
        {L"enabled", L"false", true, [](Item& i) { return !i.IsEnabled(); }},
        {L"selected", L"true", true, [](Item& i) { return i.IsSelected(); }},
        {L"clickID", L"33", true, [](Item& i) { return i.GetClickID() == 33; }},
        {L"height", L"70", true, [](Item& i) { return i.GetHeight() == 70; }},
        {L"width", L"71", true, [](Item& i) { return i.GetWidth() == 71; }},
        {L"verbose", L"3", false, [](Item& i) { return i.GetVerbose() == 3; }},
        {L"Visible", L"false", false, [](Item& i) { return i.IsVisible(); }},
        {L"unknown", L"1", false, [](Item& i) { return i.GetName() == L"Item"; }},
    };
    for (const auto& c : cases) {
        auto fresh = Make<Item>();
        EXPECT_EQ(fresh->SetProperty(c.key, c.value), c.taken) << pf::ToString(c.key);
        EXPECT_TRUE(c.check(*fresh)) << pf::ToString(c.key);
    }
}

TEST_F(PropertiesTest, ReferencesTakeTheNamedItemsValues) {
    item->SetPosition(Point(1, 2));
    EXPECT_TRUE(item->SetProperty(L"x", L"=(other)"));
    EXPECT_EQ(item->GetPosition(), Point(40, 2));
    EXPECT_TRUE(item->SetProperty(L"size", L"=(other)"));
    EXPECT_EQ(item->GetSize(), Point(30, 20));
    EXPECT_TRUE(item->SetProperty(L"clipRect", L"=(other)"));
    EXPECT_EQ(item->GetClipRect(), pf::Rect(40, 50, 30, 20));
    EXPECT_TRUE(item->SetProperty(L"priority", L"=(other)"));
    EXPECT_EQ(item->GetPriority(), 7);
    EXPECT_TRUE(item->SetProperty(L"visible", L"=(other)"));
    EXPECT_FALSE(item->IsVisible());
    // Keys without a reference form parse the text: a boolean reads false.
    item->SetModal(true);
    EXPECT_TRUE(item->SetProperty(L"modal", L"=(other)"));
    EXPECT_FALSE(item->IsModal());
    // A name that matches nothing is parsed as text, which reads 0.
    EXPECT_TRUE(item->SetProperty(L"y", L"=(nobody)"));
    EXPECT_EQ(item->GetPosition(), Point(40, 0));
}

TEST_F(PropertiesTest, ReferenceResolutionWalksUpThenAsksTheRoot) {
    auto deep = Make<Item>();
    item->AddItem(deep.get());
    auto elsewhere = Make<Item>();
    elsewhere->SetName(L"far");
    EXPECT_EQ(deep->ResolveValueReference(L"=(other)"), other.get());
    EXPECT_EQ(deep->ResolveValueReference(L"=(item)"), item.get());
    EXPECT_EQ(deep->ResolveValueReference(L"=($parent)"), item.get());
    EXPECT_EQ(deep->ResolveValueReference(L"=(group)"), group.get());
    EXPECT_EQ(deep->ResolveValueReference(L"=(nobody)"), nullptr);
    // Values that are not references.
    for (const wchar_t* v : {L"other", L"=()", L"=(other", L"(other)", L"=(x"})
        EXPECT_EQ(deep->ResolveValueReference(v), nullptr) << pf::ToString(v);
    // An item outside the tree asks the current root.
    EXPECT_EQ(elsewhere->ResolveValueReference(L"=(other)"), other.get());
}

TEST_F(PropertiesTest, ElementAttributesApplyInOrderWithPropertiesFilesInline) {
    Write("base.xml", R"(<p x="7" y="8" priority="2"/>)");
    auto x = Xml(R"(<e x="1" properties="base.xml" y="3" name="" clickID="5"/>)");
    item->SetProperties(*x, item.get());
    EXPECT_EQ(item->GetPosition(), Point(7, 3));  // the file's x after 1, then y 3
    EXPECT_EQ(item->GetPriority(), 2);
    EXPECT_EQ(item->GetName(), L"item");  // empty values are skipped
    EXPECT_EQ(item->GetClickID(), 5);
    // A null target does nothing.
    item->SetProperties(*x, nullptr);
}

TEST_F(PropertiesTest, CyclicPropertiesFilesApplyOnceWithALogLine) {
    Write("a.xml", R"(<p properties="b.xml" x="1"/>)");
    Write("b.xml", R"(<p properties="a.xml" y="2"/>)");
    Write("self.xml", R"(<p properties="self.xml" width="9"/>)");
    testkit::LogCapture log;
    item->SetPropertiesFromResource(L"a.xml");
    EXPECT_EQ(item->GetPosition(), Point(1, 2));
    EXPECT_TRUE(log.Contains("Properties file a.xml includes itself")) << log.Text();
    item->SetPropertiesFromResource(L"self.xml");
    EXPECT_EQ(item->GetWidth(), 9);
    EXPECT_EQ(log.Lines().size(), 2u) << log.Text();
}

TEST_F(PropertiesTest, ResourcesAndPathsAndMissingOnes) {
    Write("ui.xml", R"(<ui><panel><box x="11" width="22"/></panel></ui>)");
    item->SetPropertiesFromResource(L"ui.xml:panel/box");
    EXPECT_EQ(item->GetX(), 11);
    EXPECT_EQ(item->GetWidth(), 22);
    auto data = Xml(R"(<ui><panel y="4"/></ui>)");
    item->SetPropertiesFromXml(data.get(), L"panel");
    EXPECT_EQ(item->GetY(), 4);
    item->SetPropertiesFromXml(data.get(), L"none");
    item->SetPropertiesFromXml(nullptr, L"panel");
    testkit::LogCapture log;
    item->SetPropertiesFromResource(L"ui.xml:nothing");
    item->SetPropertiesFromResource(L"missing.xml");
    auto x = Xml(R"(<e properties="missing2.xml" x="3"/>)");
    item->SetProperties(*x, item.get());
    EXPECT_EQ(item->GetX(), 3);
    EXPECT_TRUE(log.Contains("Properties ui.xml:nothing not found for 'item'")) << log.Text();
    EXPECT_TRUE(log.Contains("Properties file missing2.xml not found for 'item'")) << log.Text();
}

TEST_F(PropertiesTest, CommandsAndTargets) {
    auto x = Xml(R"(<c type="CenterInParent" y="false" target="other" self="$this" up="$parent" bad="zzz"/>)");
    EXPECT_EQ(item->ResolveTarget(*x, L"target", nullptr), nullptr);  // not a child of item
    EXPECT_EQ(group->ResolveTarget(*x, L"target", nullptr), other.get());
    EXPECT_EQ(item->ResolveTarget(*x, L"self", nullptr), item.get());
    EXPECT_EQ(item->ResolveTarget(*x, L"up", nullptr), group.get());
    EXPECT_EQ(item->ResolveTarget(*x, L"bad", root.get()), root.get());
    EXPECT_EQ(item->ResolveTarget(*x, L"missing", root.get()), root.get());

    group->SetSize(Point(100, 100));
    other->SetPosition(Point(3, 4));
    root->RunCommandFromXml(*x, other.get());
    EXPECT_EQ(other->GetPosition(), Point(35, 4));  // x only
    EXPECT_FALSE(other->HandleCommand(L"centerinparent", *x));

    auto spy = Make<scenetest::SpyModifier>(&journal, "m");
    other->AddModifier(spy.get(), nullptr);
    auto stop = Xml(R"(<c type="StopModifiers"/>)");
    root->RunCommandFromXml(*stop, other.get());
    EXPECT_TRUE(other->GetModifiers().empty());

    // RemoveItem takes the item and its subtree out, even when nothing else holds it.
    auto child = Make<Item>();
    other->AddItem(child.get());
    Item* raw = other.get();
    other.reset();
    auto remove = Xml(R"(<c type="RemoveItem"/>)");
    root->RunCommandFromXml(*remove, raw);
    EXPECT_EQ(group->GetChildren().size(), 1u);
    EXPECT_EQ(child->GetParent(), nullptr);
    root->RunCommandFromXml(*remove, nullptr);
}

// A target whose hook keeps what it is given.
class HookItem : public Item {
public:
    my_intrusive_ptr<Modifier> modifier;
    my_intrusive_ptr<TimeShift> curve;
    void AddModifierWithTimeShift(Modifier* m, TimeShift* c) override {
        modifier = m;
        curve = c;
    }
};

// Counts destructions of the modifiers the factory builds.
int g_cyclersAlive = 0;
class CountingCycler : public Cycler {
public:
    explicit CountingCycler(XmlData& e) : Cycler(e) { ++g_cyclersAlive; }
    ~CountingCycler() override { --g_cyclersAlive; }
};
class CountingFactory : public ModifierFactory {
public:
    Modifier* CreateModifier(XmlData& e) override { return new CountingCycler(e); }
};

TEST_F(PropertiesTest, ModifiersFromXmlGoToTheTargetsHookAndNothingLeaks) {
    auto target = Make<HookItem>();
    auto x = Xml(R"(<m type="Cycler" timeShift="Decelerate" name="c1"/>)");
    item->AddModifierFromXml(*x, target.get(), L"cue");
    ASSERT_TRUE(target->modifier);
    EXPECT_EQ(target->modifier->GetName(), L"c1");
    EXPECT_NE(dynamic_cast<Decelerate*>(target->curve.get()), nullptr);

    SetModifierFactory(new CountingFactory);
    // Item's hook keeps nothing: the modifier and the curve are released again.
    item->AddModifierFromXml(*x, item.get(), L"");
    item->AddModifierFromXml(*x, nullptr, L"");
    EXPECT_EQ(g_cyclersAlive, 0);
    EXPECT_TRUE(item->GetModifiers().empty());
    SetModifierFactory(nullptr);
    testkit::LogCapture log;
    item->AddModifierFromXml(*x, target.get(), L"");
    EXPECT_TRUE(log.Contains("no modifier factory")) << log.Text();
}

std::vector<std::wstring> g_started;
void FakeStarter(Item* owner, const std::wstring& id, const std::wstring& cue) {
    g_started.push_back(owner->GetName() + L" " + id + L" " + cue);
}

TEST_F(PropertiesTest, RunScriptGoesThroughTheStateMachineStarter) {
    testkit::LogCapture log;
    item->RunScript(L"intro.xml", L"done");
    EXPECT_TRUE(log.Contains("RunScript: no state machines to run intro.xml on 'item'")) << log.Text();
    SetStateMachineStarter(&FakeStarter);
    item->RunScript(L"intro.xml", L"done");
    SetStateMachineStarter(nullptr);
    EXPECT_EQ(g_started, std::vector<std::wstring>{L"item intro.xml done"});
}

TEST_F(PropertiesTest, UniqueNamesCountUp) {
    const std::wstring a = Item::UniqueName(L"FullScreenFader");
    const std::wstring b = Item::UniqueName(L"FullScreenFader");
    EXPECT_EQ(std::stoi(b), std::stoi(a) + 1);
    EXPECT_EQ(a.substr(a.size() - 15), L"FullScreenFader");
    EXPECT_EQ(a, std::to_wstring(std::stoi(a)) + L"FullScreenFader");
}

}  // namespace
