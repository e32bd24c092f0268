// XML state machines over a clock the test moves: state changes, cues, done, targets,
// commands, and machines that remove themselves or start one another.
#include <gtest/gtest.h>

#include "StateMachineSupport.h"

using machinetest::MachineTest;
using machinetest::Probe;
using machinetest::Steps;

namespace {

std::string Step(const char* name, const std::string& body = "") {
    return std::string("<state name=\"") + name + "\"><SetProperties target=\"probe\" step=\"" + name + "\"/>" + body +
           "</state>";
}

TEST_F(MachineTest, ChangeStateTakesEffectInTheNextCycle) {
    struct Case {
        const char* change;  // the ChangeState element of state a
        Steps afterFirst, afterSecond;
    };
    const Case cases[] = {
        {"<ChangeState/>", {"a"}, {"b"}},
        {"<ChangeState nextState=\"c\"/>", {"a"}, {"c"}},
        {"<ChangeState nextState=\"nowhere\"/>", {"a"}, {"b"}},
        {"<ChangeState nextState=\"a\"/>", {"a"}, {"a"}},
        {"", {"a"}, {}},  // waits for a cue
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        const auto m = Load("<m>" + Step("a", c.change) + Step("b") + Step("c") + "</m>");
        EXPECT_TRUE(Take().empty()) << "nothing runs before the first cycle";
        Cycles(1);
        EXPECT_EQ(Take(), c.afterFirst);
        Cycles(1);
        EXPECT_EQ(Take(), c.afterSecond);
        m->RemoveAllDescendents(true);
    }
}

TEST_F(MachineTest, DelayedChangeWaitsForTheParentClock) {
    const auto m = Load("<m>" + Step("a", "<ChangeState interval=\"500\" nextState=\"c\"/>") + Step("b") + Step("c") +
                        "</m>");
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"a"});
    EXPECT_EQ(m->GetDelayedState(), 2);
    now += 499;
    Cycles(3);
    EXPECT_TRUE(Take().empty());
    now += 1;
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"c"}) << "the state runs in the cycle where the deadline passes";
    EXPECT_EQ(m->GetDelayedState(), -1);
}

TEST_F(MachineTest, CancelledOrHugeDelaysNeverFire) {
    const auto m = Load("<m>" + Step("a", "<ChangeState interval=\"2147483647\"/>") + Step("b") + "</m>");
    Cycles(1);
    now += 1000000;
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"a"});
    m->ChangeState(1, 10);
    m->CancelDelayedChange();
    now += 20;
    Cycles(1);
    EXPECT_TRUE(Take().empty());
}

TEST_F(MachineTest, CueWakesAWaitingState) {
    const auto m = Load("<m>" + Step("a") + Step("b") + "</m>");
    Cycles(3);
    EXPECT_EQ(Take(), Steps{"a"});
    // Another machine cues it by name.
    m->SetName(L"waiter");
    Load("<m><state><Cue target=\"waiter\" type=\"3\" data=\"7\"/></state></m>");
    Cycles(1);
    EXPECT_EQ(Take(), Steps{}) << "the cue only asks for the change";
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"b"});
}

TEST_F(MachineTest, CueCommandPassesTypeAndDataOrLogsAMissingTarget) {
    testkit::LogCapture log;
    Load("<m cue=\"probe\"><state><Cue target=\"probe\" type=\"3\" data=\"7\"/><Cue/><Cue target=\"ghost\"/>"
         "<ChangeState interval=\"100000\"/></state></m>");
    // Without a cue name there is no default: an unnamed item is not cued by accident.
    const auto unnamed = Make<Probe>(&journal, L"");
    host->AddItem(unnamed.get());
    Load("<m><state><Cue target=\"ghost\"/><Cue/><ChangeState interval=\"100000\"/></state></m>");
    Cycles(1);
    for (const auto& line : journal) EXPECT_NE(line.compare(0, 5, " cue "), 0) << line;
    EXPECT_EQ(Take("probe cue "), (Steps{"probe 3 7", "probe 0 0", "probe 0 0"}))
        << "without a target, or with one that names nothing, the machine's cue item";
    EXPECT_TRUE(log.Contains("Cue target not found! StateMachineXml is trying to cue ghost"));
    EXPECT_TRUE(log.Contains("Cue target not found! StateMachineXml is trying to cue \n"));
}

