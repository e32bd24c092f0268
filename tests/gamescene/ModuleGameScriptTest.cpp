// The module `game` as scripts use it, inside the engine's interpreter (one per test
// process, with `game` built in before it starts): its names in order and every class built
// by a script; game modifiers run by the engine on a fake clock; the main surface and the
// vendor links; a script subclass of the board in a tree, cycled and drawn by the engine;
// the image effects on a picture.
#include <boost/python.hpp>

#include "SceneFakes.h"
#include "common/TestSupport.h"
#include "widgets/UrlButton.h"
#include "widgets/WidgetServices.h"
#include "game/BoardSpacesActor.h"
#include "game/GameModifiers.h"
#include "game/ModuleGame.h"
#include "game/ParticleMgr.h"
#include "scene/PathModifier.h"
#include "scene/ItemLeakDetector.h"
#include "script/PythonHost.h"
#include "script/ScriptPeer.h"
#include "script/bindings/Holders.h"
#include "shell/Application.h"
#include "shell/Clock.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/ShellOpener.h"

namespace gamescenetest {
namespace {

namespace bp = boost::python;

struct Interpreter {
    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    PythonHost host;
    bool gameAdded = false;
};

Interpreter& World() {
    static Interpreter* world = [] {
        auto* w = new Interpreter();
        w->gameAdded = game::AddGameModule();
        w->fs.SetResourcePath(pf::FromUtf8(w->dir.Path().string() + "/"));
        ItemLeakDetector::Initialize();
        w->host.Init(&w->fs);
        // The engine's classes exist once their modules are imported.
        bp::import("ruv3");
        bp::import("game");
        return w;
    }();
    return *world;
}

class ModuleGameScript : public testing::Test {
protected:
    MemoryDisplay display;
    pf::Display* oldDisplay_ = nullptr;
    pf::DisplayDX* oldDisplayDX_ = nullptr;

    static int now;
    static int Now() { return now; }

    void SetUp() override {
        ASSERT_TRUE(World().gameAdded);
        now = 1000;
        pf::SetNowMsSource(&Now);
        pf::ApplicationWin32& app = pf::Application2::GetInstance();
        oldDisplay_ = app.GetDisplay();
        oldDisplayDX_ = app.GetDisplayDX();
        app.SetDisplayObjects(&display, nullptr);
    }
    void TearDown() override {
        // The scripts' namespaces form cycles; collecting them frees what they hold of
        // the engine before the display goes.
        bp::import("gc").attr("collect")();
        pf::Application2::GetInstance().SetDisplayObjects(oldDisplay_, oldDisplayDX_);
        pf::SetNowMsSource(nullptr);
    }

