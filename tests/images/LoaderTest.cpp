// The image loaders against files made by ImageMagick and against broken bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "shell/ImageLoaderDX.h"
#include "shell/ImageLoaderGDI.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

using pf::PixelFormat;
using pf::PixelView;

namespace {

const std::string kFixtures = std::string(RUV3_SOURCE_DIR) + "/tests/images/fixtures/";

std::string Fixture(const std::string& name) { return testkit::ReadFile(kFixtures + name); }

bool Load(pf::ImageLoader& loader, pf::MemorySurface& out, const std::string& bytes,
          PixelFormat format) {
    return loader.Load(out, bytes.empty() ? nullptr : bytes.data(), int(bytes.size()), format);
}

// The surface's pixels as packed r, g, b, a rows.
std::string RgbaOf(const pf::MemorySurface& s) {
    PixelView src = s.GetView();
    std::string out(size_t(src.width * src.height * 4), '\0');
    PixelView dst;
    dst.Set(src.width, src.height, 4, src.width * 4, PixelFormat::A8B8G8R8,
            reinterpret_cast<uint8_t*>(&out[0]));
    pf::CopyOrConvertView(src, dst);
    return out;
}

int MaxDifference(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return 256;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i]))));
    return worst;
}

struct FixtureCase {
    const char* file;
    int width, height;
    int tolerance;  // JPEG: ImageMagick may use another IDCT than the default
    // Whether losing the last byte must fail: a text file's last separator, or a
    // run-length BMP's end-of-image code after its last row, may go.
    bool lastByteNeeded = true;
};

const FixtureCase kCases[] = {
    {"rgba.png", 7, 5, 0},      {"palette_trns.png", 7, 5, 0}, {"grey.png", 7, 5, 0},
    {"rgba16.png", 7, 5, 1},  // ImageMagick rounds 16384 down to 63, libpng to 64
    {"photo.jpg", 7, 5, 2},     {"grey.jpg", 7, 5, 2},
    {"rgb24.bmp", 7, 5, 0},     {"pal8.bmp", 7, 5, 0},         {"topdown.bmp", 7, 5, 0},
    {"raw.tga", 7, 5, 0},       {"raw_topleft.tga", 7, 5, 0},  {"rle.tga", 7, 5, 0},
    {"rle_alpha.tga", 7, 5, 0}, {"photo.ppm", 7, 5, 0},        {"grey.pgm", 7, 5, 0},
    {"photo16.ppm", 7, 5, 1},  // ImageMagick's 16 to 8 bits may round down
    {"ascii.ppm", 7, 5, 0, false}, {"ascii16.ppm", 7, 5, 1, false},
    {"ascii.pgm", 7, 5, 0, false}, {"ascii.pbm", 7, 5, 0, false},
    {"rle8.bmp", 7, 5, 0, false},  {"rle4.bmp", 7, 5, 0, false},
    {"rgba.dds", 7, 5, 0},         {"rgb.dds", 7, 5, 0},
    {"rgb565.dds", 7, 5, 1},  // ImageMagick widens 5 and 6 bits rounding down
    {"dxt1.dds", 7, 5, 0},         {"dxt1_alpha.dds", 7, 5, 0},   {"dxt3.dds", 7, 5, 0},
    {"dxt5.dds", 7, 5, 0},         {"progressive.jpg", 7, 5, 2},
};

}  // namespace

TEST(ImageLoader, DecodesEachFixtureLikeImageMagick) {
    pf::ImageLoaderDX loader;
    for (const FixtureCase& c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = Fixture(c.file);
        const std::string expected = Fixture(std::string(c.file) + ".rgba");
        ASSERT_FALSE(bytes.empty());
        for (PixelFormat format : {PixelFormat::Default, PixelFormat::A8R8G8B8, PixelFormat::A8B8G8R8}) {
            my_intrusive_ptr<pf::MemorySurface> out(new pf::MemorySurface());
            ASSERT_TRUE(Load(loader, *out, bytes, format));
            EXPECT_EQ(out->GetWidth(), c.width);
            EXPECT_EQ(out->GetHeight(), c.height);
            EXPECT_EQ(out->GetFormat(), format == PixelFormat::Default ? PixelFormat::A8R8G8B8 : format);
            EXPECT_LE(MaxDifference(RgbaOf(*out), expected), c.tolerance);
        }
    }
}