TEST_F(MachineTest, DoneCuesWithCueDataAndTheMachineGoes) {
    const auto m = Load("<m cue=\"probe\" cueData=\"2\">" + Step("a", "<Done cueData=\"9\"/><SetProperties target=\"probe\" step=\"after\"/>") +
                        "</m>");
    EXPECT_EQ(m->GetName(), L"probe") << "the cue attribute names the machine";
    journal.clear();
    Cycles(1);
    EXPECT_EQ(Take("probe"), (Steps{".target=probe", ".step=a", " cue probe 0 9"})) << "nothing runs after an auto-deleting Done";
    EXPECT_EQ(m->GetParent(), nullptr);
    EXPECT_TRUE(m->IsFinished());
}

TEST_F(MachineTest, RunningPastTheLastStateIsDone) {
    testkit::LogCapture log;
    const auto m = Load("<m cueData=\"4\">" + Step("a", "<ChangeState/>") + "</m>", nullptr, L"probe");
    Cycles(2);
    EXPECT_EQ(Take("probe cue "), Steps{"StateMachineXml 0 4"});
    const auto lost = Load("<m>" + Step("a", "<ChangeState/>") + "</m>", nullptr, L"nobody");
    Cycles(2);
    EXPECT_TRUE(log.Contains("Cue target not found! StateMachineXml is trying to cue nobody"));
    const auto empty = Load("<m/>");
    Cycles(1);
    EXPECT_EQ(empty->GetParent(), nullptr) << "a machine without states is done on its first cycle";
}

TEST_F(MachineTest, InitRunsWhileLoadingBeforeStateZero) {
    const auto m = Load("<m><state name=\"s\"><SetProperties target=\"probe\" step=\"state\"/></state>"
                        "<init><SetProperties target=\"probe\" step=\"init\"/><ChangeState nextState=\"nowhere\"/></init></m>");
    EXPECT_EQ(Take(), Steps{"init"});
    EXPECT_EQ(m->GetStateCount(), 1u);
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"state"}) << "the start overrides changes asked for while loading";
}

TEST_F(MachineTest, RootAttributesApplyAsPropertiesAndStateIsOverridden) {
    const auto m = Load("<m parent=\"ignored\" autoDelete=\"false\" name=\"boss\" state=\"b\" verbose=\"0\">" + Step("a") +
                        Step("b") + "</m>");
    EXPECT_FALSE(m->GetAutoDelete());
    EXPECT_EQ(m->GetName(), L"boss");
    EXPECT_EQ(m->GetParent(), host.get()) << "a given parent wins over the attribute";
    Cycles(1);
    EXPECT_EQ(Take(), Steps{"a"});
}

TEST_F(MachineTest, ParentAttributeFindsTheItemFromTheRoot) {
    my_intrusive_ptr<StateMachineXml> m(new StateMachineXml);
    auto data = datascene::Xml("<m parent=\"probe\"/>");
    m->LoadFromXml(data.get(), nullptr, L"");
    EXPECT_EQ(m->GetParent(), probe.get());
    my_intrusive_ptr<StateMachineXml> n(new StateMachineXml);
    auto other = datascene::Xml("<m parent=\"nobody\"><state/></m>");
    n->LoadFromXml(other.get(), nullptr, L"");
    EXPECT_EQ(n->GetParent(), root.get());
}

TEST_F(MachineTest, DefineFeedsLaterStringLookups) {
    Load("<m><state><Define greeting=\"hello\"/><ChangeState/></state>"
         "<state><SetProperties target=\"probe\" step=\"#greeting\"/></state></m>");
    Cycles(2);
    EXPECT_EQ(Take(), Steps{"hello"});
}

