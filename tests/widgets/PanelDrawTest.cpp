// Tiled and nine-patch panels: their tile counts and laid-out sizes, and the pixels they
// draw through the software device in each stretch mode; guides and sizes from bad data.
#include "WidgetsFixture.h"

#include <climits>

#include "common/TestSupport.h"
#include "widgets/Box9Actor.h"
#include "widgets/TiledActor.h"

using namespace widgettest;

namespace {

class PanelDrawTest : public WidgetDrawTest {
protected:
    template <typename T>
    my_intrusive_ptr<T> Add(pf::Point at = pf::Point(0, 0)) {
        my_intrusive_ptr<T> item(new T);
        item->SetPosition(at);
        root->AddItem(item.get());
        return item;
    }
    // Checks the colour at the centre of each listed (x, y) -> (column, row) cel.
    void ExpectCels(const std::vector<std::pair<pf::Point, pf::Point>>& spots) {
        for (const auto& [p, cel] : spots)
            EXPECT_EQ(At(p.x, p.y), CelColour(cel.x, cel.y)) << "at " << p.x << "," << p.y;
    }
};

TEST_F(PanelDrawTest, TiledActorCoversTheMinimumSizeWithWholeTiles) {
    auto tiled = Add<TiledActor>(pf::Point(10, 10));
    tiled->SetMinSize(pf::Point(100, 40));
    tiled->SetResAnim(TextureAnim(3, 3, 32, 32).get());  // a 3 x 3 tile set
    EXPECT_EQ(tiled->GetColumns(), 4);
    EXPECT_EQ(tiled->GetRows(), 2);
    EXPECT_EQ(tiled->GetSize(), pf::Point(128, 64));
    DrawFrame();
    // Row 0 from loop 0, the last row from loop 2: cel 0, cel 1 twice, cel 2.
    ExpectCels({{{26, 26}, {0, 0}}, {{58, 26}, {1, 0}}, {{90, 26}, {1, 0}}, {{122, 26}, {2, 0}},
                {{26, 58}, {0, 2}}, {{58, 58}, {1, 2}}, {{122, 58}, {2, 2}}});
    EXPECT_EQ(At(140, 26), 0xFF000000u);
    EXPECT_EQ(tiled->GetSize(), pf::Point(128, 64));
    EXPECT_EQ(tiled->GetContentWidth(), 128);

    // Three rows: the middle one from loop 1.
    tiled->SetMinSize(pf::Point(64, 70));
    DrawFrame();
    EXPECT_EQ(tiled->GetSize(), pf::Point(64, 96));
    ExpectCels({{{26, 58}, {0, 1}}, {{58, 58}, {2, 1}}, {{58, 90}, {2, 2}}});
}

TEST_F(PanelDrawTest, TiledActorStripAndSingleImage) {
    auto strip = Add<TiledActor>();
    strip->SetMinSize(pf::Point(10, 100));
    strip->SetResAnim(TextureAnim(1, 3, 20, 30).get());
    DrawFrame();
    EXPECT_EQ(strip->GetSize(), pf::Point(20, 120));
    ExpectCels({{{10, 15}, {0, 0}}, {{10, 45}, {0, 1}}, {{10, 75}, {0, 1}}, {{10, 105}, {0, 2}}});
    root->RemoveItem(strip.get());

    auto single = Add<TiledActor>();
    single->SetResAnim(TextureAnim(1, 1, 24, 16).get());
    single->SetMinSize(pf::Point(500, 500));
    DrawFrame();
    EXPECT_EQ(single->GetSize(), pf::Point(24, 16));  // drawn once at its own size
    ExpectCels({{{12, 8}, {0, 0}}});
    EXPECT_EQ(At(30, 8), 0xFF000000u);
}

TEST_F(PanelDrawTest, TiledActorPropertiesAndEmptyOrHugeLayouts) {
    auto tiled = Add<TiledActor>();
    EXPECT_TRUE(tiled->SetProperty(L"minSize", L"100,40"));
    EXPECT_FALSE(tiled->SetProperty(L"colorKey", L"0"));  // stored, not reported as taken
    EXPECT_FALSE(tiled->GetColorKey());
    EXPECT_EQ(tiled->GetMinSize(), pf::Point(100, 40));
    EXPECT_EQ(tiled->GetContentWidth(), 0);  // no surface yet
    EXPECT_EQ(tiled->GetRows(), 0);

    // A tile of no size: nothing to lay out (no division by its size).
    tiled->SetSurface(pf::SurfacePtr(new pf::MemorySurface(0, 10)).get());
    tiled->SetSize(pf::Point(5, 6));
    testkit::LogCapture log;
    tiled->Resize();
    EXPECT_EQ(tiled->GetSize(), pf::Point(5, 6));
    EXPECT_TRUE(log.Contains("no size")) << log.Text();

    // A minimum size no screen shows is cut to a bounded grid, with one line.
    tiled->SetMinSize(pf::Point(INT_MAX, INT_MAX));
    tiled->SetResAnim(TextureAnim(3, 3, 1, 1).get());
    EXPECT_LE(int64_t(tiled->GetColumns()) * tiled->GetRows(), 1 << 18);
    EXPECT_GT(tiled->GetColumns(), 0);
    EXPECT_TRUE(log.Contains("too many tiles")) << log.Text();
    DrawFrame();
}

// A 30 x 30 image of nine 10 x 10 patches, each of its CelColour.
class Box9Test : public PanelDrawTest {
protected:
    my_intrusive_ptr<Box9Actor> AddBox(int mode, pf::Point requested, bool realSize = false) {
        auto box = Add<Box9Actor>(pf::Point(100, 100));
        box->SetResAnim(TextureAnim(3, 3, 10, 10).get());
        // The anim's whole image is cut: one cel per patch is only how the test paints it.
        box->SetStretchMode(mode);
        box->SetUseRealSize(realSize);
        box->SetSize(requested);
        return box;
    }
};

TEST_F(Box9Test, DefaultGuidesCutTheImageInThirds) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(0, 0));
    EXPECT_EQ(box->GetLeftGuide(), 10);
    EXPECT_EQ(box->GetRightGuide(), 20);
    EXPECT_EQ(box->GetTopGuide(), 10);
    EXPECT_EQ(box->GetBottomGuide(), 20);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(box->GetPatchRect(i), pf::Rect(i % 3 * 10, i / 3 * 10, 10, 10));
        EXPECT_EQ(box->GetPatchSize(i), pf::Point(10, 10));
    }
    EXPECT_EQ(box->GetPatchRect(9), pf::Rect());
    EXPECT_EQ(box->GetPatchSize(-1), pf::Point(0, 0));
}

