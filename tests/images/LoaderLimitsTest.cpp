// Hostile image files: what the loader refuses before spending memory or time on them,
// and saves that fail part way.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/TestSupport.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/codecs/ImageCodec.h"
#include "shell/codecs/Jpeg2000Codec.h"

using pf::PixelFormat;

namespace {

const std::string kFixtures = std::string(RUV3_SOURCE_DIR) + "/tests/images/fixtures/";

std::string Fixture(const std::string& name) { return testkit::ReadFile(kFixtures + name); }

bool Load(pf::ImageLoader& loader, pf::MemorySurface& out, const std::string& bytes) {
    return loader.Load(out, bytes.data(), int(bytes.size()), PixelFormat::A8B8G8R8);
}

// Both replace four bytes that are there already (the string's size is unchanged).
void PutBE32(std::string& s, size_t at, uint32_t v) {
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    s.replace(at, 4, bytes, 4);
}

void PutLE32(std::string& s, size_t at, uint32_t v) {
    const char bytes[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    s.replace(at, 4, bytes, 4);
}

size_t CountScans(const std::string& jpeg) {
    size_t n = 0;
    for (size_t at = jpeg.find("\xFF\xDA"); at != std::string::npos; at = jpeg.find("\xFF\xDA", at + 2)) ++n;
    return n;
}

// The progressive fixture with its last scan repeated until it holds `scans` scans.
std::string JpegWithScans(size_t scans) {
    const std::string base = Fixture("progressive.jpg");
    const size_t last = base.rfind("\xFF\xDA"), end = base.rfind("\xFF\xD9");
    const std::string scan = base.substr(last, end - last);
    std::string out = base.substr(0, end);
    for (size_t n = CountScans(base); n < scans; ++n) out += scan;
    return out + base.substr(end);
}

}  // namespace

TEST(LoaderLimits, JpegWithTooManyScansIsRefusedWithOneLine) {
    pf::ImageLoaderDX loader;
    ASSERT_GT(CountScans(Fixture("progressive.jpg")), 2u);
    pf::MemorySurface out;
    {
        testkit::LogCapture log;
        const std::string most = JpegWithScans(pf::kMaxJpegScans);
        ASSERT_EQ(CountScans(most), size_t(pf::kMaxJpegScans));
        EXPECT_TRUE(Load(loader, out, most)) << log.Text();
        EXPECT_EQ(out.GetWidth(), 7);
    }
    testkit::LogCapture log;
    pf::MemorySurface refused;
    EXPECT_FALSE(Load(loader, refused, JpegWithScans(pf::kMaxJpegScans + 1)));
    EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    EXPECT_TRUE(log.Contains("more than 500 scans")) << log.Text();
    EXPECT_EQ(refused.GetWidth(), 0);
}

TEST(LoaderLimits, Jpeg2000HeaderIsCheckedBeforeDecoding) {
    const std::string j2k = Fixture("grey.j2k"), jp2 = Fixture("rgba.jp2");
    ASSERT_NE(jp2.find("jp2c"), std::string::npos);
    const size_t inJp2 = jp2.find("jp2c") + 4;  // the codestream in the JP2 file
    // Offsets of the SIZ fields from the start of a codestream.
    constexpr size_t kWidth = 8, kHeight = 12, kTileW = 24, kTileH = 28, kComponents = 40, kLength = 4;
    struct Edit {
        size_t at;
        uint32_t value;
    };
    struct Case {
        const char* name;
        std::vector<Edit> edits;  // 32-bit big-endian values from the codestream start
        const char* logged;       // null: accepted
    };
    const Case cases[] = {
        {"as made", {}, nullptr},
        {"one tile a pixel", {{kTileW, 1}, {kTileH, 1}}, nullptr},
        {"40000 tiles", {{kWidth, 200}, {kHeight, 200}, {kTileW, 1}, {kTileH, 1}}, "refusing an image of 40000 tiles"},
        {"65536 x 65536 tiles", {{kWidth, 65536}, {kHeight, 65536}, {kTileW, 1}, {kTileH, 1}}, "65536x65536 pixels"},
        {"huge image in one tile", {{kWidth, 40000}, {kHeight, 40000}, {kTileW, 40000}, {kTileH, 40000}},
         "refusing an image of 40000x40000"},
        {"tile size 0", {{kTileW, 0}}, "the header is malformed"},
    };
    for (const Case& c : cases) {
        for (const std::string* file : {&j2k, &jp2}) {
            const size_t start = file == &j2k ? 0 : inJp2;
            SCOPED_TRACE(std::string(c.name) + (file == &j2k ? " in J2K" : " in JP2"));
            std::string bytes = *file;
            for (const Edit& e : c.edits) PutBE32(bytes, start + e.at, e.value);
            testkit::LogCapture log;
            EXPECT_EQ(pf::CheckJpeg2000Header(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                      c.logged == nullptr);
            if (c.logged) {
                EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
                EXPECT_TRUE(log.Contains(c.logged)) << log.Text();
            } else {
                EXPECT_EQ(log.Text(), "");
            }
        }
    }
    // Component counts other than 1 to 4, sub-sampled components, short files, JP2 files
    // without a codestream.
    std::string five = j2k;
    five[kComponents + 1] = 5;
    std::string lengthLies = j2k;
    lengthLies[kLength + 1] = char(lengthLies[kLength + 1] + 3);
    std::string subsampled = j2k;
    subsampled[42 + 1] = 2;
    std::string noCodestream = jp2;
    noCodestream.replace(inJp2 - 4, 4, "junk");
    std::string boxPastEnd = jp2;
    PutBE32(boxPastEnd, 0x0C, 0x7FFFFFF0);  // the box after the signature
    for (const std::string& bad : {five, lengthLies, subsampled, noCodestream, boxPastEnd, j2k.substr(0, 40),
                                   jp2.substr(0, inJp2 + 20), std::string("\0\0\0\x0CjP  \r\n\x87\n", 12)}) {
        testkit::LogCapture log;
        EXPECT_FALSE(pf::CheckJpeg2000Header(reinterpret_cast<const uint8_t*>(bad.data()), bad.size()));
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    }
    EXPECT_FALSE(pf::CheckJpeg2000Header(nullptr, 0));

    // Through the loader, a refused file never reaches the decoder: one line, no image.
    pf::ImageLoaderDX loader;
    if (!loader.HasJpeg2000()) return;
    std::string tiles = jp2;
    for (const Edit& e : cases[2].edits) PutBE32(tiles, inJp2 + e.at, e.value);
    testkit::LogCapture log;
    pf::MemorySurface out;
    EXPECT_FALSE(Load(loader, out, tiles));
    EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    EXPECT_TRUE(log.Contains("40000 tiles")) << log.Text();
}

TEST(LoaderLimits, FailedSaveKeepsTheOldFileWhole) {
    testkit::TempDir dir;
    pf::ImageLoaderDX loader;
    // Noise, so that the PNG too is far larger than the file size limit below.
    pf::MemorySurface image(128, 128);
    const pf::PixelView view = image.GetView();
    uint32_t seed = 12345;
    for (int i = 0; i < 128 * 128 * 4; ++i) {
        seed = seed * 1103515245u + 12345u;
        view.data[i] = uint8_t(seed >> 16);
    }
    for (int type : {2, 3}) {
        SCOPED_TRACE(type);
        const std::filesystem::path path = dir.Write(type == 3 ? "old.dds" : "old.png", "the old picture");
        testkit::LogCapture log;
        {
            const testkit::FileSizeLimit fullDisk(4096);  // the write fails part way
            EXPECT_FALSE(loader.Save(pf::FromUtf8(path.string()).c_str(), type, view));
        }
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_EQ(testkit::ReadFile(path), "the old picture");
        // Without the limit the same save replaces the file, and it loads back.
        ASSERT_TRUE(loader.Save(pf::FromUtf8(path.string()).c_str(), type, view));
        pf::MemorySurface back;
        ASSERT_TRUE(loader.Load(back, testkit::ReadFile(path).data(), int(std::filesystem::file_size(path)),
                                PixelFormat::A8R8G8B8));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(back.GetView().data), 128 * 128 * 4),
                  std::string(reinterpret_cast<char*>(view.data), 128 * 128 * 4));
    }
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(LoaderLimits, DdsLayoutsAndBrokenHeaders) {
    pf::ImageLoaderDX loader;
    // A 2 x 1 luminance-and-alpha file (8 + 8 bits), which ImageMagick does not read.
    std::string la = Fixture("rgb.dds").substr(0, 128) + std::string("\x10\x80\xF0\x00", 4);
    PutLE32(la, 12, 1);
    PutLE32(la, 16, 2);
    PutLE32(la, 80, 0x20001);  // luminance, alpha
    PutLE32(la, 88, 16);
    PutLE32(la, 92, 0xFF);
    PutLE32(la, 96, 0);
    PutLE32(la, 100, 0);
    PutLE32(la, 104, 0xFF00);
    pf::MemorySurface out;
    ASSERT_TRUE(Load(loader, out, la));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.GetView().data), 8),
              std::string("\x10\x10\x10\x80\xF0\xF0\xF0\x00", 8));

    const std::string dxt1 = Fixture("dxt1.dds");
    auto with = [](std::string s, size_t at, uint32_t v) {
        PutLE32(s, at, v);
        return s;
    };
    const std::pair<const char*, std::string> broken[] = {
        {"cube map", with(dxt1, 112, 0x200 | 0xFC00)},
        {"volume", with(with(dxt1, 8, 0x800000 | 0x1007), 24, 4)},
        {"DX10 header", with(dxt1, 84, 0x30315844)},
        {"width 0", with(dxt1, 16, 0)},
        {"huge", with(with(dxt1, 16, 30000), 12, 30000)},
        {"header size", with(dxt1, 4, 100)},
        {"masks not contiguous", with(la, 92, 0x0F0F)},
        {"mask beyond the pixel", with(la, 104, 0xFF0000)},
        {"12 bits a pixel", with(la, 88, 12)},
        {"no format flag", with(la, 80, 0)},
        {"blocks cut short", dxt1.substr(0, dxt1.size() - 1)},
        {"header only", dxt1.substr(0, 128)},
        {"magic only", "DDS "},
    };
    for (const auto& b : broken) {
        SCOPED_TRACE(b.first);
        testkit::LogCapture log;
        pf::MemorySurface refused;
        EXPECT_FALSE(Load(loader, refused, b.second));
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_EQ(refused.GetWidth(), 0);
    }
}