TEST_F(MachineTest, PostEventDefaultsToButtonClick) {
    Load("<m><state><PostEvent code=\"5\"/><PostEvent type=\"39\" code=\"1\" data1=\"2\" data2=\"3\" target=\"x\"/>"
         "</state></m>");
    Cycles(1);
    ASSERT_EQ(recorder->posted.size(), 2u);
    EXPECT_EQ(recorder->posted[0].type, pf::EventType::ButtonClick);
    EXPECT_EQ(recorder->posted[0].code, 5);
    EXPECT_EQ(recorder->posted[0].data1, 0);
    EXPECT_EQ(recorder->posted[1].type, 39);
    EXPECT_EQ(recorder->posted[1].data2, 3);
}

TEST_F(MachineTest, PostEventWithoutARootLogs) {
    testkit::LogCapture log;
    const auto m = Load("<m><state><PostEvent/></state></m>");
    SetRootItem(nullptr);
    auto state = datascene::Xml("<state><PostEvent/></state>");
    m->DoState(state.get());
    SetRootItem(root.get());
    EXPECT_TRUE(log.Contains("no root item to post event 24"));
}

TEST_F(MachineTest, ItemTargetsAreExactlyDollarItemAndOneDigit) {
    const auto m = Load("<m autoDelete=\"false\"><state/></m>");
    auto slotItem = Make<Item>();
    m->SetItemSlot(3, slotItem.get());
    for (const wchar_t* name : {L"$item", L"$itemX", L"$item12", L"x$item3", L"$item4"}) {
        auto child = Make<Item>();
        child->SetName(std::wstring(name) + (std::wstring(name) == L"$item4" ? L"-no" : L""));
        host->AddItem(child.get());
    }
    auto fallback = Make<Item>();
    struct Case {
        const char* text;
        std::wstring expect;  // name of the item, "fallback" or "null"
    };
    const Case cases[] = {
        {"$item3", L"slot"},         {"$item4", L"null"},        {"$item", L"$item"},
        {"$itemX", L"$itemX"},       {"$item12", L"$item12"},    {"x$item3", L"x$item3"},
        {"missing", L"fallback"},    {"", L"fallback"},          {"$this", L"machine"},
        {"$parent", L"host"},        {"probe", L"probe"},        {"$item-1", L"fallback"},
    };
    slotItem->SetName(L"slot");
    fallback->SetName(L"fallback");
    m->SetName(L"machine");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto e = datascene::Xml(std::string("<x target=\"") + c.text + "\"/>");
        Item* got = m->ResolveTarget(*e, L"target", fallback.get());
        EXPECT_EQ(got ? got->GetName() : L"null", c.expect);
    }
    // A slot names its item weakly.
    slotItem.reset();
    EXPECT_EQ(m->GetItemSlot(3), nullptr);
    EXPECT_EQ(m->GetItemSlot(10), nullptr);
    EXPECT_EQ(m->GetItemSlot(-1), nullptr);
}

TEST_F(MachineTest, CommandsWithoutSlotTargetsDoNothing) {
    Load("<m><state><SetProperties step=\"x\"/><Command type=\"StopModifiers\"/><Command target=\"probe\" type=\"Poke\"/>"
         "</state></m>");
    Cycles(1);
    EXPECT_EQ(Take("probe"), Steps{" command Poke"});
}

TEST_F(MachineTest, UnknownElementsAreLoggedWithTheirXml) {
    testkit::LogCapture log;
    Load("<m><state><Explode power=\"9\"/>" + std::string("<SetProperties target=\"probe\" step=\"on\"/></state></m>"));
    Cycles(1);
    EXPECT_TRUE(log.Contains("Explode:unknown StateMachineXml element"));
    EXPECT_TRUE(log.Contains("DUMP: <Explode power=\"9\" />"));
    EXPECT_EQ(Take(), Steps{"on"}) << "the rest of the state still runs";
}

