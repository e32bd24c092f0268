// Pixel formats, views, the block copy and the converters.
#include <gtest/gtest.h>

#include <vector>

#include "shell/pixels/PixelView.h"

using pf::PixelFormat;
using pf::PixelView;

namespace {

PixelView View(std::vector<uint8_t>& bytes, int w, int h, PixelFormat f, int pitch = 0) {
    const int bpp = pf::BytesPerPixel(f);
    PixelView v;
    return v.Set(w, h, bpp, pitch ? pitch : w * bpp, f, bytes.data());
}

std::vector<uint8_t> ConvertOne(std::vector<uint8_t> src, PixelFormat from, PixelFormat to) {
    std::vector<uint8_t> dst(size_t(pf::BytesPerPixel(to)), 0xEE);
    PixelView s = View(src, 1, 1, from), d = View(dst, 1, 1, to);
    pf::ConvertView(s, d);
    return dst;
}

std::vector<uint8_t> Word(uint16_t w) { return {uint8_t(w), uint8_t(w >> 8)}; }

}  // namespace

TEST(PixelFormat, BytesPerPixel) {
    const int expected[] = {4, 1, 4, 4, 4, 3, 4, 2, 2, 2, 2, 2, 4};
    for (int id = 0; id <= 12; ++id)
        EXPECT_EQ(pf::BytesPerPixel(PixelFormat(id)), expected[id]) << "format " << id;
    EXPECT_EQ(pf::BytesPerPixel(PixelFormat(-1)), 4);
}

TEST(ConvertView, PairsFromTheFormatTable) {
    struct Case {
        std::vector<uint8_t> src;
        PixelFormat from, to;
        std::vector<uint8_t> expected;
    };
    const std::vector<uint8_t> red128 = {0x00, 0x00, 0xFF, 0x80};  // A8R8G8B8 red, alpha 128
    const Case cases[] = {
        {red128, PixelFormat::A8R8G8B8, PixelFormat::A8B8G8R8, {0xFF, 0x00, 0x00, 0x80}},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::R5G6B5, Word(0xF800)},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::A1R5G5B5, Word(0xFC00)},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::R5G5B5A1, Word(0xF801)},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::A4R4G4B4, Word(0x8F00)},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::R4G4B4A4, Word(0xF008)},
        {red128, PixelFormat::A8R8G8B8, PixelFormat::B8G8R8, {0xFF, 0x00, 0x00}},
        {Word(0xFFFF), PixelFormat::R5G6B5, PixelFormat::A8R8G8B8, {0xF8, 0xFC, 0xF8, 0xFF}},
        {Word(0x8000), PixelFormat::A1R5G5B5, PixelFormat::A8B8G8R8, {0, 0, 0, 0xFF}},
        {Word(0x7FFF), PixelFormat::A1R5G5B5, PixelFormat::A8B8G8R8, {0xF8, 0xF8, 0xF8, 0}},
        {Word(0x0001), PixelFormat::R5G5B5A1, PixelFormat::A8B8G8R8, {0, 0, 0, 0xFF}},
        {Word(0xFFFF), PixelFormat::A4R4G4B4, PixelFormat::A8B8G8R8, {0xF0, 0xF0, 0xF0, 0xF0}},
        {Word(0x1234), PixelFormat::R4G4B4A4, PixelFormat::A8B8G8R8, {0x10, 0x20, 0x30, 0x40}},
        {{0x80}, PixelFormat::L8, PixelFormat::A1R5G5B5, Word(0xC210)},
        {{0x80}, PixelFormat::L8, PixelFormat::A8R8G8B8, {0x80, 0x80, 0x80, 0x80}},
        {{0x37}, PixelFormat::A8, PixelFormat::B8G8R8, {0xFF, 0xFF, 0xFF}},
        {{0x37}, PixelFormat::A8, PixelFormat::R5G6B5, Word(0xFFFF)},
        {{0x37}, PixelFormat::A8, PixelFormat::A8R8G8B8, {0xFF, 0xFF, 0xFF, 0x37}},
        {{1, 2, 3}, PixelFormat::B8G8R8, PixelFormat::A8R8G8B8, {3, 2, 1, 0xFF}},
        // Unsupported sources and destinations leave the destination as it was.
        {{1, 2, 3, 4}, PixelFormat::X8R8G8B8, PixelFormat::A8R8G8B8, {0xEE, 0xEE, 0xEE, 0xEE}},
        {{1, 2, 3, 4}, PixelFormat::Default, PixelFormat::A8R8G8B8, {0xEE, 0xEE, 0xEE, 0xEE}},
        {{1, 2, 3, 4}, PixelFormat::A8R8G8B8, PixelFormat::X8R8G8B8, {0xEE, 0xEE, 0xEE, 0xEE}},
        {{1, 2, 3, 4}, PixelFormat::A8R8G8B8, PixelFormat::A8, {0xEE}},
        {{1, 2, 3, 4}, PixelFormat::A8R8G8B8, PixelFormat::L8, {0xEE, 0xEE, 0xEE, 0xEE}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConvertOne(c.src, c.from, c.to), c.expected)
            << int(c.from) << " -> " << int(c.to);
}