    // Runs the source in a fresh namespace that has imported ruv3 and game, with the
    // given names added; fails the test with the traceback on a script error.
    bp::dict Run(const std::string& source, const bp::dict& with = bp::dict()) {
        bp::dict ns;
        ns.update(with);
        ns["__builtins__"] = bp::import("builtins");
        try {
            bp::exec(("import ruv3, game\n" + source).c_str(), ns, ns);
        } catch (const bp::error_already_set&) {
            ADD_FAILURE() << "script error:\n" << Traceback();
        }
        return ns;
    }
    static std::string Traceback() {
        PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
        PyErr_Fetch(&type, &value, &trace);
        PyErr_NormalizeException(&type, &value, &trace);
        std::string text = "(none)";
        if (value) {
            bp::object lines = bp::import("traceback").attr("format_exception")(
                bp::object(bp::handle<>(type)), bp::object(bp::handle<>(value)),
                trace ? bp::object(bp::handle<>(trace)) : bp::object());
            text = bp::extract<std::string>(bp::str("").join(lines));
        }
        return text;
    }
};

int ModuleGameScript::now = 0;

TEST_F(ModuleGameScript, ModuleNamesItsClassesAndFunctionsInOrderAndScriptsBuildEach) {
    bp::dict ns = Run(R"(
names = [n for n in vars(game) if not n.startswith('_')]
made = {}
for name, base in [('FallModifier', ruv3.Modifier), ('PirnelsQuiverEffect', ruv3.Modifier),
                   ('BoardQuiverEffect', ruv3.Modifier), ('FallTimeShift', ruv3.TimeShift),
                   ('SpaceShimmerModifier', ruv3.Modifier), ('TimeShiftStartSlow', ruv3.TimeShift),
                   ('TimeShiftEndSlow', ruv3.TimeShift), ('ParticleActor', ruv3.Actor),
                   ('PathModifier', ruv3.Modifier), ('ColorModifier', ruv3.Modifier),
                   ('BrightnessModifier', ruv3.Modifier)]:
    cls = getattr(game, name)
    assert issubclass(cls, base), name
    class Sub(cls):
        pass
    made[name] = Sub()

made['FallModifier'].Init(ruv3.Point(3, 4), 10.0, 2.5, 0.0, True)
fall_speed = made['FallModifier'].GetFallSpeed()
made['BoardQuiverEffect'].Init(4.0)
made['SpaceShimmerModifier'].Init(1, 2, 3)
made['PathModifier'].Init('x 0 y 0 t 0 (x 100 y 50 t 500)')
ease = [game.TimeShiftStartSlow().Shift(0.0), game.TimeShiftEndSlow().Shift(1.0), game.FallTimeShift().Shift(1.0)]
tinted = game.ColorModifier(ruv3.Color(10, 20, 30, 40))
brighter = game.BrightnessModifier(ruv3.Color(50, 60, 70, 255))

parent = ruv3.Actor()
for x in (0, 100, 400):
    child = ruv3.Actor()
    child.SetPosition(ruv3.Point(x, 0))
    parent.AddItem(child)
quiver = game.PirnelsQuiverEffect()
quiver.Init(5.0, parent.children, ruv3.Point(0, 0))
quiver.Init(5.0, [ruv3.Actor()], ruv3.Point(0, 0))   # a script list too, appended
try:
    quiver.Init(5.0, [ruv3.Actor(), 'not an item'], ruv3.Point(0, 0))
    mixed = 'accepted'
except TypeError:
    mixed = 'refused'

particles = game.ParticleActor()
loaded = game.ParticleActor.init('no such particles.xml')
slot = particles.addParticles(-1, ruv3.Point(0, 0), 1)
particles.clear()
particles.removeParticles(250)
# Adding and removing particles changes the actor's children: the main thread's only.
import threading
refused_particles = []
def from_another_thread():
    for name, call in (('clear', particles.clear), ('removeParticles', lambda: particles.removeParticles(0)),
                       ('addParticles', lambda: particles.addParticles(0, ruv3.Point(0, 0), 1))):
        try:
            call()
        except RuntimeError as e:
            if str(e).startswith('ParticleActor.' + name + ':'): refused_particles.append(name)
worker = threading.Thread(target=from_another_thread)
worker.start()
worker.join()
game.LogDataError('a script found bad data')
)");
    std::vector<std::string> names;
    for (int i = 0; i < bp::len(ns["names"]); ++i) names.push_back(bp::extract<std::string>(ns["names"][i]));
    const std::vector<std::string> expected = {
        "app", "FallModifier", "PirnelsQuiverEffect", "BoardQuiverEffect", "FallTimeShift", "BoardSpacesActor",
        "SecretEntranceActor", "SpaceShimmerModifier", "FogTurbulenceActor", "TimeShiftStartSlow",
        "TimeShiftEndSlow", "ParticleActor", "PathModifier", "ColorModifier", "BrightnessModifier", "LogDataError",
        "createOuterGlow", "createSepia", "createBlur", "desaturate", "SetMainSurface", "AddVendorDistributor",
        "setDesktopWallpaper", "startExecutableFile"};
    EXPECT_EQ(names, expected);

    EXPECT_EQ(bp::len(ns["refused_particles"]), 3);

    bp::object made = ns["made"];
    EXPECT_FLOAT_EQ(bp::extract<float>(ns["fall_speed"]), 2.5f);
    PathModifier* path = bp::extract<PathModifier*>(made["PathModifier"]);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->GetNodes().size(), 2u);
    EXPECT_FLOAT_EQ(path->GetEndTime(), 500.0f);
    EXPECT_DOUBLE_EQ(bp::extract<double>(ns["ease"][0]), 0.0);
    EXPECT_DOUBLE_EQ(bp::extract<double>(ns["ease"][1]), 1.0);
    EXPECT_DOUBLE_EQ(bp::extract<double>(ns["ease"][2]), 1.0);