TEST_F(MachineTest, AddRemoveAndDeleteItems) {
    auto box = Make<Item>();
    box->SetName(L"box");
    host->AddItem(box.get());
    WeakRef<Item> probeRef(probe.get());
    Load("<m><state><AddItem target=\"probe\" parent=\"box\" name=\"moved\" x=\"4\"/><AddItem target=\"ghost\"/>"
         "<ChangeState/></state><state><RemoveItem target=\"box\"/><DeleteItem target=\"nothing\"/></state></m>");
    testkit::LogCapture log;
    Cycles(1);
    EXPECT_EQ(probe->GetParent(), box.get());
    EXPECT_EQ(probe->GetName(), L"moved");
    EXPECT_EQ(probe->GetX(), 4);
    EXPECT_TRUE(log.Contains("Could not find item to add."));
    Cycles(1);
    EXPECT_EQ(box->GetParent(), nullptr);
    EXPECT_EQ(probe->GetParent(), box.get()) << "RemoveItem takes the item out, whole";
    host->AddItem(box.get());
    Load("<m><state><DeleteItem target=\"box\"/></state></m>");
    probe.reset();
    Cycles(1);
    EXPECT_EQ(box->GetParent(), nullptr);
    EXPECT_TRUE(box->GetChildren().empty());
    EXPECT_EQ(probeRef.get(), nullptr) << "the deleted item's subtree is gone";
}

TEST_F(MachineTest, AutoDeletingMachineIsFreedAtTheEndOfItsCycle) {
    WeakRef<Item> ref;
    {
        const auto m = Load("<m>" + Step("a", "<Done/>") + "</m>");
        ref = WeakRef<Item>(m.get());
    }
    EXPECT_NE(ref.get(), nullptr) << "its parent holds it";
    Cycles(1);
    EXPECT_EQ(ref.get(), nullptr);
    EXPECT_EQ(Take(), Steps{"a"});
}

TEST_F(MachineTest, MachinesThatTakeThemselvesOrTheirParentOutStopSafely) {
    // Each runs under ASan with nothing else holding the machine or its parent.
    const char* bodies[] = {
        "<DeleteItem target=\"$this\"/>",                    // its parent, from the parent's side
        "<Command target=\"$this\" type=\"RemoveItem\"/>",  // itself
        "<DeleteItem target=\"self\"/>",                     // itself by name
        "<Cue target=\"probe\"/>",                           // the cued item deletes the machine
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        auto parent = Make<Probe>(&journal, L"parent");
        host->AddItem(parent.get());
        auto inner = Make<Probe>(&journal, L"probe");
        parent->AddItem(inner.get());
        WeakRef<Item> machineRef, parentRef(parent.get());
        {
            const auto m = Load(std::string("<m name=\"self\"><state>") + body +
                                    "<SetProperties target=\"probe\" step=\"late\"/></state></m>",
                                parent.get());
            machineRef = WeakRef<Item>(m.get());
            inner->onCue = [&](Item* sender) { sender->RemoveAllDescendents(true); };
        }
        parent.reset();
        inner.reset();
        journal.clear();
        Cycles(2);
        EXPECT_EQ(machineRef.get(), nullptr);
        EXPECT_EQ(Take(), Steps{}) << "nothing runs after the machine left the tree";
        if (parentRef.get()) parentRef.get()->RemoveAllDescendents(true);
    }
}

TEST_F(MachineTest, AnInitThatFreesAMachineNothingHoldsEndsTheLoadSafely) {
    // Each runs under ASan: only its parent counts the machine once it is attached.
    const char* bodies[] = {
        "<Done/>",
        "<DeleteItem target=\"self\"/>",
        "<RemoveItem target=\"self\"/>",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        auto data = datascene::Xml(std::string("<m name=\"self\"><init>") + body +
                                   "</init><state><SetProperties target=\"probe\" step=\"late\"/></state></m>");
        StateMachineXml* m = new StateMachineXml;
        WeakRef<Item> ref(m);
        m->LoadFromXml(data.get(), host.get(), L"");
        EXPECT_EQ(ref.get(), nullptr) << "freed once the load let it go";
        EXPECT_EQ(host->GetChildByName(L"self"), nullptr);
        Cycles(2);
        EXPECT_EQ(Take(), Steps{});
    }
}

