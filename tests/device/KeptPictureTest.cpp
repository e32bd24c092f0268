// A picture drawn scaled over a cleared back buffer (the display's letterbox) is kept,
// and the frames after it draw and show only what changed. Whatever happens between
// frames, every frame's pixels, and the frame the target shows, are those of a device
// drawing that frame first.
#include <functional>
#include <random>

#include "shell/render/FrameScaler.h"
#include "shell/render/RasterSpans.h"
#include "tests/device/DeviceTestSupport.h"

namespace devtest {
namespace {

constexpr int kW = 230, kH = 120;  // the back buffer
constexpr int kPw = 80, kPh = 48;  // the picture, enlarged 2.5 times between bars

struct Frame {
    std::vector<uint32_t> texels;
    uint32_t clear = 0xFF000000u;
    float x = 15, y = 0, w = 200, h = 120;
    float sw = kPw, sh = kPh;  // the texels shown, from the corner
    std::function<void(Rig&)> after;  // drawn over the picture
};

std::vector<uint32_t> Picture(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> t(size_t(kPw) * kPh);
    for (int y = 0; y < kPh; ++y)
        for (int x = 0; x < kPw; ++x)
            t[size_t(y) * kPw + x] = 0xFF000000u | uint32_t(x * 3) << 16 | uint32_t(y * 5) << 8 | (rng() & 63);
    return t;
}

void Upload(DeviceTexture* tex, const std::vector<uint32_t>& texels) {
    LockedRect lr;
    ASSERT_EQ(tex->LockRect(0, nullptr, 0, lr), DeviceResult::Ok);
    for (int y = 0; y < kPh; ++y)
        std::memcpy(lr.bits + y * lr.pitch, texels.data() + size_t(y) * kPw, size_t(kPw) * 4);
    tex->UnlockRect(0);
}

// The display's frame: a clear, the picture unblended and filtered, transparent texels
// dropped, then whatever comes after.
void Draw(Rig& rig, DeviceTexture* tex, const Frame& f) {
    Upload(tex, f.texels);
    rig.d().Clear(f.clear);
    SetDisplayStates(rig.d(), SampleLinear);
    SetBlend(rig.d(), false);
    rig.d().SetTexture(0, tex);
    ASSERT_EQ(DrawQuad(rig.d(), MakeQuad(f.x, f.y, f.w, f.h, 0, 0, f.sw, f.sh, kPw, kPh)), DeviceResult::Ok);
    rig.d().SetTexture(0, nullptr);
    if (f.after) f.after(rig);
}

// The frame drawn by a device that never drew before.
std::vector<uint32_t> Fresh(const Frame& f) {
    Rig rig(kW, kH, DeviceFormat::X8R8G8B8);
    auto tex = MakeTexture(rig.d(), kPw, kPh, f.texels);
    Draw(rig, tex.get(), f);
    return rig.Pixels();
}

void SetTexel(Frame& f, int x, int y, uint32_t c) { f.texels[size_t(y) * kPw + x] = c; }

struct Step {
    const char* name;
    std::function<void(Frame&, Rig&)> change;  // the frame changed, or the device used between frames
    bool small;                                // only a small part is shown again
    bool present = true;
};

// `quarter`: a quarter of the picture enlarged 4 times, which puts the first texel each
// band of target columns reads last in a chunk of texels compared.
void RunSteps(const std::vector<Step>& steps, const char* paths, bool quarter = false) {
    Rig rig(kW, kH, DeviceFormat::X8R8G8B8);
    auto tex = MakeTexture(rig.d(), kPw, kPh, Picture(1));
    Frame frame;
    frame.texels = Picture(1);
    if (quarter) {
        frame.sw = 50;
        frame.sh = 30;
    }
    for (const Step& s : steps) {
        s.change(frame, rig);
        Draw(rig, tex.get(), frame);
        const std::vector<uint32_t> want = Fresh(frame);
        ASSERT_EQ(rig.Pixels(), want) << paths << ": " << s.name;
        if (!s.present) continue;
        rig.d().EndScene();
        ASSERT_EQ(rig.d().Present(), DeviceResult::Ok) << s.name;
        rig.d().BeginScene();
        ASSERT_EQ(rig.target.Frame(), want) << paths << ": " << s.name << " (as shown)";
        if (s.small) {
            EXPECT_LT(rig.target.LastCopied(), size_t(kW) * kH / 8) << paths << ": " << s.name;
        }
    }
}

TEST(KeptPicture, EveryFrameIsDrawnAndShownAsAFreshDeviceDrawsIt) {
    const auto transparent = [](Frame& f, int x, int y) { SetTexel(f, x, y, 0x00FF00FFu); };
    const std::vector<Step> steps = {
        {"the first frame", [](Frame&, Rig&) {}, false},
        {"nothing changed", [](Frame&, Rig&) {}, true},
        {"one texel in the middle", [](Frame& f, Rig&) { SetTexel(f, 40, 20, 0xFFFFFFFFu); }, true},
        {"the first texel", [](Frame& f, Rig&) { SetTexel(f, 0, 0, 0xFF00FF00u); }, true},
        {"the last texel", [](Frame& f, Rig&) { SetTexel(f, kPw - 1, kPh - 1, 0xFF0000FFu); }, true},
        {"texels read only by the first column of a band of target columns",
         [](Frame& f, Rig&) {
             for (int x : {15, 31, 47}) SetTexel(f, x, 12, 0xFFC0C0C0u);
         },
         true},
        {"texels read only by the last column of a band",
         [](Frame& f, Rig&) {
             for (int x : {16, 32, 48}) SetTexel(f, x, 14, 0xFF303030u);
         },
         true},
        {"texels on the right edge and the last row",
         [](Frame& f, Rig&) {
             SetTexel(f, kPw - 1, 17, 0xFF112233u);
             SetTexel(f, 33, kPh - 1, 0xFF445566u);
         },
         true},
        {"a block across bands",
         [](Frame& f, Rig&) {
             for (int y = 10; y < 16; ++y)
                 for (int x = 20; x < 60; ++x) SetTexel(f, x, y, 0xFF808000u + uint32_t(x));
         },
         false},
        {"a whole row", [](Frame& f, Rig&) { for (int x = 0; x < kPw; ++x) SetTexel(f, x, 30, 0xFF0A0B0Cu); }, false},
        {"texels made transparent: the clear shows there",
         [&](Frame& f, Rig&) {
             transparent(f, 5, 5);
             transparent(f, 6, 5);
         },
         true},
        {"every texel", [](Frame& f, Rig&) { f.texels = Picture(2); }, false},
        {"the clear's colour", [](Frame& f, Rig&) { f.clear = 0xFF203040u; }, false},
        {"the picture moved", [](Frame& f, Rig&) { f.x = 14; }, false},
        {"something drawn over the picture",
         [](Frame& f, Rig&) {
             f.after = [](Rig& r) {
                 SetDiffuseOnly(r.d());
                 const DeviceVertex v[4] = {{50, 50, 0, 0xFFFF0000u, 0, 0}, {70, 50, 0, 0xFFFF0000u, 0, 0},
                                            {50, 60, 0, 0xFFFF0000u, 0, 0}, {70, 60, 0, 0xFFFF0000u, 0, 0}};
                 ASSERT_EQ(r.d().DrawPrimitiveUP(PrimitiveKind::TriangleStrip, 2, v), DeviceResult::Ok);
             };
         },
         false},
        {"and gone the frame after", [](Frame& f, Rig&) { f.after = nullptr; }, false},
        {"a quiet frame again", [](Frame&, Rig&) {}, true},
        {"the back buffer written through a lock between frames",
         [](Frame&, Rig& r) {
             LockedRect lr;
             ASSERT_EQ(r.d().GetBackBuffer()->LockRect(nullptr, 0, lr), DeviceResult::Ok);
             for (int y = 0; y < kH; ++y) std::memset(lr.bits + y * lr.pitch, 0x5A, size_t(kW) * 4);
             r.d().GetBackBuffer()->UnlockRect();
         },
         false},
        {"two clears before the picture", [](Frame&, Rig& r) { r.d().Clear(0xFF0000FFu); }, false},
        {"a frame drawn and not shown", [](Frame& f, Rig&) { SetTexel(f, 70, 40, 0xFFABCDEFu); }, false, false},
        {"the one after it shown", [](Frame& f, Rig&) { SetTexel(f, 10, 10, 0xFFFEDCBAu); }, false},
        {"quiet once more", [](Frame&, Rig&) {}, true},
    };
    RunSteps(steps, "wide vectors");
    RunSteps(steps, "wide vectors, a quarter enlarged 4 times", true);
    const bool wide = WideVectorSpans();
    UseWideVectorSpans(false);
    RunSteps(steps, "narrow vectors");
    UseWideVectorSpans(wide);
}

// Frames of a few random changes each (a scene at rest with something moving).
TEST(KeptPicture, RandomChangesMatchAFreshDevice) {
    std::mt19937 rng(77);
    std::vector<Step> steps = {{"the first frame", [](Frame&, Rig&) {}, false}};
    for (int i = 0; i < 40; ++i) {
        const unsigned seed = rng();
        steps.push_back({"random changes", [seed](Frame& f, Rig&) {
                             std::mt19937 r(seed);
                             for (int n = int(r() % 4); n > 0; --n) {
                                 const int w = 1 + int(r() % 9), h = 1 + int(r() % 5);
                                 const int x0 = int(r() % unsigned(kPw - w + 1)), y0 = int(r() % unsigned(kPh - h + 1));
                                 const uint32_t c = r() % 5 == 0 ? (r() & 0x00FFFFFFu) : (r() | 0xFF000000u);
                                 for (int y = y0; y < y0 + h; ++y)
                                     for (int x = x0; x < x0 + w; ++x) SetTexel(f, x, y, c);
                             }
                         },
                         false, rng() % 7 != 0});
    }
    RunSteps(steps, "random");
}

// A part of a row written by the scaler is the whole row's, and nothing else is written.
TEST(KeptPicture, PartOfARowIsTheWholeRowsColumns) {
    std::vector<uint32_t> src = Picture(3);
    for (bool wide : {true, false}) {
        const bool was = WideVectorSpans();
        UseWideVectorSpans(wide);
        for (const auto& range : {std::pair{0, 200}, std::pair{64, 128}, std::pair{4, 9}, std::pair{3, 150},
                                  std::pair{196, 200}, std::pair{128, 131}}) {
            FrameScaler whole, part;
            whole.SetColumns(-20000, 26214, 200, kPw);
            part.SetColumns(-20000, 26214, 200, kPw);
            std::vector<uint32_t> all(200, 0), some(200, 0xDEADBEEFu);
            whole.Row(src.data(), kPw, kPh, 5 << 16 | 0x4000, all.data());
            part.Row(src.data(), kPw, kPh, 5 << 16 | 0x4000, some.data(), 0, 0, nullptr, range.first, range.second);
            for (int k = 0; k < 200; ++k) {
                const bool inside = k >= range.first && k < range.second;
                ASSERT_EQ(some[size_t(k)], inside ? all[size_t(k)] : 0xDEADBEEFu)
                    << "column " << k << " of " << range.first << ".." << range.second << (wide ? " wide" : " narrow");
            }
        }
        UseWideVectorSpans(was);
    }
}

}  // namespace
}  // namespace devtest