    // Without an argument the colour blends head for their defaults; with one, for it.
    ColorModifier* grey = bp::extract<ColorModifier*>(made["ColorModifier"]);
    ColorModifier* tinted = bp::extract<ColorModifier*>(ns["tinted"]);
    BrightnessModifier* dark = bp::extract<BrightnessModifier*>(made["BrightnessModifier"]);
    BrightnessModifier* brighter = bp::extract<BrightnessModifier*>(ns["brighter"]);
    EXPECT_EQ(grey->GetTargetColor(), pf::Color(128, 128, 128, 255));
    EXPECT_EQ(tinted->GetTargetColor(), pf::Color(10, 20, 30, 40));
    EXPECT_EQ(dark->GetTargetColor(), pf::Color(0, 0, 0, 255));
    EXPECT_EQ(brighter->GetTargetColor(), pf::Color(50, 60, 70, 255));
    EXPECT_EQ(tinted->GetName(), L"ColorModifier");

    PirnelsQuiverEffect* quiver = bp::extract<PirnelsQuiverEffect*>(ns["quiver"]);
    EXPECT_EQ(quiver->GetItemCount(), 4u);  // the refused call added nothing
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["mixed"])), "refused");

    EXPECT_FALSE(bp::extract<bool>(ns["loaded"]));
    EXPECT_EQ(bp::extract<int>(ns["slot"]), -1);
    ParticleMgr* particles = bp::extract<ParticleMgr*>(ns["particles"]);
    ASSERT_NE(particles, nullptr);
    EXPECT_TRUE(particles->GetChildren().empty());
}

TEST_F(ModuleGameScript, GameModifiersAddedByAScriptRunOnTheClock) {
    bp::dict ns = Run(R"(
piece = ruv3.Actor()
fall = game.FallModifier()
fall.Init(ruv3.Point(100, 200), 50.0, 100.0, 0.0, True)
piece.AddModifierWithTC(fall, None)

shade = ruv3.Actor()
tc = ruv3.TimeController()
tc.Init(400, ruv3.TimeController.Forward, 1)
shade.AddModifierWithTC(game.ColorModifier(ruv3.Color(0, 100, 200, 255)), tc)
)");
    Actor* piece = bp::extract<Actor*>(ns["piece"]);
    Actor* shade = bp::extract<Actor*>(ns["shade"]);
    ASSERT_NE(piece, nullptr);
    ASSERT_NE(shade, nullptr);
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 150));  // starts above its rest

    now += 250;
    piece->Cycle();
    shade->Cycle();
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 175));
    now += 250;
    piece->Cycle();
    shade->Cycle();
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 200));
    EXPECT_EQ(shade->GetColor(), pf::Color(0, 100, 200, 255));
    now += 10;
    piece->Cycle();  // past its rest: done, and dropped by the piece
    EXPECT_TRUE(bp::extract<bool>(ns["fall"].attr("done")));
    EXPECT_EQ(piece->GetPosition(), pf::Point(100, 200));
}