TEST_F(MachineTest, AnInitThatTakesOutTheMachinesParentEndsTheLoadSafely) {
    // Under ASan: the host alone holds the parent, the parent alone the machine.
    const char* bodies[] = {
        "<DeleteItem target=\"$this\"/>",
        "<Cue target=\"probe\"/>",  // the cued item takes the parent's children out
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        auto* parent = new Probe(&journal, L"parent");
        host->AddItem(parent);
        auto* inner = new Probe(&journal, L"probe");
        parent->AddItem(inner);
        inner->onCue = [parent](Item*) { parent->RemoveAllDescendents(true); };
        WeakRef<Item> parentRef(parent);
        testkit::LogCapture log;
        auto data = datascene::Xml(std::string("<m name=\"self\"><init>") + body +
                                   "</init><state><SetProperties target=\"probe\" step=\"late\"/></state></m>");
        StateMachineXml* m = new StateMachineXml;
        WeakRef<Item> ref(m);
        m->LoadFromXml(data.get(), parent, L"");
        journal.clear();
        Cycles(2);
        EXPECT_EQ(ref.get(), nullptr) << log.Text();
        EXPECT_EQ(Take(), Steps{});
        if (parentRef.get()) parentRef.get()->RemoveAllDescendents(true);
        host->RemoveAllDescendents(true);
        Cycles(1);
    }
}

TEST_F(MachineTest, DoneCueTargetMayRemoveTheMachine) {
    WeakRef<Item> ref;
    {
        const auto m = Load("<m cue=\"probe\"><state><Done/></state></m>");
        ref = WeakRef<Item>(m.get());
    }
    probe->onCue = [](Item* sender) { sender->RemoveAllDescendents(true); };
    Cycles(1);
    EXPECT_EQ(ref.get(), nullptr);
    EXPECT_EQ(Take("probe cue "), Steps{"probe 0 0"});
}

TEST_F(MachineTest, RunScriptStartsAMachineFromAFile) {
    Write("child.xml", "<m><state><SetProperties target=\"$parent\" step=\"child\"/></state></m>");
    Load("<m><state><RunScript target=\"probe\" script=\"child.xml\" cue=\"$parent\"/></state></m>");
    Cycles(1);
    ASSERT_EQ(probe->GetChildren().size(), 1u);
    Item* child = probe->GetChildren()[0].get();
    EXPECT_TRUE(child->IsKindOf(TypeId::StateMachineXml));
    EXPECT_EQ(child->GetName(), L"child.xml");
    EXPECT_EQ(child->GetCue(), L"host");
    EXPECT_TRUE(static_cast<StateMachineXml*>(child)->GetAutoDelete());
    Cycles(1);
    EXPECT_EQ(Take("probe.step="), Steps{"child"});
}

TEST_F(MachineTest, MissingXmlDropsTheMachine) {
    testkit::LogCapture log;
    probe->RunScript(L"absent.xml", L"");
    EXPECT_TRUE(probe->GetChildren().empty());
    EXPECT_TRUE(log.Contains("absent.xml: no XML to read; not started"));
    // No parent and no root: nowhere to go.
    SetRootItem(nullptr);
    my_intrusive_ptr<StateMachineXml> m(new StateMachineXml);
    auto data = datascene::Xml("<m><state/></m>");
    m->LoadFromXml(data.get(), nullptr, L"");
    SetRootItem(root.get());
    EXPECT_EQ(m->GetParent(), nullptr);
    EXPECT_TRUE(log.Contains("no parent item and no root item; not started"));
}