TEST(ConvertView, RoundTripsThroughEveryFormatKeepTheTopBits) {
    // Each destination keeps a fixed number of top bits; converting back and forth again
    // must not lose anything more.
    const PixelFormat formats[] = {PixelFormat::A8R8G8B8, PixelFormat::A8B8G8R8, PixelFormat::B8G8R8,
                                   PixelFormat::R5G6B5,   PixelFormat::A4R4G4B4, PixelFormat::R4G4B4A4,
                                   PixelFormat::A1R5G5B5, PixelFormat::R5G5B5A1};
    std::vector<uint8_t> src(256 * 4);
    for (int i = 0; i < 256; ++i) {
        src[size_t(i) * 4 + 0] = uint8_t(i);
        src[size_t(i) * 4 + 1] = uint8_t(255 - i);
        src[size_t(i) * 4 + 2] = uint8_t(i * 7);
        src[size_t(i) * 4 + 3] = uint8_t(i * 13);
    }
    PixelView s = View(src, 16, 16, PixelFormat::A8R8G8B8);
    for (PixelFormat f : formats) {
        std::vector<uint8_t> mid(256 * 4), back1(256 * 4), mid2(256 * 4), back2(256 * 4);
        PixelView m = View(mid, 16, 16, f), b1 = View(back1, 16, 16, PixelFormat::A8R8G8B8);
        PixelView m2 = View(mid2, 16, 16, f), b2 = View(back2, 16, 16, PixelFormat::A8R8G8B8);
        pf::ConvertView(s, m);
        pf::ConvertView(m, b1);
        pf::ConvertView(b1, m2);
        pf::ConvertView(m2, b2);
        EXPECT_EQ(mid, mid2) << "format " << int(f);
        EXPECT_EQ(back1, back2) << "format " << int(f);
        if (f == PixelFormat::A8R8G8B8 || f == PixelFormat::A8B8G8R8) {
            EXPECT_EQ(back1, src);
        }
    }
}

TEST(ConvertView, SizeMismatchOrMissingDataChangesNothing) {
    std::vector<uint8_t> src(3 * 2 * 4, 0x11), dst(3 * 3 * 4, 0xEE);
    PixelView s = View(src, 3, 2, PixelFormat::A8R8G8B8), d = View(dst, 3, 3, PixelFormat::A8B8G8R8);
    pf::ConvertView(s, d);
    EXPECT_EQ(dst, std::vector<uint8_t>(36, 0xEE));
    PixelView none = d;
    none.data = nullptr;
    pf::ConvertView(s, none);  // a refused lock: must not crash
    pf::CopyView(s, none);
}

TEST(ConvertView, StepsByEachViewsOwnPitchAndPixelSize) {
    // An L8 source whose pixels are 3 bytes apart and rows 10 bytes apart.
    std::vector<uint8_t> src(20, 0);
    src[0] = 10, src[3] = 20, src[10] = 30, src[13] = 40;
    std::vector<uint8_t> dst(2 * 2 * 3);
    PixelView s;
    s.Set(2, 2, 3, 10, PixelFormat::L8, src.data());
    PixelView d = View(dst, 2, 2, PixelFormat::B8G8R8);
    pf::ConvertView(s, d);
    EXPECT_EQ(dst, (std::vector<uint8_t>{10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40}));
}

TEST(CopyView, UnequalPitchesCopyRowByRowAndLeaveThePaddingAlone) {
    std::vector<uint8_t> src(3 * 2 * 4);
    for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i + 1);
    std::vector<uint8_t> dst(2 * 20, 0xEE);
    PixelView s = View(src, 3, 2, PixelFormat::A8R8G8B8);
    PixelView d = View(dst, 3, 2, PixelFormat::A8R8G8B8, 20);
    pf::CopyView(s, d);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint8_t expected = x < 12 ? uint8_t(y * 12 + x + 1) : 0xEE;
            EXPECT_EQ(dst[size_t(y * 20 + x)], expected) << "row " << y << " byte " << x;
        }
    // And back into a packed view.
    std::vector<uint8_t> again(src.size(), 0);
    PixelView a = View(again, 3, 2, PixelFormat::A8R8G8B8);
    pf::CopyView(d, a);
    EXPECT_EQ(again, src);
}

