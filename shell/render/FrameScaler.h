// Bilinear scaling of 32-bit pixels (0xAARRGGBB) by tables worked out once for a size:
// for each target column the pair of source columns it falls between and its weight,
// so that each target row costs one pass over the two source rows it falls between and
// one over its own pixels. Used by the rasteriser for unrotated, unblended quads filtered
// bilinearly (a picture drawn scaled onto the whole screen); a finished frame shown in a
// window of another size goes through the cheaper pf::PresentScaler.
//
// Positions are 16.16 texels measured from the corner of texel 0 (a texel's centre
// lies at +0.5 minus the half texel the bilinear filter moves by, so whole numbers are
// texel centres), clamped to the picture's edges. The pixels are those of the
// rasteriser's bilinear fetch at the same positions, bit for bit: 8-bit weights, each
// channel the floor of the weighted sum over 256.
#pragma once

#include <cstdint>
#include <vector>

namespace pf {

class FrameScaler {
public:
    // Target columns k = 0..count-1 sample the source (width texels wide) at u0 + k x du.
    void SetColumns(int64_t u0, int64_t du, int count, int width);

    // One target row sampling the source rows at v (16.16; height rows, pitch pixels
    // apart) along the columns set. A pixel whose alpha is below alphaMin is left as
    // it was (or, with `fill`, takes *fill: a target not yet written); the others are
    // written ORed with alphaOr. Only columns kBegin..kEnd-1 are written (kEnd -1: to
    // the last; kBegin a multiple of four), each as the whole row writes it.
    void Row(const uint32_t* src, int pitch, int height, int64_t v, uint32_t* dst, uint32_t alphaMin = 0,
             uint32_t alphaOr = 0, const uint32_t* fill = nullptr, int kBegin = 0, int kEnd = -1);

    // The source texels columns kBegin..kEnd-1 read: [from, to).
    void SourceColumns(int kBegin, int kEnd, int& from, int& to) const;

    // Row keeps what it worked out for the last two source rows it read, by their
    // addresses: call this before rows of a picture that may have changed since.
    void ForgetRows() { pairRows_[0] = pairRows_[1] = nullptr; pairsFrom_ = pairsTo_ = 0; }

    // The whole source picture onto the whole target, pixel centres onto pixel centres
    // (the columns and rows kept from the last call of the same sizes).
    void Scale(const uint32_t* src, int width, int height, int pitch, uint32_t* dst, int targetWidth,
               int targetHeight, int targetPitch);

    // Where target pixel i of `to` samples a source of `from` pixels when pixel centres
    // are mapped onto pixel centres, 16.16 as above.
    static int64_t CentredPosition(int i, int from, int to);

private:
    template <typename Position>
    void BuildColumns(int count, int width, Position position);

    int count_ = 0, width_ = 0;
    int first_ = 0, entries_ = 0;      // the source column pairs the columns use
    std::vector<int32_t> entry_;       // per column: its pair, counted from first_
    std::vector<uint16_t> fx_;         // per column: its weight, four times (one per channel)
    // Per pair of the row in hand, four 16-bit channels each: the top texel weighted with
    // the bottom one, and the differences across the pair (see Row).
    std::vector<uint16_t> sum_, across_, twist_;
    // Per pair of the two source rows last read (pairRows_): the top texel times 256 and
    // the step down to the bottom one, four channels each; the sum is made of them.
    std::vector<uint16_t> top_, down_;
    const uint32_t* pairRows_[2] = {nullptr, nullptr};
    int pairsFrom_ = 0, pairsTo_ = 0;  // the pairs (counted from first_) worked out for them
    // Per four columns: the first of at most four consecutive pairs they use, or -1 when
    // they use pairs further apart; and where each column's pair lies among those four
    // (two 32-bit lanes per column).
    std::vector<int32_t> window_, lanes_;
    bool stepped_ = false;  // the columns are SetColumns' of these:
    int64_t steppedU0_ = 0, steppedDu_ = 0;
    int scaledTo_ = 0, scaledHeight_ = 0;  // the sizes Scale's columns and rows were made for
    std::vector<int64_t> rows_;
};

}  // namespace pf