TEST_F(ModuleGameScript, SetMainSurfaceShowsTheWholeSurfaceAndIgnoresNone) {
    auto strip = AnimOf(Solid(200, 50, 0xFF00FF00u).get(), 4, 1);
    bp::dict with;
    with["strip"] = bp::object(strip);
    testkit::LogCapture log;
    bp::dict ns = Run(R"(
shown = ruv3.Actor()
game.SetMainSurface(shown, strip)
kept = ruv3.Actor()
game.SetMainSurface(kept, strip)
game.SetMainSurface(kept, None)
)",
                      with);
    Actor* shown = bp::extract<Actor*>(ns["shown"]);
    Actor* kept = bp::extract<Actor*>(ns["kept"]);
    EXPECT_EQ(shown->GetResAnim(), strip.get());
    EXPECT_EQ(shown->GetSurface().get(), strip->GetSurface().get());
    EXPECT_EQ(kept->GetSurface().get(), strip->GetSurface().get());  // None changed nothing
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u) << log.Text();
    EXPECT_NE(lines[0].find("SetMainSurface"), std::string::npos) << lines[0];
}

TEST_F(ModuleGameScript, VendorLinksJoinTheParentHostFirstAndOnlyWhenTheirSectionLoads) {
    SetWidgetFileSystem(&World().fs);
    struct Case {
        const char* name;
        std::string config;
        std::vector<std::wstring> images;  // of the buttons added, in order
    } cases[] = {
        {"both sections", "[distlink]\nimg=dist.png\nurl=x\n[hostlink]\nimg=host.png\nurl=https://example.org\n",
         {L"host.png", L"dist.png"}},
        {"distributor only", "[distlink]\nimg=dist.png\n", {L"dist.png"}},
        {"host without an image", "[hostlink]\nurl=https://example.org\n", {}},
    };
    for (const Case& c : cases) {
        World().dir.Write("CFG/vendor.cfg", c.config);
        const int live = ItemLeakDetector::Count();
        {
            bp::dict ns = Run("menu = ruv3.Item()\ngame.AddVendorDistributor(menu)\n");
            Item* menu = bp::extract<Item*>(ns["menu"]);
            ASSERT_EQ(menu->GetChildren().size(), c.images.size()) << c.name;
            for (size_t i = 0; i < c.images.size(); ++i) {
                auto* button = dynamic_cast<UrlButton*>(menu->GetChildren()[i].get());
                ASSERT_NE(button, nullptr) << c.name;
                EXPECT_EQ(button->GetImage(), c.images[i]) << c.name;
                EXPECT_EQ(button->IsEnabled(), c.images[i] == L"host.png") << c.name;  // the distributor never clicks
            }
        }
        // The menu, the buttons it got and the ones it did not get are all gone with it.
        bp::import("gc").attr("collect")();
        EXPECT_EQ(ItemLeakDetector::Count(), live) << c.name;
    }
    testkit::LogCapture log;
    Run("game.AddVendorDistributor(None)\n");
    EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    SetWidgetFileSystem(nullptr);
}

TEST_F(ModuleGameScript, DesktopFunctionsCopyThroughTheGamesFileSystem) {
    struct Opener : pf::ShellOpener {
        std::vector<std::wstring> opened;
        bool Open(const std::wstring&, const std::wstring& target) override {
            opened.push_back(target);
            return true;
        }
    } opener;
    testkit::TempDir user;
    World().fs.SetUserPath(pf::FromUtf8(user.Path().string()));
    World().dir.Write("manual.txt", "manual");
    pf::ApplicationWin32& app = pf::Application2::GetInstance();
    pf::FileSystem* oldFs = app.GetFileSystem();
    app.SetFileSystem(&World().fs);
    pf::SetShellOpener(&opener);
    bp::dict ns = Run(R"(
results = [game.setDesktopWallpaper(''), game.startExecutableFile('manual.txt', 'Docs/', True),
           game.startExecutableFile('', '', False)]
try:
    game.startExecutableFile('manual.txt', '')
    arity = 'accepted'
except TypeError:
    arity = 'refused'
)");
    pf::SetShellOpener(nullptr);
    app.SetFileSystem(oldFs);
    World().fs.SetUserPath(nullptr);
    EXPECT_FALSE(bp::extract<bool>(ns["results"][0]));
    EXPECT_TRUE(bp::extract<bool>(ns["results"][1]));
    EXPECT_FALSE(bp::extract<bool>(ns["results"][2]));
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["arity"])), "refused");
    EXPECT_EQ(testkit::ReadFile(user.Path() / "Docs/manual.txt"), "manual");
    EXPECT_EQ(opener.opened, std::vector<std::wstring>{pf::FromUtf8((user.Path() / "Docs/manual.txt").string())});
}

