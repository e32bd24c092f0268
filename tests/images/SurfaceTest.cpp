// Memory, proxy, cell and huge (tiled) surfaces.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "FakeDisplay.h"
#include "common/TestSupport.h"
#include "shell/CellSurface.h"
#include "shell/HugeSurface.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/ProxySurface.h"

using pf::PixelFormat;
using pf::PixelView;
using pf::Rect;
using testimages::FakeDisplay;

namespace {

// Each pixel of an A8R8G8B8 image holds its own coordinates: bytes x, y, 7, 255.
pf::MemorySurface* Pattern(int w, int h) {
    auto* s = new pf::MemorySurface(w, h);
    PixelView v = s->GetView();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = v.data + y * v.pitch + x * 4;
            p[0] = uint8_t(x), p[1] = uint8_t(y), p[2] = 7, p[3] = 255;
        }
    return s;
}

// Reads pixel (x, y) of the image back from whichever tile holds it.
const uint8_t* TilePixel(const pf::HugeSurface& huge, int x, int y) {
    for (const pf::TileRecord& t : huge.GetTiles()) {
        if (!t.imageRect.PointIn(pf::Point(x, y))) continue;
        PixelView v = static_cast<pf::MemorySurface*>(t.surface.get())->GetView();
        return v.data + (y - t.imageRect.y) * v.pitch + (x - t.imageRect.x) * 4;
    }
    return nullptr;
}

}  // namespace

TEST(Surface, PowerOfTwoAndTextureFit) {
    EXPECT_FALSE(pf::IsPowerOfTwo(0));
    EXPECT_FALSE(pf::IsPowerOfTwo(1));
    EXPECT_TRUE(pf::IsPowerOfTwo(2));
    EXPECT_TRUE(pf::IsPowerOfTwo(64));
    EXPECT_FALSE(pf::IsPowerOfTwo(96));
    EXPECT_FALSE(pf::IsPowerOfTwo(-64));
    FakeDisplay pow2(512, true), any(512, false);
    EXPECT_FALSE(pf::FitsInTexture(pow2, 1, 64));
    EXPECT_TRUE(pf::FitsInTexture(pow2, 512, 64));
    EXPECT_FALSE(pf::FitsInTexture(pow2, 1024, 64));
    EXPECT_TRUE(pf::FitsInTexture(any, 1, 511));
    EXPECT_FALSE(pf::FitsInTexture(any, 513, 1));
}

TEST(MemorySurface, InitLockAndLockView) {
    my_intrusive_ptr<pf::MemorySurface> s(new pf::MemorySurface());
    EXPECT_EQ(s->GetWidth(), 0);
    EXPECT_EQ(s->Init(5, 3, 2, PixelFormat::R5G6B5), 10);
    EXPECT_EQ(s->GetFormat(), PixelFormat::R5G6B5);
    const Rect r(1, 2, 3, 1);
    PixelView v = pf::LockView(s.get(), &r, true, true);
    EXPECT_EQ(v.data, s->GetView().data + 2 * 10 + 1 * 2);
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.pitch, 10);
    EXPECT_EQ(v.bytesPerPixel, 2);
    s->Unlock();
    // A rectangle reaching past the buffer is refused, also where x + width overflows.
    for (const Rect& outside : {Rect(4, 2, 2, 1), Rect(1, 0, INT_MAX, 1), Rect(0, 1, 1, INT_MAX)})
        EXPECT_EQ(pf::LockView(s.get(), &outside, true, false).data, nullptr) << outside.x << "," << outside.width;
    // Re-initialising clears the pixels.
    s->GetView().data[0] = 9;
    s->Init(5, 3, 2, PixelFormat::R5G6B5);
    EXPECT_EQ(s->GetView().data[0], 0);
    // A row too long for an int pitch leaves the surface empty, with one log line.
    testkit::LogCapture log;
    EXPECT_EQ(s->Init(1 << 30, 1, 4, PixelFormat::A8R8G8B8), 0);
    EXPECT_EQ(s->GetWidth(), 0);
    EXPECT_EQ(s->GetView().data, nullptr);
    EXPECT_EQ(log.Lines().size(), 1u);
}

