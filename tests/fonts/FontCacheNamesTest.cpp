// Where a font's glyph cache files go: named from the font's id, inside the "fonts" folder
// and nowhere else, one cache for each font.
#include <unistd.h>

#include <filesystem>

#include "content/ResFont.h"
#include "content/ResourceManager.h"
#include "fonts/FontsFixture.h"

namespace {

using fonttest::Desc;
using fonttest::FontsTest;

// An id that climbs out of the folder would name files next to any file on the machine:
// nothing is read, written or deleted there, and the font does not load.
TEST_F(FontsTest, AnIdLeavingTheFontsFolderWritesNothingOutsideIt) {
    testkit::TempDir outside;
    const std::string victim = (outside.Path() / "f.ttf").string();
    outside.Write("f.ttf.map", "sentinel");
    const std::wstring climbing = pf::FromUtf8("../../../../../../../../../../.." + victim);
    for (const std::wstring& id : {climbing, std::wstring(L"..\\..\\f"), std::wstring(L"")}) {
        testkit::LogCapture log;
        pf::Font font(Desc(id));
        EXPECT_FALSE(font.Load(&loader, &fs, &display)) << pf::ToUtf8(id);
        EXPECT_TRUE(log.Contains("refused the path")) << log.Text();
    }
    EXPECT_EQ(testkit::ReadFile(victim + ".map"), "sentinel");
    EXPECT_FALSE(Exists(victim + ".png"));
    EXPECT_FALSE(Exists(ResFile("f.png")));
    EXPECT_FALSE(Exists(ResFile("fonts/.png")));
}

// A "fonts" folder that is a link to elsewhere, in the resource folder and in the user
// folder, is not written through: the glyph cache lands nowhere outside them.
TEST_F(FontsTest, TheGlyphCacheIsNeverWrittenThroughALink) {
    testkit::TempDir outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), ResFile("fonts").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path().c_str(), UserFile("fonts").c_str()), 0);
    ResourceManager manager(&loader, &display, &fs);
    testkit::LogCapture log;
    manager.CreateFontByName(pf::FromUtf8(fonttest::kDejaVuSans), 10, false, false, false);
    EXPECT_TRUE(std::filesystem::is_empty(outside.Path()));
}

// Fonts made by name each get a cache named from their own face and size: a second font
// does not draw with the first one's glyphs, and a font file that is not there loads
// nothing.
TEST_F(FontsTest, FontsMadeByNameHaveCachesOfTheirOwn) {
    ResourceManager manager(&loader, &display, &fs);
    const std::wstring dejaVu = pf::FromUtf8(fonttest::kDejaVuSans);
    ResFont* small = manager.CreateFontByName(dejaVu, 10, false, false, false);
    ASSERT_TRUE(small && small->GetFont());
    EXPECT_FALSE(Exists(ResFile("fonts/.png")));
    EXPECT_TRUE(Exists(ResFile(pf::ToUtf8(small->GetFont()->PageFileName()))));

    ResFont* large = manager.CreateFontByName(dejaVu, 30, false, false, false);
    ASSERT_TRUE(large && large->GetFont());
    EXPECT_NE(small->GetFont()->PageFileName(), large->GetFont()->PageFileName());
    EXPECT_GT(large->GetFont()->GetGlyph(L'W')->height, 2 * small->GetFont()->GetGlyph(L'W')->height);

    testkit::LogCapture log;
    EXPECT_EQ(manager.CreateFontByName(L"no such font file.ttf", 12, false, false, false), nullptr);
}

}  // namespace