TEST(LoaderLimits, RunLengthBmpEdges) {
    pf::ImageLoaderDX loader;
    const std::string rle8 = Fixture("rle8.bmp");
    std::string badBits = rle8;
    badBits[28] = 4;  // RLE8 with 4 bits a pixel
    std::string bigPalette = rle8;
    PutLE32(bigPalette, 46, 257);
    std::string pixelsPastEnd = rle8;
    PutLE32(pixelsPastEnd, 10, uint32_t(rle8.size()));
    // A huge claim in a few bytes ends early: pixels skipped stay index 0.
    std::string early = rle8;
    PutLE32(early, 18, 4000);
    PutLE32(early, 22, 4000);
    const uint32_t at = uint32_t(uint8_t(rle8[10]) | uint8_t(rle8[11]) << 8);
    early = early.substr(0, at) + std::string("\x02\x05\x00\x02\xFF\xFF\x00\x01", 8);
    // Literal runs cut short, and runs that never end the image.
    const std::string cut = rle8.substr(0, at) + std::string("\x00\x20\x01\x02", 4);
    const std::string endless = rle8.substr(0, at) + std::string("\x03\x01\x03\x01", 4);
    for (const std::string& bad : {badBits, bigPalette, pixelsPastEnd, cut, endless, rle8.substr(0, 50)}) {
        testkit::LogCapture log;
        pf::MemorySurface out;
        EXPECT_FALSE(Load(loader, out, bad));
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    }
    pf::MemorySurface out;
    ASSERT_TRUE(Load(loader, out, early));
    ASSERT_EQ(out.GetWidth(), 4000);
    const pf::PixelView v = out.GetView();
    const uint8_t* palette = reinterpret_cast<const uint8_t*>(rle8.data()) + 14 + 40;
    const uint8_t* bottomLeft = v.data + ptrdiff_t(3999) * v.pitch;
    EXPECT_EQ(bottomLeft[0], palette[4 * 5 + 2]);  // index 5 is the first run's
    EXPECT_EQ(v.data[0], palette[2]);              // the top row was skipped: index 0
}