// A copy is made whole: of a view with pixels, byte for byte; of a view that has a size
// but no pixels, cleared (never whatever the allocation held).
TEST(MemorySurface, CopyOfAViewIsFilledWhole) {
    uint8_t pixels[6 * 4 * 4];
    for (size_t i = 0; i < sizeof pixels; ++i) pixels[i] = uint8_t(i * 7 + 1);
    PixelView withPixels;
    withPixels.Set(6, 4, 4, 24, PixelFormat::A8R8G8B8, pixels);
    PixelView withoutPixels;
    withoutPixels.Set(6, 4, 4, 24, PixelFormat::A8R8G8B8, nullptr);
    // Under the address sanitizer a new allocation is filled with a non-zero byte, so a
    // byte the copy leaves unwritten shows.
    const pf::MemorySurface copy(withPixels), empty(withoutPixels);
    ASSERT_EQ(copy.GetView().pitch, 24);
    EXPECT_EQ(std::vector<uint8_t>(copy.GetView().data, copy.GetView().data + sizeof pixels),
              std::vector<uint8_t>(pixels, pixels + sizeof pixels));
    ASSERT_EQ(empty.GetView().width, 6);
    ASSERT_NE(empty.GetView().data, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(empty.GetView().data, empty.GetView().data + sizeof pixels),
              std::vector<uint8_t>(sizeof pixels, 0));
}

TEST(ProxySurface, ForwardsOnlyWhenItHasAnInnerSurface) {
    my_intrusive_ptr<pf::ProxySurface> proxy(new pf::ProxySurface(32, 16));
    EXPECT_EQ(proxy->GetFormat(), PixelFormat::A8R8G8B8);
    int pitch = -1;
    uint8_t* bits = reinterpret_cast<uint8_t*>(1);
    proxy->Lock(pf::LockRead, nullptr, pitch, bits);
    EXPECT_EQ(pitch, 0);
    EXPECT_EQ(bits, nullptr);
    proxy->Unlock();
    proxy->Draw(nullptr, nullptr, nullptr);

    my_intrusive_ptr<pf::MemorySurface> inner(new pf::MemorySurface());
    inner->Init(4, 2, 2, PixelFormat::A4R4G4B4);
    proxy->SetSurface(inner.get());
    EXPECT_EQ(proxy->GetWidth(), 4);
    EXPECT_EQ(proxy->GetHeight(), 2);
    EXPECT_EQ(proxy->GetFormat(), PixelFormat::A4R4G4B4);
    EXPECT_EQ(inner->GetRefCount(), 1);  // not counted by the proxy
    EXPECT_EQ(pf::LockView(proxy.get(), nullptr, true, false).data, inner->GetView().data);
    proxy->SetSurface(nullptr);
    EXPECT_EQ(proxy->GetWidth(), 4);
    EXPECT_EQ(pf::LockView(proxy.get(), nullptr, true, false).data, nullptr);
}

TEST(CellSurface, MapsLocksAndDrawsIntoTheSource) {
    FakeDisplay display(512);
    pf::SurfacePtr strip = display.CreateSurface(128, 32, PixelFormat::A8R8G8B8);
    my_intrusive_ptr<pf::CellSurface> cell(new pf::CellSurface(strip, Rect(32, 0, 32, 32)));
    EXPECT_EQ(strip->GetRefCount(), 2);
    EXPECT_EQ(cell->GetWidth(), 32);
    EXPECT_EQ(cell->GetFormat(), PixelFormat::A8R8G8B8);

    const Rect r(4, 4, 8, 8);
    PixelView v = pf::LockView(cell.get(), &r, false, true);
    ASSERT_EQ(display.locks.size(), 1u);
    EXPECT_EQ(display.locks[0].rect, Rect(36, 4, 8, 8));
    EXPECT_EQ(display.locks[0].mode, pf::LockWrite);
    EXPECT_EQ(v.width, 8);
    cell->Unlock();
    pf::LockView(cell.get(), nullptr, true, false);
    EXPECT_EQ(display.locks[1].rect, Rect(32, 0, 32, 32));
    cell->Unlock();

    const Rect dest(100, 50, 32, 32);
    cell->Draw(&display, nullptr, &dest);
    cell->Draw(&display, &r, &dest);
    ASSERT_EQ(display.draws.size(), 2u);
    EXPECT_EQ(display.draws[0].source, Rect(32, 0, 32, 32));
    EXPECT_EQ(display.draws[1].source, Rect(36, 4, 8, 8));
    EXPECT_EQ(display.draws[1].destination, dest);

    // A position whose move into the source would overflow locks and draws nothing.
    display.locks.clear();
    const Rect far(INT_MAX - 8, 0, 4, 4);
    EXPECT_EQ(pf::LockView(cell.get(), &far, true, false).data, nullptr);
    cell->Unlock();
    EXPECT_TRUE(display.locks.empty());
    cell->Draw(&display, &far, &dest);
    EXPECT_EQ(display.draws.size(), 2u);
}