TEST(ImageLoader, OtherFormatsAreConvertedByTheEnginesConverters) {
    pf::ImageLoaderDX loader;
    const std::string bytes = Fixture("rgba.png");
    pf::MemorySurface argb;
    ASSERT_TRUE(Load(loader, argb, bytes, PixelFormat::A8R8G8B8));
    for (PixelFormat format : {PixelFormat::B8G8R8, PixelFormat::R5G6B5, PixelFormat::A4R4G4B4,
                               PixelFormat::R4G4B4A4, PixelFormat::A1R5G5B5, PixelFormat::R5G5B5A1}) {
        pf::MemorySurface out, expected;
        ASSERT_TRUE(Load(loader, out, bytes, format)) << int(format);
        EXPECT_EQ(out.GetView().bytesPerPixel, pf::BytesPerPixel(format));
        expected.Init(7, 5, pf::BytesPerPixel(format), format);
        PixelView e = expected.GetView();
        pf::ConvertView(argb.GetView(), e);
        const PixelView o = out.GetView();
        EXPECT_EQ(std::vector<uint8_t>(o.data, o.data + o.pitch * o.height),
                  std::vector<uint8_t>(e.data, e.data + e.pitch * e.height))
            << int(format);
    }
    pf::MemorySurface x;
    ASSERT_TRUE(Load(loader, x, bytes, PixelFormat::X8R8G8B8));
    EXPECT_EQ(x.GetFormat(), PixelFormat::X8R8G8B8);
    EXPECT_EQ(x.GetView().data[0], argb.GetView().data[0]);
    testkit::LogCapture log;
    EXPECT_FALSE(Load(loader, x, bytes, PixelFormat::L8));
    EXPECT_EQ(log.Lines().size(), 1u);
}

TEST(ImageLoader, TruncatedAndGarbageBytesAnswerFalseWithOneLogLine) {
    pf::ImageLoaderDX loader;
    std::vector<std::pair<std::string, std::string>> inputs = {
        {"empty", ""},
        {"text", "hello, this is not an image at all"},
        {"png signature only", Fixture("rgba.png").substr(0, 8)},
        {"bmp magic", "BM"},
        {"ppm header", "P6\n7 5\n255\n"},
        {"jpeg start", "\xFF\xD8\xFF"},
        {"16-bit ppm", std::string("P6\n1 1\n65535\n") + std::string(5, '\x7F')},
        {"ppm of maximum 0", "P5\n1 1\n0\n\x01"},
        {"ppm without sizes", "P6\n# only a comment"},
        // A run-length TGA header claiming 8000 x 8000 pixels, then a few bytes.
        {"tga header of a huge image", std::string("\0\0\x0A\0\0\0\0\0\0\0\0\0\x40\x1F\x40\x1F\x20\0", 18) +
                                           std::string(40, '\xFF')},
    };
    for (const FixtureCase& c : kCases) {
        const std::string bytes = Fixture(c.file);
        inputs.emplace_back(std::string(c.file) + " half", bytes.substr(0, bytes.size() / 2));
        if (c.lastByteNeeded)
            inputs.emplace_back(std::string(c.file) + " less 1", bytes.substr(0, bytes.size() - 1));
        std::string scrambled = bytes;
        for (size_t i = 20; i < scrambled.size(); i += 7) scrambled[i] = char(scrambled[i] ^ 0x5A);
        inputs.emplace_back(std::string(c.file) + " scrambled", scrambled);
    }
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.first);
        testkit::LogCapture log;
        my_intrusive_ptr<pf::MemorySurface> out(new pf::MemorySurface());
        const bool ok = Load(loader, *out, input.second, PixelFormat::A8R8G8B8);
        // Scrambled bytes may still be a valid image of some kind (BMP and TGA have no
        // checksum); anything else must fail with one line and leave out empty.
        if (input.first.find("scrambled") != std::string::npos && ok) continue;
        EXPECT_FALSE(ok);
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_EQ(out->GetWidth(), 0);
    }
    testkit::LogCapture log;
    pf::MemorySurface out;
    EXPECT_FALSE(loader.Load(out, nullptr, 10, PixelFormat::A8R8G8B8));
    EXPECT_EQ(log.Lines().size(), 1u);
}

