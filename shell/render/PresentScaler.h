// Bilinear scaling of a finished frame (32-bit pixels 0xAARRGGBB) onto a window of
// another size, at little more than the cost of writing the window's pixels. Separable:
// each source row the window needs is widened once into a row of the window's width,
// and each window row is the blend of the two widened rows around it. Weights are in
// 128ths and each pass rounds to the nearest level, so a pixel lies within two levels of
// the exact bilinear value (the rasteriser's bit-exact filter is pf::FrameScaler).
//
// Pixel centres map onto pixel centres as pf::FrameScaler::Scale maps them, texels
// outside the picture clamped to its edges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pf {

class PresentScaler {
public:
    // The whole source picture (width x height, rows `pitch` pixels apart) onto the whole
    // target (targetWidth x targetHeight, rows targetPitch apart). Tables are kept while
    // the sizes stay.
    void Scale(const uint32_t* src, int width, int height, int pitch, uint32_t* dst, int targetWidth,
               int targetHeight, int targetPitch);

    // The two texels (clamped to 0..size-1) either side of a 16.16 position and the
    // second one's weight in 128ths (0..127: a position within half a 128th of the next
    // texel takes that texel alone).
    struct Tap {
        int first, second, weight;
    };
    static Tap TapAt(int64_t position, int size);

    // How the vector pass widens eight target columns: their two columns' places in a
    // window of eight source pixels, and the byte weights (128 - w, w) per channel.
    struct Pattern {
        int32_t left[8], right[8];
        int8_t bytes[64];
    };

private:
    void BuildColumns(int width, int targetWidth);
    void BuildRows(int height, int targetHeight);
    // One source row widened.
    void WidenRow(const uint32_t* src, uint32_t* out) const;

    int width_ = 0, targetWidth_ = 0, height_ = 0, targetHeight_ = 0;
    // Per target column: its two source columns (clamped; a column on a texel takes it
    // twice) and the second one's weight.
    std::vector<int32_t> left_, right_;
    std::vector<uint8_t> weight_;
    // Eight target columns at a time, for the vector pass (group g starts at column 8 g,
    // the last one at targetWidth - 8, overlapping the one before): the first column of
    // the window of eight source pixels they read and their pattern; groups at the same
    // phase of the scale share one. Groups whose columns do not fit in eight source
    // pixels are done one pixel at a time.
    std::vector<int32_t> base_;     // per group: the first source column of its window
    std::vector<int32_t> pattern_;  // per group: its pattern's byte offset in patterns_
    std::vector<uint8_t> vector_;   // per group: whether it fits in its window
    bool allVector_ = false;
    std::vector<Pattern> patterns_;
    // Per target row: the two source rows and the second one's weight.
    std::vector<int32_t> top_, bottom_;
    std::vector<uint8_t> rowWeight_;
    // Room for three widened rows: the two a target row blends and the one widened
    // meanwhile for the rows after it.
    std::vector<uint32_t> widenedStore_;
};

}  // namespace pf