TEST(Tiles, ComputeTileSize) {
    EXPECT_EQ(pf::ComputeTileSize(100, 600, 512, 512, true).width, 64);
    EXPECT_EQ(pf::ComputeTileSize(100, 600, 512, 512, true).height, 512);
    EXPECT_EQ(pf::ComputeTileSize(10, 700, 512, 512, true).width, 64);
    EXPECT_EQ(pf::ComputeTileSize(100, 600, 512, 512, false).width, 100);
    EXPECT_EQ(pf::ComputeTileSize(100, 600, 512, 512, false).height, 512);
}

TEST(Tiles, SplitOrders) {
    struct Case {
        int w, h, max;
        bool pow2;
        std::vector<Rect> expected;
    };
    const Case cases[] = {
        {1000, 300, 512, false, {{0, 0, 512, 300}, {512, 0, 488, 300}}},
        {600, 700, 512, false, {{0, 0, 512, 512}, {512, 0, 88, 512}, {0, 512, 512, 188}, {512, 512, 88, 188}}},
        {2048, 1536, 1024, false,
         {{0, 0, 1024, 1024}, {1024, 0, 1024, 1024}, {1024, 1024, 1024, 512}, {0, 1024, 1024, 512}}},
        {100, 100, 512, true, {{0, 0, 64, 64}, {64, 0, 64, 64}, {0, 64, 64, 64}, {64, 64, 64, 64}}},
        {300, 200, 512, false, {{0, 0, 300, 200}}},
        {-1, 10, 512, false, {}},
    };
    for (const Case& c : cases) {
        pf::TextureCaps caps;
        caps.maxWidth = caps.maxHeight = c.max;
        caps.pow2Only = c.pow2;
        EXPECT_EQ(pf::SplitIntoTiles(0, 0, c.w, c.h, caps), c.expected) << c.w << "x" << c.h;
    }
    pf::TextureCaps none;  // no texture size at all: nothing, rather than endless tiles
    EXPECT_TRUE(pf::SplitIntoTiles(0, 0, 10, 10, none).empty());
}

TEST(Tiles, CollectTilesGivesTextureRectsAndRelativeOrigins) {
    FakeDisplay display(64);
    std::vector<pf::TileRecord> tiles;
    for (const Rect& r : {Rect(0, 0, 64, 64), Rect(64, 0, 36, 64)})
        tiles.push_back({display.CreateSurface(r.width, r.height, PixelFormat::A8R8G8B8),
                         Rect(0, 0, r.width, r.height), r});
    const auto parts = pf::CollectTiles(tiles, Rect(60, 10, 10, 5));
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].textureRect, Rect(60, 10, 4, 5));
    EXPECT_EQ(parts[0].imageRect, Rect(0, 0, 64, 64));
    EXPECT_EQ(parts[1].textureRect, Rect(0, 10, 6, 5));
    EXPECT_EQ(parts[1].imageRect, Rect(4, 0, 36, 64));
    EXPECT_EQ(tiles[0].surface->GetRefCount(), 2);
    EXPECT_TRUE(pf::CollectTiles(tiles, Rect(100, 0, 5, 5)).empty());
    // A query reaching to the end of the int range clips like any other.
    const auto far = pf::CollectTiles(tiles, Rect(70, 60, INT_MAX, INT_MAX));
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(far[0].textureRect, Rect(6, 60, 30, 4));
}