TEST_F(MachineTest, MachinesStartingEachOtherAreBoundedWithOneLogLine) {
    struct Case {
        const char* name;
        std::string xml;
    };
    const Case cases[] = {
        {"self.xml", "<m><init><RunScript script=\"self.xml\"/></init></m>"},
        {"twice.xml", "<m><init><RunScript script=\"twice.xml\"/><RunScript script=\"twice.xml\"/></init></m>"},
        {"ping.xml", "<m><init><RunScript script=\"pong.xml\"/></init></m>"},
        {"spawn.xml", "<m><state><RunScript script=\"spawn.xml\"/><RunScript script=\"spawn.xml\"/></state></m>"},
    };
    Write("pong.xml", "<m><init><RunScript script=\"ping.xml\"/></init></m>");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Write(c.name, c.xml);
        testkit::LogCapture log;
        probe->RunScript(pf::FromUtf8(c.name), L"");
        Cycles(3);
        size_t lines = 0;
        for (const auto& line : log.Lines()) lines += line.find("not started") != std::string::npos;
        EXPECT_EQ(lines, 1u) << log.Text();
        EXPECT_LE(MachineCount(), static_cast<size_t>(MachineRun::kMaxMachines));
        probe->RemoveAllDescendents(false);
    }
}

TEST_F(MachineTest, NewItemBuildsAnItemAndRunsNestedMachinesOnIt) {
    struct Factory : StateMachineItemFactory {
        std::vector<std::string>* journal;
        Item* CreateItem(XmlData&) override { return new Probe(journal, L"made"); }
    } factory;
    factory.journal = &journal;
    testkit::LogCapture log;
    Load("<m><state><NewItem target=\"probe\"/></state></m>");
    Cycles(1);
    EXPECT_TRUE(log.Contains("DUMP: <NewItem target=\"probe\" />")) << "no factory: logged and skipped";
    EXPECT_TRUE(probe->GetChildren().empty());
    SetStateMachineItemFactory(&factory);
    Load("<m><state><NewItem name=\"fresh\" target=\"probe\" x=\"3\"><a><state><SetProperties target=\"$parent\" "
         "step=\"one\"/></state></a><b verbose=\"1\"/></NewItem></state></m>");
    Cycles(1);
    ASSERT_EQ(probe->GetChildren().size(), 1u);
    Item* made = probe->GetChildren()[0].get();
    EXPECT_EQ(made->GetName(), L"fresh");
    EXPECT_EQ(made->GetX(), 3);
    ASSERT_EQ(probe->GetAttachedObjects().size(), 1u);
    ASSERT_EQ(made->GetChildren().size(), 2u);
    EXPECT_EQ(made->GetChildren()[0]->GetName(), L"fresh:1");
    EXPECT_EQ(made->GetChildren()[1]->GetName(), L"fresh:2");
    Cycles(1);
    EXPECT_EQ(Take("fresh.step="), Steps{"one"});
    EXPECT_TRUE(log.Contains("StateMachineXml fresh:2 destroyed."));
}

TEST_F(MachineTest, DebugSwitchLogsStatesAndCommands) {
    SetStateMachineDebug(true);
    testkit::LogCapture log;
    Load("<m name=\"talk\"><state><ChangeState/></state></m>");
    Cycles(2);
    EXPECT_TRUE(log.Contains("STARTED talk DoState"));
    EXPECT_TRUE(log.Contains("FINISHED talk DoState  (parent host)"));
    EXPECT_TRUE(log.Contains("DUMP: <ChangeState />"));
    EXPECT_TRUE(log.Contains("StateMachineXml talk destroyed."));
}

TEST_F(MachineTest, RestartAndStateProperty) {
    const auto m = Load("<m autoDelete=\"false\">" + Step("a") + Step("b") + Step("c") + "</m>");
    Cycles(1);
    m->SetProperty(L"state", L"c");
    Cycles(1);
    m->Restart(L"probe", 1);
    Cycles(1);
    EXPECT_EQ(Take(), (Steps{"a", "c", "a"}));
    EXPECT_EQ(m->GetCue(), L"probe");
    m->Finish();
    EXPECT_EQ(m->GetParent(), nullptr);
    EXPECT_FALSE(m->IsFinished()) << "a machine that is not auto-deleting may be started again";
}

}  // namespace