TEST_F(ModuleGameScript, BoardSubclassInATreeIsCycledAndDrawnByTheEngine) {
    auto back = AnimOf(Solid(300, 100, 0xFFFFFFFFu).get());
    auto plates = AnimOf(Solid(400, 50, 0xFF0000FFu).get());
    bp::dict with;
    with["back"] = bp::object(back);
    with["plates"] = bp::object(plates);
    bp::dict ns = Run(R"(
class Board(game.BoardSpacesActor):
    def __init__(self, back, plates):
        game.BoardSpacesActor.__init__(self)
        self.SetBackAnim(back, 3, 2)
        self.SetPlatesAnim(plates, None)
        for column in range(3):
            for row in range(2):
                self.SetSpaceOpacity(column, row, 255)
        self.SetSpaceOpacity(0, 0, 0)   # hidden
        self.SetPlate(1, 1, 1)
        self.SetCel(1, 1, 2)
        self.SetCel(3, 0, 9)            # outside the grid: ignored
        self.label = 'the board'

    def describe(self):
        return self.label

root = ruv3.Item()
root.AddItem(Board(back, plates))       # only the tree holds it now
fog = game.FogTurbulenceActor()
fog.AddCel(0, 0)
fog.Init(0.0, 3.0, 5.0)
root.AddItem(fog)
entrance = game.SecretEntranceActor()
entrance.Init(back, 2, 3)
entrance.SetCellStatus(0, 0, False)
entrance.SetShift(ruv3.Point(0, 0))
root.AddItem(entrance)
)",
                      with);
    Item* root = bp::extract<Item*>(ns["root"]);
    ASSERT_NE(root, nullptr);
    bp::import("gc").attr("collect")();

    // The board is still the script's object, with its own attributes and methods.
    ASSERT_EQ(root->GetChildren().size(), 3u);
    Item* first = root->GetChildren().front().get();
    bp::object board = ToScript(first);
    EXPECT_EQ(std::string(bp::extract<std::string>(board.attr("describe")())), "the board");
    auto* engineBoard = dynamic_cast<BoardSpacesActor*>(first);
    ASSERT_NE(engineBoard, nullptr);
    EXPECT_EQ(engineBoard->GetColumns(), 3u);
    EXPECT_EQ(engineBoard->GetBoardCell(1, 1)->cel, 2);

    root->Cycle();
    RenderState rs;
    rs.display = &display;
    root->Draw(rs);
    // The board: five visible cells in one call, its one plate in another. The fog has no
    // tile image and the entrance draws through its surface: neither adds triangles.
    ASSERT_EQ(display.draws.size(), 2u);
    EXPECT_EQ(display.draws[0].vertices.size(), 5u * 6);
    EXPECT_EQ(display.draws[0].texture, back->GetSurface().get());
    ASSERT_EQ(display.draws[1].vertices.size(), 6u);
    EXPECT_EQ(display.draws[1].texture, plates->GetSurface().get());
    float minU = 1.0f;
    for (const auto& v : display.draws[1].vertices) minU = std::min(minU, v.u);
    EXPECT_FLOAT_EQ(minU, 200.0f / 400.0f);  // cel 2 of 100-pixel cels

    // The entrance's private copy: the cleared cell is transparent, the rest as it was.
    bp::object entrance = ns["entrance"];
    pf::Surface* copy = bp::extract<pf::Surface*>(entrance.attr("surface"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(PixelAt(*copy, 10, 10) >> 24, 0u);
    EXPECT_EQ(PixelAt(*copy, 150, 10), 0xFFFFFFFFu);

    // The tree keeps the board's script object, whose class refers to the namespace that
    // holds the tree: a cycle through the engine the collector cannot see, broken here.
    root->RemoveAllDescendents(false);
}

TEST_F(ModuleGameScript, EffectFunctionsReplaceTheActorsPicture) {
    // Row 0 white, row 1 (100, 200, 50) at half alpha.
    auto picture = Picture(4, 2, [](int, int y) { return y == 0 ? 0xFFFFFFFFu : 0x8064C832u; });
    bp::dict with;
    with["picture"] = bp::object(my_intrusive_ptr<pf::Surface>(picture.get()));
    bp::dict ns = Run(R"(
def made(effect):
    a = ruv3.Actor()
    a.surface = picture
    effect(a)
    return a

grey = made(game.desaturate)
sepia = made(lambda a: game.createSepia(a, 1, (1, 2, 3)))     # not nine: sepia
identity = made(lambda a: game.createSepia(a, 1, (1, 0, 0, 0, 1, 0, 0, 0, 1.0)))
blur = made(lambda a: game.createBlur(a, 1, 2))
glow = made(lambda a: game.createOuterGlow(a, 3, 2, ruv3.Color(255, 200, 0, 255), 1))

bare = ruv3.Actor()
game.desaturate(bare)
game.createBlur(bare, 2, 1)
assert bare.surface is None
game.desaturate(None)

# Extreme radii and downscales: no picture is left to show or no canvas fits.
big = 2**31 - 1
untouched = [made(lambda a: game.createBlur(a, big, big)),
             made(lambda a: game.createSepia(a, big, ())),
             made(lambda a: game.createOuterGlow(a, big, big, ruv3.Color(), -big - 1)),
             made(lambda a: game.createOuterGlow(a, 9000, 0, ruv3.Color(), 1))]

try:
    game.createSepia(made(lambda a: None), 1, (1, 0, 0, 0, 1, 0, 0, 0, 'x'))
    bad_item = 'accepted'
except TypeError as e:
    bad_item = 'refused'
try:
    game.desaturate(picture)
    wrong_type = 'accepted'
except TypeError as e:
    wrong_type = 'refused'
)",
                      with);
    auto shown = [&](const char* name) -> pf::Surface* {
        Actor* a = bp::extract<Actor*>(ns[name]);
        return a ? a->GetSurface().get() : nullptr;
    };
    for (const char* name : {"grey", "sepia", "identity", "blur", "glow"}) {
        ASSERT_NE(shown(name), nullptr) << name;
        EXPECT_NE(shown(name), picture.get()) << name;
    }
    EXPECT_EQ(PixelAt(*shown("grey"), 0, 0), 0xFFFEFEFEu);
    EXPECT_EQ(PixelAt(*shown("grey"), 3, 1), 0x80A7A7A7u);
    EXPECT_EQ(PixelAt(*shown("sepia"), 0, 0), 0xFFFFFFEEu);
    EXPECT_EQ(PixelAt(*shown("identity"), 2, 1), 0x8064C832u);
    EXPECT_EQ(shown("blur")->GetWidth(), 2);
    EXPECT_EQ(shown("blur")->GetHeight(), 1);
    EXPECT_EQ(shown("glow")->GetWidth(), 4 + 2 * 6);
    EXPECT_EQ(shown("glow")->GetHeight(), 2 + 2 * 6);
    EXPECT_EQ(PixelAt(*shown("glow"), 7, 7), 0xFFFFC800u);  // the glow in its colour over the picture
    EXPECT_EQ(PixelAt(*shown("glow"), 0, 0) >> 24, 0u);     // and none in the far corner
    for (int i = 0; i < bp::len(ns["untouched"]); ++i) {
        Actor* a = bp::extract<Actor*>(ns["untouched"][i]);
        EXPECT_EQ(a->GetSurface().get(), picture.get()) << i;
    }
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["bad_item"])), "refused");
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["wrong_type"])), "refused");
}

}  // namespace
}  // namespace gamescenetest