namespace {

// A PNG's chunks in order: where each starts (its length field), its type and length.
struct PngChunk {
    size_t at;
    std::string type;
    size_t length;
};
std::vector<PngChunk> ChunksOf(const std::string& png) {
    std::vector<PngChunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        size_t length = 0;
        for (int i = 0; i < 4; ++i) length = length << 8 | uint8_t(png[at + size_t(i)]);
        chunks.push_back({at, png.substr(at + 4, 4), length});
        at += 12 + length;
    }
    return chunks;
}

// The CRC-32 of the PNG chunks (the zip one), bit by bit.
uint32_t ChunkCrc(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace

// Bytes that passed a checksum over the whole file (an archive entry's) are not summed
// again by the PNG decoder: a wrong chunk CRC or a wrong Adler-32 with sound pixels then
// loads, as it never would from a loose file; damage to the image's structure fails
// either way with one log line, and nothing it is given crashes the decoder.
TEST(ImageLoader, PngChecksumsAreSkippedOnlyForBytesAlreadyVerified) {
    pf::ImageLoaderDX loader;
    const std::string png = Fixture("rgba.png");
    pf::MemorySurface intact;
    ASSERT_TRUE(Load(loader, intact, png, PixelFormat::A8R8G8B8));
    const std::vector<PngChunk> chunks = ChunksOf(png);
    auto idat = std::find_if(chunks.begin(), chunks.end(), [](const PngChunk& c) { return c.type == "IDAT"; });
    ASSERT_NE(idat, chunks.end());
    ASSERT_GE(idat->length, 6u);

    std::string badCrc = png;
    badCrc[idat->at + 8 + idat->length] ^= 0x01;
    // The stream's Adler-32 (its last four bytes) wrong, the chunk's CRC made to match.
    std::string badAdler = png;
    badAdler[idat->at + 8 + idat->length - 1] ^= 0x01;
    const uint32_t crc = ChunkCrc(badAdler.substr(idat->at + 4, 4 + idat->length));
    for (int i = 0; i < 4; ++i) badAdler[idat->at + 8 + idat->length + size_t(i)] = char(crc >> (24 - 8 * i));
    const struct {
        const char* name;
        std::string bytes;
        bool loadsWhenVerified;
    } cases[] = {
        {"wrong chunk CRC", badCrc, true},
        {"wrong Adler-32", badAdler, true},
        {"cut in the image data", png.substr(0, idat->at + 8 + idat->length / 2), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            testkit::LogCapture log;
            pf::MemorySurface out;
            EXPECT_FALSE(Load(loader, out, c.bytes, PixelFormat::A8R8G8B8));
            EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        }
        testkit::LogCapture log;
        pf::MemorySurface out;
        const bool ok = loader.Load(out, c.bytes.data(), int(c.bytes.size()), PixelFormat::A8R8G8B8,
                                    pf::FormatChecksums::AlreadyVerified);
        EXPECT_EQ(ok, c.loadsWhenVerified) << log.Text();
        if (ok) {
            EXPECT_EQ(RgbaOf(out), RgbaOf(intact));
            EXPECT_TRUE(log.Lines().empty()) << log.Text();
        } else {
            EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        }
    }
    // Garbage over the whole image data, unchecked: an answer, never a crash.
    std::string scrambled = png;
    for (size_t i = idat->at + 10; i < idat->at + 8 + idat->length; i += 3) scrambled[i] = char(scrambled[i] ^ 0x5A);
    pf::MemorySurface out;
    testkit::LogCapture log;
    if (!loader.Load(out, scrambled.data(), int(scrambled.size()), PixelFormat::A8R8G8B8,
                     pf::FormatChecksums::AlreadyVerified)) {
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    }
}

TEST(ImageLoader, LoadsOnSeveralThreadsAtOnce) {
    pf::ImageLoaderDX loader;
    std::vector<std::string> bytes, expected;
    for (const FixtureCase& c : kCases) {
        bytes.push_back(Fixture(c.file));
        expected.push_back(Fixture(std::string(c.file) + ".rgba"));
    }
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (size_t i = 0; i < bytes.size(); ++i) {
                    pf::MemorySurface out;
                    if (!Load(loader, out, bytes[i], PixelFormat::A8B8G8R8) ||
                        MaxDifference(RgbaOf(out), expected[i]) > kCases[i].tolerance)
                        ++failures[size_t(t)];
                }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(ImageLoader, SavedPngsReadBackByImageMagickEqualTheSource) {
    RUV3_REQUIRE_PROGRAM("convert");
    testkit::TempDir dir;
    pf::ImageLoaderDX loader;
    const std::string expected = Fixture("rgba.png.rgba");
    pf::MemorySurface argb, abgr;
    ASSERT_TRUE(Load(loader, argb, Fixture("rgba.png"), PixelFormat::A8R8G8B8));
    ASSERT_TRUE(Load(loader, abgr, Fixture("rgba.png"), PixelFormat::A8B8G8R8));
    int n = 0;
    for (const pf::MemorySurface* s : {&argb, &abgr}) {
        const std::string path = (dir.Path() / ("saved" + std::to_string(n++) + ".png")).string();
        ASSERT_TRUE(loader.Save(pf::FromUtf8(path).c_str(), 2, s->GetView()));
        const std::string dump = path + ".rgba";
        ASSERT_EQ(testkit::RunCommand("convert '" + path + "' -depth 8 'rgba:" + dump + "'"), 0);
        EXPECT_EQ(testkit::ReadFile(dump), expected);
        // And the loader reads its own file back.
        pf::MemorySurface again;
        ASSERT_TRUE(Load(loader, again, testkit::ReadFile(path), PixelFormat::A8B8G8R8));
        EXPECT_EQ(RgbaOf(again), expected);
    }
    // A DDS file is written whole.
    const std::string dds = (dir.Path() / "saved.dds").string();
    ASSERT_TRUE(loader.Save(pf::FromUtf8(dds).c_str(), 3, abgr.GetView()));
    ASSERT_EQ(testkit::RunCommand("convert '" + dds + "' -depth 8 'rgba:" + dds + ".rgba'"), 0);
    EXPECT_EQ(testkit::ReadFile(dds + ".rgba"), expected);
}

// The PNG decoder writes every byte of the surface it hands out (the surface is not
// cleared first): each layout libpng expands, interlaced or not, at odd sizes, equals
// ImageMagick's reading of the same file. Under the address sanitizer a byte left
// unwritten holds its allocation fill and shows.
TEST(ImageLoader, PngLayoutsAreDecodedWhole) {
    RUV3_REQUIRE_PROGRAM("convert");
    testkit::TempDir dir;
    const std::string rgba = "-size 13x9 gradient:red-blue \\( -size 13x9 gradient:white-black \\) -alpha off "
                             "-compose copy_opacity -composite";
    const std::string grey = "-size 13x9 gradient:white-black -colorspace gray";
    const struct {
        const char* name;
        std::string make;
    } cases[] = {
        {"rgba interlaced", rgba + " -interlace PNG PNG32:"},
        {"rgba16 interlaced", rgba + " -depth 16 -interlace PNG PNG64:"},
        {"palette interlaced", "-size 13x9 xc:red -fill blue -draw \"point 2,2\" -interlace PNG PNG8:"},
        {"grey alpha", grey + " \\( -size 13x9 gradient:black-white \\) -alpha off -compose copy_opacity "
                              "-composite -define png:color-type=4 -depth 8 PNG:"},
        {"grey alpha 16 interlaced", grey + " \\( -size 13x9 gradient:black-white \\) -alpha off -compose "
                                            "copy_opacity -composite -define png:color-type=4 -depth 16 "
                                            "-interlace PNG PNG:"},
        {"grey 1-bit interlaced", grey + " -threshold 50% -define png:color-type=0 -define png:bit-depth=1 "
                                         "-interlace PNG PNG:"},
        {"rgb one column interlaced", "-size 1x11 gradient:red-blue -interlace PNG PNG24:"},
        {"rgb one row", "-size 11x1 gradient:red-blue PNG24:"},
    };
    pf::ImageLoaderDX loader;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir.Path() / ("case" + std::to_string(n++) + ".png")).string();
        ASSERT_EQ(testkit::RunCommand("convert " + c.make + "'" + path + "'"), 0);
        ASSERT_EQ(testkit::RunCommand("convert '" + path + "' -depth 8 'rgba:" + path + ".rgba'"), 0);
        pf::MemorySurface decoded;
        ASSERT_TRUE(Load(loader, decoded, testkit::ReadFile(path), PixelFormat::A8B8G8R8));
        // 16-bit channels: libpng's scaling to 8 bits may round the other way.
        EXPECT_LE(MaxDifference(RgbaOf(decoded), testkit::ReadFile(path + ".rgba")), 1);
    }
}

