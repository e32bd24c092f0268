// The module `game` as scripts use it, inside the engine's interpreter (one per test
// process, with `game` built in before it starts): a script subclass of the board in a
// tree, cycled and drawn by the engine; the other actors; the image effects on a picture.
#include <boost/python.hpp>

#include "SceneFakes.h"
#include "common/TestSupport.h"
#include "game/BoardSpacesActor.h"
#include "game/ModuleGame.h"
#include "scene/ItemLeakDetector.h"
#include "script/PythonHost.h"
#include "script/ScriptPeer.h"
#include "script/bindings/Holders.h"
#include "shell/Application.h"
#include "shell/FileSystem.h"
#include "shell/TextHelpers.h"

namespace gamescenetest {
namespace {

namespace bp = boost::python;

struct Interpreter {
    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    PythonHost host;
    bool gameAdded = false;
};

// Scripts receive anims from the engine; until the engine module names the class, this
// test gives it a script class of its own so anims can be handed over.
void EnsureResAnimClass() {
    const bp::converter::registration* known = bp::converter::registry::query(bp::type_id<ResAnim>());
    if (known && known->m_class_object) return;
    bp::object module = bp::import("types").attr("ModuleType")("gamescene_anims");
    bp::scope within(module);
    bp::class_<ResAnim, my_intrusive_ptr<ResAnim>, boost::noncopyable>("ResAnim", bp::no_init);
}

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
        EnsureResAnimClass();
        return w;
    }();
    return *world;
}

class ModuleGameScript : public testing::Test {
protected:
    MemoryDisplay display;
    pf::Display* oldDisplay_ = nullptr;
    pf::DisplayDX* oldDisplayDX_ = nullptr;

    void SetUp() override {
        ASSERT_TRUE(World().gameAdded);
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
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["bad_item"])), "refused");
    EXPECT_EQ(std::string(bp::extract<std::string>(ns["wrong_type"])), "refused");
}

}  // namespace
}  // namespace gamescenetest