TEST_F(Box9Test, TileModeTakesWholeMiddleTiles) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(100, 30));
    EXPECT_EQ(box->GetResizedWidth(), 100);  // n = (100 - 20 - 1) / 10 + 1 = 8
    box->SetWidth(95);
    EXPECT_EQ(box->GetResizedWidth(), 100);
    EXPECT_EQ(box->GetSize(), pf::Point(95, 30));
    box->SetSize(pf::Point(50, 40));  // 3 middle columns, 2 middle rows
    EXPECT_EQ(box->GetInternalRect(), pf::Rect(0, 0, 50, 40));
    DrawFrame();
    ExpectCels({{{105, 105}, {0, 0}}, {{115, 105}, {1, 0}}, {{135, 105}, {1, 0}}, {{145, 105}, {2, 0}},
                {{105, 115}, {0, 1}}, {{125, 125}, {1, 1}}, {{145, 125}, {2, 1}},
                {{105, 135}, {0, 2}}, {{125, 135}, {1, 2}}, {{145, 135}, {2, 2}}});
    EXPECT_EQ(At(151, 105), 0xFF000000u);
    EXPECT_EQ(At(105, 141), 0xFF000000u);
}

TEST_F(Box9Test, StretchModeStretchesEdgesAndCentre) {
    auto box = AddBox(Box9Actor::Stretch, pf::Point(50, 40));
    DrawFrame();
    EXPECT_EQ(box->GetInternalRect(), pf::Rect(0, 0, 50, 40));
    ExpectCels({{{105, 105}, {0, 0}}, {{125, 105}, {1, 0}}, {{145, 105}, {2, 0}}, {{105, 120}, {0, 1}},
                {{125, 120}, {1, 1}}, {{145, 120}, {2, 1}}, {{105, 135}, {0, 2}}, {{125, 135}, {1, 2}},
                {{145, 135}, {2, 2}}});
}

TEST_F(Box9Test, StretchMiddleWithAndWithoutRealSize) {
    auto box = AddBox(Box9Actor::StretchMiddle, pf::Point(30, 20));  // the middle's size
    EXPECT_EQ(box->GetInternalRect(), pf::Rect(0, 0, 50, 40));
    DrawFrame();
    ExpectCels({{{105, 105}, {0, 0}}, {{125, 120}, {1, 1}}, {{145, 135}, {2, 2}}, {{125, 135}, {1, 2}}});

    box->SetUseRealSize(true);
    box->SetSize(pf::Point(15, 40));  // less than the borders: only the corners
    EXPECT_EQ(box->GetInternalRect(), pf::Rect(0, 0, 20, 20));
    DrawFrame();
    ExpectCels({{{105, 105}, {0, 0}}, {{115, 105}, {2, 0}}, {{105, 115}, {0, 2}}, {{115, 115}, {2, 2}}});
    EXPECT_EQ(At(125, 105), 0xFF000000u);
}

