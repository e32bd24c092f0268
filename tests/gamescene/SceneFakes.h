// A display whose surfaces live in memory and which records its draw calls, and anims and
// items over it for the game scene tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "common/NullDisplay.h"
#include "scene/Item.h"
#include "scene/ResAnim.h"
#include "shell/pixels/MemorySurface.h"

namespace gamescenetest {

struct DrawCall {
    std::vector<pf::DisplayVertex> vertices;
    int triangles = 0;
    pf::Surface* texture = nullptr;
};

class MemoryDisplay : public testkit::NullDisplay {
public:
    std::vector<DrawCall> draws;
    bool failCreation = false;

    my_intrusive_ptr<pf::Surface> CreateSurface(int w, int h, pf::PixelFormat) override {
        if (failCreation) return nullptr;
        return my_intrusive_ptr<pf::Surface>(new pf::MemorySurface(w, h));
    }
    void DrawTriangles(const pf::DisplayVertex* v, int count, int n, pf::Surface* texture) override {
        draws.push_back(DrawCall{std::vector<pf::DisplayVertex>(v, v + count), n, texture});
    }
};

// A w x h A8R8G8B8 surface whose pixel (x, y) is f(x, y) as 0xAARRGGBB.
template <typename F>
my_intrusive_ptr<pf::MemorySurface> Picture(int w, int h, F f) {
    my_intrusive_ptr<pf::MemorySurface> s(new pf::MemorySurface(w, h));
    pf::PixelView v = s->GetView();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = f(x, y);
            uint8_t* p = v.data + y * v.pitch + x * 4;
            p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16), p[3] = uint8_t(c >> 24);
        }
    return s;
}

inline my_intrusive_ptr<pf::MemorySurface> Solid(int w, int h, uint32_t argb) {
    return Picture(w, h, [argb](int, int) { return argb; });
}

// The pixel as 0xAARRGGBB.
inline uint32_t PixelAt(pf::Surface& s, int x, int y) {
    auto* m = dynamic_cast<pf::MemorySurface*>(&s);
    if (!m) return 0;
    const pf::PixelView v = m->GetView();
    const uint8_t* p = v.data + y * v.pitch + x * 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// An anim of columns x rows cels over the surface.
inline my_intrusive_ptr<ResAnim> AnimOf(pf::Surface* surface, int columns = 1, int rows = 1) {
    my_intrusive_ptr<ResAnim> anim(new ResAnim);
    testkit::NullDisplay display;
    anim->SetSurface(&display, pf::SurfacePtr(surface), columns, rows);
    return anim;
}

// Items on a clock of the test's own.
template <typename T>
class Clocked : public T {
public:
    int ticks = 0;
    int GetTicks() const override { return ticks; }
};

}  // namespace gamescenetest