TEST(ImageLoader, SavingWhereNoFileCanBeMadeAnswersFalse) {
    testkit::TempDir dir;
    pf::ImageLoaderDX loader;
    pf::MemorySurface image(4, 4);
    const std::string path = (dir.Path() / "missing" / "x.png").string();
    for (int type : {2, 3}) {
        testkit::LogCapture log;
        EXPECT_FALSE(loader.Save(pf::FromUtf8(path).c_str(), type, image.GetView()));
        EXPECT_EQ(log.Lines().size(), 1u);
    }
    pf::ImageLoaderGDI gdi;
    pf::MemorySurface decoded;
    EXPECT_TRUE(Load(gdi, decoded, Fixture("rgba.png"), PixelFormat::R5G6B5));
    EXPECT_EQ(decoded.GetFormat(), PixelFormat::A8R8G8B8);
}

TEST(ImageLoader, Jpeg2000ThroughTheRunTimeCodec) {
    pf::ImageLoaderDX loader;
    RUV3_REQUIRE_ORACLE(loader.HasJpeg2000(), "OpenJPEG (libopenjp2.so.7)");
    pf::MemorySurface rgba;
    ASSERT_TRUE(Load(loader, rgba, Fixture("rgba.jp2"), PixelFormat::A8B8G8R8));
    EXPECT_EQ(RgbaOf(rgba), Fixture("rgba.jp2.rgba"));

    // A grey image carries its intensity into the alpha too.
    pf::MemorySurface grey;
    ASSERT_TRUE(Load(loader, grey, Fixture("grey.j2k"), PixelFormat::Default));
    EXPECT_EQ(grey.GetFormat(), PixelFormat::A8R8G8B8);
    const std::string expected = Fixture("grey.j2k.rgba"), got = RgbaOf(grey);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); i += 4) {
        EXPECT_EQ(got[i], expected[i]);
        EXPECT_EQ(got[i + 1], expected[i]);
        EXPECT_EQ(got[i + 3], expected[i]);
    }
    // Requested in 565, converted by the engine's converters.
    pf::MemorySurface r565, e565;
    ASSERT_TRUE(Load(loader, r565, Fixture("rgba.jp2"), PixelFormat::R5G6B5));
    e565.Init(7, 5, 2, PixelFormat::R5G6B5);
    PixelView e = e565.GetView();
    pf::ConvertView(rgba.GetView(), e);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r565.GetView().data), 70),
              std::string(reinterpret_cast<char*>(e.data), 70));

    // A header claiming 40000 x 40000 pixels in one tile is refused before the decoder
    // takes memory for it.
    std::string huge = Fixture("grey.j2k");
    for (size_t at : {8, 12, 24, 28}) huge.replace(at, 4, std::string("\0\0\x9C\x40", 4));
    for (const std::string& broken :
         {Fixture("rgba.jp2").substr(0, 100), Fixture("grey.j2k").substr(0, 40), huge}) {
        testkit::LogCapture log;
        pf::MemorySurface out;
        EXPECT_FALSE(Load(loader, out, broken, PixelFormat::A8R8G8B8));
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        if (broken == huge) {
            EXPECT_NE(log.Text().find("refusing an image of 40000x40000"), std::string::npos) << log.Text();
        }
    }
}