TEST_F(Box9Test, SetBottomGuideAloneWaitsForTheNextLayout) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(50, 40));
    box->SetBottomGuide(25);  // middle rows 15 high, the bottom row 5, from now on
    EXPECT_EQ(box->GetResizedHeight(), 40);
    box->UpdateSize();
    EXPECT_EQ(box->GetResizedHeight(), 10 + 5 + 2 * 15);  // m = (40 - 15 - 1) / 15 + 1 = 2
}

TEST_F(Box9Test, PropertiesSetGuides) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(50, 40));
    EXPECT_TRUE(box->SetProperty(L"guidLeft", L"5,9"));
    EXPECT_TRUE(box->SetProperty(L"guidRight", L"25"));
    EXPECT_TRUE(box->SetProperty(L"guidTop", L"4"));
    EXPECT_TRUE(box->SetProperty(L"guidBottom", L"26"));
    EXPECT_FALSE(box->SetProperty(L"colorKey", L"no"));
    EXPECT_TRUE(box->SetProperty(L"alpha", L"10"));
    EXPECT_FALSE(box->GetColorKey());
    EXPECT_EQ(box->GetPatchRect(4), pf::Rect(5, 4, 20, 22));
    EXPECT_EQ(box->GetPatchRect(8), pf::Rect(25, 26, 5, 4));
}

TEST_F(Box9Test, BadGuidesStayInsideTheImageAndHaveNoMiddle) {
    struct Case {
        const char* name;
        int l, r, t, b;
    };
    const Case cases[] = {
        {"equal", 10, 10, 10, 10},
        {"crossed", 25, 5, 20, 3},
        {"outside", -40, 90, 1000, -7},
        {"extremes", INT_MIN, INT_MAX, INT_MAX, INT_MIN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int mode : {0, 1, 2}) {
            auto box = AddBox(mode, pf::Point(200, 150));
            testkit::LogCapture log;
            box->SetGuides(c.l, c.r, c.t, c.b);
            for (int i = 0; i < 9; ++i) {
                const pf::Rect p = box->GetPatchRect(i);
                EXPECT_TRUE(p.x >= 0 && p.y >= 0 && p.width >= 0 && p.height >= 0 && p.x + p.width <= 30 &&
                            p.y + p.height <= 30)
                    << i;
            }
            DrawFrame();
            DrawFrame();
            EXPECT_EQ(log.Lines().size(), 1u) << log.Text();  // one line, not one a frame
            EXPECT_GE(box->GetResizedWidth(), 0);
            root->RemoveItem(box.get());
        }
    }
}

TEST_F(Box9Test, HugeRequestsDrawABoundedNumberOfTiles) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(0, 0));
    box->SetGuides(1, 2, 1, 2);  // a one-pixel centre
    box->SetSize(pf::Point(INT_MAX, INT_MAX));
    Box9Actor::Layout layout;
    ASSERT_TRUE(box->ComputeLayout(layout));
    EXPECT_LE(layout.n * layout.m, 1 << 18);
    EXPECT_GT(box->GetResizedWidth(), 0);
    box->SetStretchMode(Box9Actor::StretchMiddle);
    box->SetSize(pf::Point(INT_MAX, INT_MAX));
    EXPECT_GT(box->GetResizedWidth(), 0);  // no overflow past the borders
    box->SetSize(pf::Point(-500, -500));
    box->SetStretchMode(Box9Actor::Tile);
    box->UpdateSize();
    EXPECT_EQ(box->GetInternalRect(), pf::Rect(0, 0, 29, 29));  // the borders, no middle
    DrawFrame();
}

TEST_F(Box9Test, HitsInsideItsLaidOutRectangle) {
    auto box = AddBox(Box9Actor::Tile, pf::Point(50, 40));
    box->SetColor(pf::Color(1, 2, 3, 4));
    EXPECT_EQ(box->GetColorAtLocalPoint(pf::Point(49, 39)), pf::Color(1, 2, 3, 4));
    EXPECT_EQ(box->GetColorAtLocalPoint(pf::Point(50, 10)), pf::Color(0, 0, 0, 0));
}

}  // namespace