TEST(CopyView, FormatsMustMatchButAnyFormatCopies) {
    std::vector<uint8_t> src = {1, 2, 3, 4}, dst(4, 0);
    PixelView s = View(src, 1, 1, PixelFormat::X8R8G8B8), d = View(dst, 1, 1, PixelFormat::X8R8G8B8);
    pf::CopyView(s, d);
    EXPECT_EQ(dst, src);
    std::vector<uint8_t> other(4, 0);
    PixelView o = View(other, 1, 1, PixelFormat::A8R8G8B8);
    pf::CopyView(s, o);
    EXPECT_EQ(other, std::vector<uint8_t>(4, 0));
}

TEST(CopyView, NeverWritesPastASmallerDestination) {
    std::vector<uint8_t> src(4 * 4 * 4, 0x55), dst(2 * 2 * 4 + 4, 0xEE);
    PixelView s = View(src, 4, 4, PixelFormat::A8R8G8B8), d = View(dst, 2, 2, PixelFormat::A8R8G8B8);
    pf::CopyView(s, d);
    EXPECT_EQ(dst[15], 0x55);
    EXPECT_EQ(dst[16], 0xEE);
}

TEST(SubView, PointsInsideTheSource) {
    std::vector<uint8_t> bytes(10 * 8 * 2);
    PixelView v = View(bytes, 10, 8, PixelFormat::R5G6B5);
    PixelView sub = pf::SubView(v, 3, 2, 4, 5);
    EXPECT_EQ(sub.data, bytes.data() + 2 * 20 + 3 * 2);
    EXPECT_EQ(sub.width, 4);
    EXPECT_EQ(sub.height, 5);
    EXPECT_EQ(sub.pitch, 20);
    EXPECT_EQ(sub.format, PixelFormat::R5G6B5);
}

TEST(ReadPixelColor, ReadsEveryFormatAsRgba) {
    const uint8_t argb[] = {0x30, 0x20, 0x10, 0x40};
    EXPECT_EQ(pf::ReadPixelColor(argb, PixelFormat::A8R8G8B8), pf::Color(0x10, 0x20, 0x30, 0x40));
    EXPECT_EQ(pf::ReadPixelColor(argb, PixelFormat::A8B8G8R8), pf::Color(0x30, 0x20, 0x10, 0x40));
    const uint8_t a4[] = {0xFF, 0xFF};
    EXPECT_EQ(pf::ReadPixelColor(a4, PixelFormat::A4R4G4B4), pf::Color(240, 240, 240, 240));
    const uint8_t a8[] = {0x7F};
    EXPECT_EQ(pf::ReadPixelColor(a8, PixelFormat::A8), pf::Color(255, 255, 255, 0x7F));
    EXPECT_EQ(pf::ReadPixelColor(argb, PixelFormat::X8R8G8B8), pf::Color(0, 0, 0, 0));
}

TEST(FillAlpha, SetsOnlyTheAlphaBits) {
    struct Case {
        PixelFormat format;
        std::vector<uint8_t> before;
        int alpha;
        std::vector<uint8_t> after;
    };
    const Case cases[] = {
        {PixelFormat::A8R8G8B8, {1, 2, 3, 4}, 200, {1, 2, 3, 200}},
        {PixelFormat::A8B8G8R8, {1, 2, 3, 4}, 0, {1, 2, 3, 0}},
        {PixelFormat::A1R5G5B5, Word(0xBA98), 0, Word(0x3A98)},
        {PixelFormat::A1R5G5B5, Word(0x3A98), 255, Word(0xBA98)},
        {PixelFormat::R5G5B5A1, Word(0xBA98), 255, Word(0xBA99)},
        {PixelFormat::A4R4G4B4, Word(0x1234), 255, Word(0xF234)},
        {PixelFormat::R4G4B4A4, Word(0x1234), 0, Word(0x1230)},
        {PixelFormat::R5G6B5, Word(0xBA98), 0, Word(0xBA98)},
        {PixelFormat::B8G8R8, {1, 2, 3}, 0, {1, 2, 3}},
        {PixelFormat::X8R8G8B8, {1, 2, 3, 4}, 0, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = c.before;
        PixelView v = View(bytes, 1, 1, c.format);
        pf::FillAlpha(v, c.alpha);
        EXPECT_EQ(bytes, c.after) << "format " << int(c.format);
    }
}
