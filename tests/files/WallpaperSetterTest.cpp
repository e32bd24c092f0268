// The wallpaper setter: the command chosen for each desktop, and the default setter running
// a stand-in desktop command found on PATH, so the real spawn, wait and exit status are used.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "common/TestSupport.h"
#include "shell/platform/Wallpaper.h"

namespace filestest {
namespace {

using Commands = std::vector<std::vector<std::string>>;

TEST(WallpaperCommands, EachKnownDesktopGetsItsOwnCommandAndOthersNone) {
    const std::string gnome = "'file:///home/a%20b/it%27s%5Cx%C3%A9.png'";
    const std::string path = "/home/a b/it's\\x\xC3\xA9.png";
    struct Case {
        const char* desktops;
        Commands expected;
    } cases[] = {
        {"GNOME",
         {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", gnome},
          {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", gnome}}},
        // A list: the first known name wins, case ignored.
        {"ubuntu:gnome",
         {{"gsettings", "set", "org.gnome.desktop.background", "picture-uri", gnome},
          {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", gnome}}},
        {"X-Cinnamon", {{"gsettings", "set", "org.cinnamon.desktop.background", "picture-uri", gnome}}},
        // A plain path value: the quote and the backslash are escaped for gsettings.
        {"MATE", {{"gsettings", "set", "org.mate.background", "picture-filename",
                   "'/home/a b/it\\'s\\\\x\xC3\xA9.png'"}}},
        {"KDE", {{"plasma-apply-wallpaperimage", path}}},
        {"XFCE", {}},
        {"", {}},
        {"::", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(pf::WallpaperCommands(c.desktops, path), c.expected) << c.desktops;
}

// A stand-in "gsettings" first on PATH that records its arguments, one per line, and
// exits with the status kept in a file beside it.
class DesktopWallpaper : public ::testing::Test {
protected:
    testkit::TempDir bin, pictures;
    std::string oldPath_, oldDesktop_;
    bool hadDesktop_ = false;

    void SetUp() override {
        const char* path = std::getenv("PATH");
        oldPath_ = path ? path : "";
        const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
        hadDesktop_ = desktop != nullptr;
        oldDesktop_ = desktop ? desktop : "";
        const std::string dir = bin.Path().string();
        bin.Write("gsettings", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '" + dir +
                                   "/calls'\nexit $(cat '" + dir + "/status')\n");
        std::filesystem::permissions(bin.Path() / "gsettings", std::filesystem::perms::owner_all);
        Status(0);
        setenv("PATH", (dir + ":" + oldPath_).c_str(), 1);
        setenv("XDG_CURRENT_DESKTOP", "GNOME", 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        if (hadDesktop_)
            setenv("XDG_CURRENT_DESKTOP", oldDesktop_.c_str(), 1);
        else
            unsetenv("XDG_CURRENT_DESKTOP");
    }
    void Status(int status) const { bin.Write("status", std::to_string(status) + "\n"); }
    std::string Calls() const {
        return std::filesystem::exists(bin.Path() / "calls") ? testkit::ReadFile(bin.Path() / "calls") : "";
    }
};

TEST_F(DesktopWallpaper, SetsTheAbsolutePathAndAnswersTheCommandsExitStatus) {
    const std::string picture = pictures.Write("sub/my pic.png", "png").string();
    // A relative or indirect path reaches the desktop as the file's absolute path.
    const std::string indirect = pictures.Path().string() + "/sub/../sub/my pic.png";
    const std::string uri = "'file://" + std::filesystem::canonical(picture).string() + "'";
    const std::string expected_uri = [&] {
        std::string u = uri;
        return u.replace(u.find("my pic"), 6, "my%20pic");
    }();
    EXPECT_TRUE(pf::GetWallpaperSetter().Set(indirect));
    EXPECT_EQ(Calls(), "set\norg.gnome.desktop.background\npicture-uri\n" + expected_uri +
                           "\nset\norg.gnome.desktop.background\npicture-uri-dark\n" + expected_uri + "\n");

    // A failing command is a failure, and its refinement is not tried.
    std::filesystem::remove(bin.Path() / "calls");
    Status(1);
    testkit::LogCapture log;
    EXPECT_FALSE(pf::GetWallpaperSetter().Set(picture));
    EXPECT_EQ(Calls(), "set\norg.gnome.desktop.background\npicture-uri\n" + expected_uri + "\n");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"Wallpaper - gsettings failed (exit status 1)"});
}

TEST_F(DesktopWallpaper, UnknownDesktopMissingFileOrMissingProgramAnswerFalse) {
    const std::string picture = pictures.Write("a.png", "png").string();
    struct Case {
        const char* name;
        const char* desktop;  // null: unset
        std::string file;
        const char* logged;
    } cases[] = {
        {"unknown desktop", "XFCE", picture, "no wallpaper command known"},
        {"no desktop", nullptr, picture, "no wallpaper command known"},
        {"missing file", "GNOME", pictures.Path().string() + "/none.png", "no such file"},
        {"program missing", "KDE", picture, "cannot start plasma-apply-wallpaperimage"},
    };
    for (const Case& c : cases) {
        if (c.desktop)
            setenv("XDG_CURRENT_DESKTOP", c.desktop, 1);
        else
            unsetenv("XDG_CURRENT_DESKTOP");
        if (std::string(c.name) == "program missing") setenv("PATH", bin.Path().string().c_str(), 1);
        testkit::LogCapture log;
        EXPECT_FALSE(pf::GetWallpaperSetter().Set(c.file)) << c.name;
        EXPECT_EQ(log.Lines().size(), 1u) << c.name << ": " << log.Text();
        EXPECT_TRUE(log.Contains(c.logged)) << c.name << ": " << log.Text();
    }
    EXPECT_EQ(Calls(), "");  // none of them ran the desktop's command
}

}  // namespace
}  // namespace filestest