TEST(HugeSurface, BuildFillsEveryTileIncludingEdgeTiles) {
    FakeDisplay display(512, true);
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(image->GetView(), display));
    ASSERT_EQ(huge->GetTiles().size(), 4u);
    EXPECT_TRUE(huge->IsComplete());
    for (int y = 0; y < 100; y += 9)
        for (int x = 0; x < 100; x += 9) {
            const uint8_t* p = TilePixel(*huge, x, y);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[0], x);
            EXPECT_EQ(p[1], y);
        }
    // The part of an edge tile outside the image stays as created.
    const pf::TileRecord& last = huge->GetTiles()[3];
    PixelView v = static_cast<pf::MemorySurface*>(last.surface.get())->GetView();
    EXPECT_EQ(v.data[63 * v.pitch + 63 * 4 + 3], 0);
}

TEST(HugeSurface, TakesTheFormatTheTexturesKeep) {
    // The device keeps A8B8G8R8 images as A8R8G8B8 textures: every tile, the edge tiles
    // included, holds the converted pixels, and locks describe them in that format.
    FakeDisplay display(512, true);
    display.textureFormat = PixelFormat::A8R8G8B8;
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    PixelView abgr = image->GetView();
    abgr.format = PixelFormat::A8B8G8R8;  // r = x, g = y, b = 7
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(abgr, display));
    ASSERT_EQ(huge->GetTiles().size(), 4u);
    EXPECT_EQ(huge->GetFormat(), PixelFormat::A8R8G8B8);
    for (int y = 0; y < 100; y += 9)
        for (int x = 0; x < 100; x += 9) {
            const uint8_t* p = TilePixel(*huge, x, y);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[0], 7) << x << "," << y;
            EXPECT_EQ(p[2], x) << x << "," << y;
        }
    for (const Rect& r : {Rect(70, 70, 10, 10), Rect(60, 60, 10, 10)}) {
        PixelView v = pf::LockView(huge.get(), &r, true, false);
        ASSERT_NE(v.data, nullptr);
        EXPECT_EQ(pf::ReadPixelColor(v.data, v.format), pf::Color(uint8_t(r.x), uint8_t(r.y), 7, 255));
        huge->Unlock();
    }
}

TEST(HugeSurface, LocksWithinOneTileUseThatTile) {
    FakeDisplay display(64);
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(image->GetView(), display));
    display.locks.clear();
    const Rect r(70, 5, 10, 10);
    PixelView v = pf::LockView(huge.get(), &r, true, true);
    ASSERT_NE(v.data, nullptr);
    EXPECT_EQ(v.pitch, 36 * 4);  // the tile's own pitch
    EXPECT_EQ(v.data[0], 70);
    EXPECT_EQ(v.data[1], 5);
    ASSERT_EQ(display.locks.size(), 1u);
    EXPECT_EQ(display.locks[0].rect, Rect(6, 5, 10, 10));
    huge->Unlock();
}

TEST(HugeSurface, LocksAcrossTwoAndFourTilesGatherAndScatter) {
    FakeDisplay display(64);
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(image->GetView(), display));
    for (const Rect& r : {Rect(60, 10, 10, 5), Rect(58, 60, 12, 8)}) {
        PixelView v = pf::LockView(huge.get(), &r, true, true);
        ASSERT_NE(v.data, nullptr);
        EXPECT_EQ(v.pitch, r.width * 4);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x) {
                uint8_t* p = v.data + y * v.pitch + x * 4;
                ASSERT_EQ(p[0], r.x + x);
                ASSERT_EQ(p[1], r.y + y);
                p[2] = 200;  // the write pattern
            }
        huge->Unlock();
        for (int y = r.y - 1; y <= r.y + r.height; ++y)
            for (int x = r.x - 1; x <= r.x + r.width; ++x) {
                const bool inside = r.PointIn(pf::Point(x, y));
                EXPECT_EQ(TilePixel(*huge, x, y)[2], inside ? 200 : 7) << x << "," << y;
            }
    }
}

