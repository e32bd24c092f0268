// Data files handed to the desktop: the copy in the user-data folder (its name, its folder,
// its bytes, written whole or not at all) and what the wallpaper setter and the shell
// opener are given and answer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "common/TestSupport.h"
#include "game/DesktopFiles.h"
#include "shell/FileSystem.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/ShellOpener.h"
#include "shell/platform/Wallpaper.h"

namespace gamescenetest {
namespace {

namespace fsys = std::filesystem;

struct RecordingDesktop : pf::WallpaperSetter, pf::ShellOpener {
    bool answer = true;
    std::vector<std::string> wallpapers;
    std::vector<std::wstring> opened;
    bool Set(const std::string& osPath) override {
        wallpapers.push_back(osPath);
        return answer;
    }
    bool Open(const std::wstring& verb, const std::wstring& target) override {
        EXPECT_EQ(verb, L"open");
        opened.push_back(target);
        return answer;
    }
};

class DesktopFiles : public ::testing::Test {
protected:
    testkit::TempDir res, user;
    pf::FileSystemWin32 fs;
    RecordingDesktop desktop;

    void SetUp() override {
        fs.SetResourcePath(pf::FromUtf8(res.Path().string()));
        fs.SetUserPath(pf::FromUtf8(user.Path().string()));
        pf::SetWallpaperSetter(&desktop);
        pf::SetShellOpener(&desktop);
        res.Write("pics/sub/bg.png", "picture bytes");
        res.Write("readme.txt", "read me");
        res.Write("empty.png", "");
    }
    void TearDown() override {
        pf::SetWallpaperSetter(nullptr);
        pf::SetShellOpener(nullptr);
    }
    std::string UserFile(const std::string& relative) const { return (user.Path() / relative).string(); }
};

TEST_F(DesktopFiles, WallpaperIsCopiedUnderItsBareNameAndTheCopyIsShown) {
    for (const wchar_t* path : {L"pics\\sub/bg.png", L"pics/sub\\bg.png", L"PICS/SUB/BG.PNG"}) {
        desktop.wallpapers.clear();
        fsys::remove_all(user.Path() / "Wallpapers");
        EXPECT_TRUE(game::SetDesktopWallpaper(fs, path));
        // The name as the script wrote it; the folders on disk are matched ignoring case.
        const std::string copy = UserFile("Wallpapers/" + pf::ToUtf8(path).substr(9));
        EXPECT_EQ(testkit::ReadFile(copy), "picture bytes");
        EXPECT_EQ(desktop.wallpapers, std::vector<std::string>{copy});
    }
    // A bare name, and an existing folder of another case, which the copy goes into.
    fsys::remove_all(user.Path() / "Wallpapers");
    fsys::create_directories(user.Path() / "wallpapers");
    res.Write("bg.png", "bare");
    desktop.wallpapers.clear();
    EXPECT_TRUE(game::SetDesktopWallpaper(fs, L"bg.png"));
    EXPECT_EQ(testkit::ReadFile(UserFile("wallpapers/bg.png")), "bare");
    EXPECT_EQ(desktop.wallpapers, std::vector<std::string>{UserFile("wallpapers/bg.png")});

    // A desktop that refuses gives false; the copy stays.
    desktop.answer = false;
    EXPECT_FALSE(game::SetDesktopWallpaper(fs, L"bg.png"));
    EXPECT_TRUE(fsys::exists(UserFile("wallpapers/bg.png")));
}

TEST_F(DesktopFiles, NothingToCopyAnswersFalseWithoutTouchingTheUserFolder) {
    for (const wchar_t* path :
         {L"", L"missing.png", L"empty.png", L"pics/sub/", L"pics/sub", L"../outside.png", L"pics/."}) {
        EXPECT_FALSE(game::SetDesktopWallpaper(fs, path)) << pf::ToUtf8(path);
        EXPECT_FALSE(game::StartExecutableFile(fs, path, L"Docs/")) << pf::ToUtf8(path);
    }
    EXPECT_TRUE(fsys::is_empty(user.Path()));  // no folder made, nothing written
    EXPECT_TRUE(desktop.wallpapers.empty());
    EXPECT_TRUE(desktop.opened.empty());
}

TEST_F(DesktopFiles, FileToStartLandsAtFolderTextPlusBareNameAndIsOpened) {
    struct Case {
        const wchar_t* folder;
        const char* copy;  // in the user-data folder
    } cases[] = {
        {L"", "readme.txt"},
        {L"Docs/", "Docs/readme.txt"},
        {L"Deep\\", "Deep/readme.txt"},
        {L"Pre", "Prereadme.txt"},  // no separator: a prefix of the name
    };
    for (const Case& c : cases) {
        desktop.opened.clear();
        EXPECT_TRUE(game::StartExecutableFile(fs, L"readme.txt", c.folder)) << c.copy;
        EXPECT_EQ(testkit::ReadFile(UserFile(c.copy)), "read me") << c.copy;
        EXPECT_EQ(desktop.opened, std::vector<std::wstring>{pf::FromUtf8(UserFile(c.copy))}) << c.copy;
    }
    // A folder leaving the user-data folder is refused before anything is written.
    desktop.opened.clear();
    EXPECT_FALSE(game::StartExecutableFile(fs, L"readme.txt", L"../"));
    EXPECT_FALSE(fsys::exists(user.Path().parent_path() / "readme.txt"));
    EXPECT_TRUE(desktop.opened.empty());
    // The shell's refusal is the answer; the copy stays.
    desktop.answer = false;
    EXPECT_FALSE(game::StartExecutableFile(fs, L"readme.txt", L"Other/"));
    EXPECT_TRUE(fsys::exists(UserFile("Other/readme.txt")));
}

// A folder of the user folder that is a link to elsewhere is not copied into.
TEST_F(DesktopFiles, ACopyIsNeverWrittenThroughALink) {
    testkit::TempDir outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), (user.Path() / "Docs").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path().c_str(), (user.Path() / "Wallpapers").c_str()), 0);
    res.Write("bg.png", "picture");
    EXPECT_FALSE(game::StartExecutableFile(fs, L"readme.txt", L"Docs/"));
    EXPECT_FALSE(game::StartExecutableFile(fs, L"readme.txt", L"docs/./"));
    EXPECT_FALSE(game::SetDesktopWallpaper(fs, L"bg.png"));
    EXPECT_TRUE(fsys::is_empty(outside.Path()));
    EXPECT_TRUE(desktop.opened.empty());
    EXPECT_TRUE(desktop.wallpapers.empty());
}

TEST_F(DesktopFiles, ACopyCutShortByAFullDiskIsNeitherKeptNorHandedOn) {
    res.Write("big.png", std::string(64 * 1024, 'x'));
    fsys::create_directories(user.Path() / "Wallpapers");
    const std::string old = "the picture set before";
    user.Write("Wallpapers/big.png", old);
    {
        testkit::FileSizeLimit limit(4096);
        EXPECT_FALSE(game::SetDesktopWallpaper(fs, L"big.png"));
        EXPECT_FALSE(game::StartExecutableFile(fs, L"big.png", L"Wallpapers/"));
    }
    EXPECT_EQ(testkit::ReadFile(UserFile("Wallpapers/big.png")), old);
    EXPECT_TRUE(desktop.wallpapers.empty());
    EXPECT_TRUE(desktop.opened.empty());
}

}  // namespace
}  // namespace gamescenetest
