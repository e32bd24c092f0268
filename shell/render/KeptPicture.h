// A picture drawn scaled over a cleared target (the display's letterbox: the game's
// frame enlarged onto the screen), kept so that when the same draw comes again over the
// pixels it left, only what its texels changed is drawn again.
//
// The texels are kept as a copy and compared in chunks of 16; the target's columns are
// cut into at most 64 bands (each a multiple of four wide), and a band of a target row
// is drawn again when a texel it reads changed. What was drawn is given as rectangles,
// so that only they need to reach the screen. The pixels are the same as drawing the
// whole picture again, bit for bit (pf::FrameScaler writes each column alike).
#pragma once

#include <cstdint>
#include <vector>

#include "shell/foundation/ValueTypes.h"
#include "shell/render/FrameScaler.h"

namespace pf {

// A picture (width x height texels, rows `pitch` apart) onto target rows y0..y1-1,
// columns x0..x1-1: column k samples u0 + k du, row y samples v[y - y0] (16.16, as
// pf::FrameScaler). Pixels of alpha below alphaMin take `fill`; the others are ORed
// with alphaOr.
struct ScaledDraw {
    const uint32_t* texels = nullptr;
    int width = 0, height = 0, pitch = 0;
    int64_t u0 = 0, du = 0;
    const int64_t* v = nullptr;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    uint32_t alphaMin = 0, alphaOr = 0, fill = 0;
};

class KeptPicture {
public:
    // Pictures larger than this are drawn, not kept (the copy would cost more than it saves).
    static constexpr int kMaxSide = 4096;

    // Draws d onto `pixels` (rows `pitch` pixels apart). `held`: the target holds what the
    // last Draw left there, and d's rows outside the picture hold d.fill (the caller
    // knows nothing else has written it since); then, when d is the same draw, only the
    // bands whose texels changed are drawn. False when the picture cannot be kept (too
    // large, no memory for the copy, or the draw reads less than a quarter of its
    // texels): nothing is drawn, and the next draw is whole.
    bool Draw(const ScaledDraw& d, uint32_t* pixels, int pitch, bool held);

    // What the last Draw wrote: the whole rectangle of the picture, or the rectangles
    // in Written() (none when nothing changed).
    bool WroteWhole() const { return wroteWhole_; }
    const std::vector<Rect>& Written() const { return written_; }

    // The next Draw is whole.
    void Forget() { kept_ = false; }

private:
    bool SameDraw(const ScaledDraw& d) const;
    void Keep(const ScaledDraw& d);
    void DrawWhole(const ScaledDraw& d, uint32_t* pixels, int pitch);
    void DrawChanged(const ScaledDraw& d, uint32_t* pixels, int pitch);
    // Per row of the picture, the bands that read one of its texels that changed (the
    // copy brought up to date).
    void CompareRows(const ScaledDraw& d);
    void AddRects(uint64_t bands, int y, int rows);

    FrameScaler scaler_;
    bool kept_ = false, wroteWhole_ = false;
    ScaledDraw last_;                // the kept draw (its v copied into rowsV_)
    std::vector<int64_t> rowsV_;
    std::vector<uint32_t> copy_;     // its texels, width x height
    int bandWidth_ = 0, bands_ = 0;
    std::vector<uint64_t> chunkBands_;  // per chunk of 16 texels in a row: the bands reading it
    std::vector<uint64_t> rowBands_;    // per picture row: the bands to draw again
    std::vector<Rect> written_;
};

}  // namespace pf