TEST(HugeSurface, ReadOnlyLockWritesNothingBack) {
    FakeDisplay display(64);
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(image->GetView(), display));
    const Rect r(50, 50, 30, 30);
    PixelView v = pf::LockView(huge.get(), &r, true, false);
    ASSERT_NE(v.data, nullptr);
    v.data[2] = 99;
    display.locks.clear();
    huge->Unlock();
    EXPECT_TRUE(display.locks.empty());
    EXPECT_EQ(TilePixel(*huge, 50, 50)[2], 7);
    // A write-only lock does not read the tiles first, and writes back on unlock.
    display.locks.clear();
    v = pf::LockView(huge.get(), &r, false, true);
    EXPECT_TRUE(display.locks.empty());
    EXPECT_EQ(v.data[0], 0);
    huge->Unlock();
    EXPECT_EQ(display.locks.size(), 4u);
    EXPECT_EQ(TilePixel(*huge, 50, 50)[2], 0);
}

TEST(HugeSurface, RefusesRectanglesReachingPastTheImage) {
    FakeDisplay display(512, true);
    my_intrusive_ptr<pf::MemorySurface> image(Pattern(100, 100));
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(image->GetView(), display));
    // Inside the last tile's texture but past the image; and wholly outside.
    for (const Rect& r : {Rect(70, 70, 50, 50), Rect(-5, 0, 10, 10), Rect(0, 0, 200, 200),
                          Rect(200, 200, 5, 5), Rect(0, 0, 0, 4), Rect(1, 0, INT_MAX, 1)}) {
        int pitch = -1;
        uint8_t* bits = reinterpret_cast<uint8_t*>(1);
        huge->Lock(pf::LockRead | pf::LockWrite, &r, pitch, bits);
        EXPECT_EQ(bits, nullptr);
        EXPECT_EQ(pitch, 0);
        huge->Unlock();
    }
    EXPECT_NE(pf::LockView(huge.get(), nullptr, true, false).data, nullptr);
    huge->Unlock();
}

TEST(HugeSurface, DrawsEveryPartAtOneToOne) {
    FakeDisplay display(512);
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(600, 700, 4, PixelFormat::A8R8G8B8, display));
    ASSERT_EQ(huge->GetTiles().size(), 4u);
    const Rect half(10, 20, 300, 350);
    huge->Draw(&display, nullptr, &half);
    ASSERT_EQ(display.draws.size(), 4u);
    EXPECT_EQ(display.draws[0].destination, Rect(10, 20, 512, 512));
    EXPECT_EQ(display.draws[1].destination, Rect(522, 20, 88, 512));
    EXPECT_EQ(display.draws[2].destination, Rect(10, 532, 512, 188));
    EXPECT_EQ(display.draws[3].destination, Rect(522, 532, 88, 188));
    display.draws.clear();
    const Rect source(500, 500, 20, 20);
    huge->Draw(&display, &source, &half);
    ASSERT_EQ(display.draws.size(), 4u);
    EXPECT_EQ(display.draws[0].source, Rect(500, 500, 12, 12));
    EXPECT_EQ(display.draws[3].source, Rect(0, 0, 8, 8));
    EXPECT_EQ(display.draws[3].destination, Rect(22, 32, 8, 8));
}

TEST(HugeSurface, WithoutEveryTileItHoldsNoneAndRefusesLocks) {
    FakeDisplay display(64);
    display.failAfter = 2;
    my_intrusive_ptr<pf::HugeSurface> huge(new pf::HugeSurface(100, 100, 4, PixelFormat::A8R8G8B8, display));
    EXPECT_FALSE(huge->IsComplete());
    EXPECT_TRUE(huge->GetTiles().empty());
    EXPECT_EQ(pf::LockView(huge.get(), nullptr, true, true).data, nullptr);
    huge->Unlock();
    huge->Draw(&display, nullptr, nullptr);
    EXPECT_TRUE(display.draws.empty());
}

TEST(MemorySurface, DrawsNothing) {
    FakeDisplay display(64);
    my_intrusive_ptr<pf::MemorySurface> s(Pattern(4, 4));
    const Rect d(0, 0, 4, 4);
    s->Draw(&display, nullptr, &d);
    EXPECT_TRUE(display.draws.empty());
}
