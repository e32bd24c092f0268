#include "DataSceneSupport.h"
#include "scene/Cyclers.h"
#include "scene/TimeCurves.h"

using datascene::DataSceneTest;
using datascene::Xml;

namespace {

class FactoryTest : public DataSceneTest {};

TEST_F(FactoryTest, ModifiersByTypeWithTheirLogLines) {
    struct Case {
        const char* xml;
        bool made;
        const char* logged;  // null: nothing
    } cases[] = {
        {R"(<m type="Cycler" loops="2"/>)", true, nullptr},
        {R"(<m/>)", false, nullptr},
        {R"(<m type="MoveTo"/>)", false, nullptr},
        {R"(<m type="cycler"/>)", false, "Could not create an modifier of type cycler"},
        {R"(<m type=""/>)", false, "Could not create an modifier of type "},
        {R"(<m type="Fader"/>)", false, "Could not create an modifier of type Fader"},
    };
    for (const auto& c : cases) {
        auto x = Xml(c.xml);
        testkit::LogCapture log;
        my_intrusive_ptr<Modifier> m(GetModifierFactory()->CreateModifier(*x));
        EXPECT_EQ(m.get() != nullptr, c.made) << c.xml;
        if (c.made) {
            EXPECT_TRUE(m->IsKindOf(TypeId::Cycler));
        }
        if (c.logged) {
            EXPECT_EQ(log.Lines(), std::vector<std::string>{c.logged}) << c.xml;
        } else {
            EXPECT_TRUE(log.Lines().empty()) << c.xml << ": " << log.Text();
        }
    }
}

TEST_F(FactoryTest, TimeShiftsByNameInAnyCase) {
    ModifierFactory& f = *GetModifierFactory();
    EXPECT_TRUE(f.IsKindOf(TypeId::ModifierFactory));
    for (const wchar_t* name : {L"Accelerate", L"ACCELERATE", L"accelerate"}) {
        my_intrusive_ptr<TimeShift> s(f.CreateTimeShift(name));
        ASSERT_TRUE(s);
        EXPECT_NE(dynamic_cast<Accelerate*>(s.get()), nullptr);
        EXPECT_EQ(s->GetMagnitude(), 1);
        EXPECT_DOUBLE_EQ(s->Shift(0.5), 0.25);
    }
    my_intrusive_ptr<TimeShift> d(f.CreateTimeShift(L"deCelerate"));
    EXPECT_NE(dynamic_cast<Decelerate*>(d.get()), nullptr);
    testkit::LogCapture log;
    EXPECT_EQ(f.CreateTimeShift(L""), nullptr);
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(f.CreateTimeShift(L"Linear"), nullptr);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Could not create TimeShift Linear"});
}

}  // namespace
