// Configuration sections, the option list and the settings.
#include <sys/stat.h>
#include <unistd.h>

#include "FilesFixture.h"
#include "shell/ConfigSection.h"
#include "shell/OptionList.h"
#include "shell/Settings.h"

namespace filestest {
namespace {

using pf::ConfigSection;

class ConfigTest : public FilesTest {
protected:
    std::string UserText(const std::string& name) { return testkit::ReadFile(User() / name); }
};

TEST_F(ConfigTest, EntriesKeepBlanksAroundTheEqualsSign) {
    dir.Write("user/a.cfg", "[main]\r\na=1\r\n\r\n  #c  \r\n\tb = 2\t\r\njunk line\r\n");
    testkit::LogCapture log;
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    ASSERT_EQ(section.Entries().size(), 3u);
    EXPECT_EQ(section.Entries()[1].kind, pf::kConfigComment);
    EXPECT_EQ(section.Entries()[1].text, "#c");
    EXPECT_EQ(section.GetString(L"b ", L"?"), L" 2");
    EXPECT_EQ(section.GetString(L"b", L"?"), L"?");
    EXPECT_EQ(section.GetInt(L"a", 7), 1);
    EXPECT_EQ(section.GetInt(L"zz", 7), 7);
    EXPECT_EQ(section.CountValues(), 2);
    EXPECT_EQ(section.GetName(), L"main");
    EXPECT_EQ(log.Lines().size(), 1u);  // the junk line, reported once
}

TEST_F(ConfigTest, NewKeysGoAfterTheLastValue) {
    dir.Write("user/a.cfg", "[main]\na=1\n#c\nb = 2\n#tail\n[comments]\n;only\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    section.SetString(L"new", L"3");
    EXPECT_EQ(section.Entries()[3].key, "new");
    EXPECT_EQ(section.Entries()[4].text, "#tail");
    EXPECT_TRUE(section.AddValue(L"20", L" b  "));  // trimmed keys compare equal
    EXPECT_EQ(section.GetString(L"b ", L""), L"20");
    EXPECT_FALSE(section.AddValue(L"x", L""));

    ConfigSection comments(fs, L"a.cfg");
    EXPECT_TRUE(comments.Load(L"comments"));  // a comment is an entry too
    EXPECT_EQ(comments.CountValues(), 0);
    comments.SetString(L"k", L"v");
    EXPECT_EQ(comments.Entries().back().key, "k");
    EXPECT_EQ(comments.Entries().front().text, ";only");
    EXPECT_EQ(pf::ConfigSection(fs, L"a.cfg").GetPoint(L"p", pf::Point(1, 2)).y, 2);
}

TEST_F(ConfigTest, SaveReplacesItsSectionAndKeepsTheRest) {
    dir.Write("user/a.cfg",
              "  [other]  \r\nx = 1\r\n\r\n\r\n[main]\r\nold=1\r\n;note\r\n[broken\r\nbroken=1\r\n"
              "[main]\r\nsecond=1\r\n[last]\r\nz=9");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    EXPECT_EQ(section.CountValues(), 1);  // ends at "[broken"; the second [main] is not read
    section.SetString(L"old", L"2");
    section.SetString(L"new", L"3");
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"),
              "[other]\nx = 1\n[main]\nold=2\nnew=3\n;note\n[broken\nbroken=1\n[main]\nsecond=1\n[last]\nz=9\n");
    // Saved twice, the file stays the same; "broken=1" never joins [main].
    ConfigSection again(fs, L"a.cfg");
    ASSERT_TRUE(again.Load(L"main"));
    EXPECT_FALSE(again.HasKey(L"broken"));
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(UserText("a.cfg"),
              "[other]\nx = 1\n[main]\nold=2\nnew=3\n;note\n[broken\nbroken=1\n[main]\nsecond=1\n[last]\nz=9\n");
}

TEST_F(ConfigTest, SaveAppendsAMissingSectionOrWritesANewFile) {
    dir.Write("user/a.cfg", "[other]\nx=1\n");
    ConfigSection section(fs, L"a.cfg");
    EXPECT_FALSE(section.Load(L"main"));
    section.SetString(L"k", L"v");
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"), "[other]\nx=1\n[main]\nk=v\n");

    ConfigSection fresh(fs, L"new.cfg");
    EXPECT_FALSE(fresh.Load(L"s"));
    fresh.SetString(L"a", L"b");
    ASSERT_TRUE(fresh.Save());
    EXPECT_EQ(UserText("new.cfg"), "[s]\na=b\n");
}

TEST_F(ConfigTest, SaveRefusesWhatItCannotRebuild) {
    testkit::LogCapture log;
    dir.Write("user/blank.cfg", "\r\n\n\r");  // content without a line
    ConfigSection blank(fs, L"blank.cfg");
    blank.Load(L"main");
    blank.SetString(L"k", L"v");
    EXPECT_FALSE(blank.Save());
    EXPECT_EQ(UserText("blank.cfg"), "\r\n\n\r");

    const std::string binary("[main]\nk=v\n\0\x01\x02", 14);
    dir.Write("user/bin.cfg", binary);
    ConfigSection bin(fs, L"bin.cfg");
    EXPECT_FALSE(bin.Load(L"main"));
    EXPECT_EQ(log.Lines().size(), 1u);
    bin.SetString(L"k", L"w");
    EXPECT_FALSE(bin.Save());
    EXPECT_EQ(UserText("bin.cfg"), binary);

    // A file that cannot be written is reported as such.
    std::filesystem::create_directories(User() / "dir.cfg");
    ConfigSection dirSection(fs, L"dir.cfg");
    dirSection.Load(L"main");
    dirSection.SetString(L"k", L"v");
    EXPECT_FALSE(dirSection.Save());
}

// A user file that is there but cannot be read (a pipe, one the user may not read) is not
// written over blind: its other sections would be lost. A link to nothing holds nothing
// and is replaced like a missing file.
TEST_F(ConfigTest, SaveLeavesAFileItCouldNotReadInPlace) {
    ASSERT_EQ(::mkfifo((User() / "pipe.cfge").c_str(), 0644), 0);  // the scrambled name counts too
    std::filesystem::create_symlink(User() / "elsewhere" / "gone.cfg", User() / "gone.cfg");
    dir.Write("user/private.cfg", "[main]\nk=v\n[other]\nkept=1\n");
    ASSERT_EQ(::chmod((User() / "private.cfg").c_str(), 0200), 0);  // write-only
    const bool root = ::geteuid() == 0;  // root reads the file all the same
    struct Case {
        const wchar_t* name;
        bool refused;
    } cases[] = {{L"pipe.cfg", true}, {L"gone.cfg", false}, {L"private.cfg", !root}, {L"fresh.cfg", false}};
    for (const Case& c : cases) {
        testkit::LogCapture log;
        ConfigSection section(fs, c.name);
        section.Load(L"main");
        section.SetString(L"k", L"w");
        EXPECT_EQ(section.Save(), !c.refused) << pf::ToUtf8(c.name);
        EXPECT_EQ(log.Contains("cannot be read; it is not replaced"), c.refused) << log.Text();
    }
    struct stat info {};
    ASSERT_EQ(::lstat((User() / "pipe.cfge").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ASSERT_EQ(::lstat((User() / "gone.cfg").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(UserText("gone.cfg"), "[main]\nk=w\n");
    EXPECT_FALSE(std::filesystem::exists(User() / "elsewhere"));
    ::chmod((User() / "private.cfg").c_str(), 0644);
    EXPECT_EQ(UserText("private.cfg"), root ? "[main]\nk=w\n[other]\nkept=1\n" : "[main]\nk=v\n[other]\nkept=1\n");
}

// A value or key that would not read back as one key=value line is refused: saved, it
// would add entries or sections of its own, or make the whole file unreadable.
TEST_F(ConfigTest, EntriesThatWouldBreakTheFileAreRefused) {
    dir.Write("user/a.cfg", "[main]\nname=old\n[other]\nx=1\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    testkit::LogCapture log;
    const struct {
        const wchar_t* key;
        std::wstring value;
    } refused[] = {
        {L"name", L"evil\n[other]\nx=2"},  // a line break in the value of an existing key
        {L"name", std::wstring(L"nul\0byte", 8)},
        {L"fresh", L"a\rb"},
        {L"k\n", L"v"},
        {L"a=b", L"c"},
        {L"[other]", L"v"},
        {L" [main", L"v"},
        {L"#k", L"v"},
        {L";k", L"v"},
        {L" lead", L"v"},      // a new key's leading blank is trimmed away on reading
        {L"\tlead", L"v"},
        {L"name", L"trail "},  // so is a value's trailing blank or tab
        {L"fresh", L"tab\t"},
        {L"name", L"\u0141ukasz"},  // one byte a character: past U+00FF it would read back as '?'
        {L"\u041a\u043e\u0442", L"1"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(pf::ToUtf8(c.key));
        section.SetString(c.key, c.value);
        EXPECT_FALSE(section.AddValue(c.value, c.key));
    }
    EXPECT_EQ(log.Lines().size(), 2 * std::size(refused));
    EXPECT_EQ(section.GetString(L"name", L""), L"old");
    EXPECT_EQ(section.CountValues(), 1);

    section.SetString(L"name", L"new = fine [ok] #x;");  // such characters inside a line are fine
    section.SetString(L"key [1]", L"");
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"), "[main]\nname=new = fine [ok] #x;\nkey [1]=\n[other]\nx=1\n");
    ConfigSection other(fs, L"a.cfg");
    ASSERT_TRUE(other.Load(L"other"));
    EXPECT_EQ(other.GetString(L"x", L""), L"1");
}

// Keys and values are stored one byte a character: a character past U+00FF became '?', so
// a value came back changed and two such keys of one length named the same entry.
TEST_F(ConfigTest, KeysBeyondOneByteNeverMatchAnotherKey) {
    dir.Write("user/a.cfg", "[main]\n??" "?=1\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    EXPECT_EQ(section.GetString(L"?" L"??", L""), L"1");
    EXPECT_FALSE(section.HasKey(L"\u0414\u043e\u043c"));
    section.SetString(L"\u0414\u043e\u043c", L"2");
    EXPECT_EQ(section.GetString(L"?" L"??", L""), L"1");
}

// A byte-order mark hid the first header: the section did not load, and saving appended
// a second one.
TEST_F(ConfigTest, ByteOrderMarkBeforeTheFirstSectionIsSkipped) {
    dir.Write("user/a.cfg", "\xEF\xBB\xBF[main]\r\na=1\r\n[other]\r\nx=2\r\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    EXPECT_EQ(section.GetString(L"a", L""), L"1");
    section.SetString(L"a", L"3");
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"), "[main]\na=3\n[other]\nx=2\n");
}

// The empty key matched comment lines: HasKey("") was true and SetString("", ...) wrote
// onto a comment, which the save then lost.
TEST_F(ConfigTest, KeysNeverMatchComments) {
    dir.Write("user/a.cfg", "[main]\n# keep me\na=1\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    EXPECT_FALSE(section.HasKey(L""));
    EXPECT_EQ(section.GetString(L"", L"none"), L"none");
    section.SetString(L"", L"x");
    EXPECT_FALSE(section.AddValue(L"x", L""));
    EXPECT_EQ(section.CountValues(), 1);
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"), "[main]\n# keep me\na=1\n");
}

TEST_F(ConfigTest, DataSourceHidesTheUserCopyAndSavesGoToTheUserFolder) {
    dir.Write("res/a.cfg", "[main]\nk=from resource\n");
    dir.Write("user/a.cfg", "[main]\nk=from user\n");
    ConfigSection section(fs, L"a.cfg");
    ASSERT_TRUE(section.Load(L"main"));
    EXPECT_EQ(section.GetString(L"k", L""), L"from resource");
    section.SetString(L"k", L"changed");
    ASSERT_TRUE(section.Save());
    EXPECT_EQ(UserText("a.cfg"), "[main]\nk=changed\n");
    EXPECT_EQ(testkit::ReadFile(Res() / "a.cfg"), "[main]\nk=from resource\n");
}

// A file that does not exist: the defaults, and their file once saved.
TEST_F(ConfigTest, SettingsDefaultsWhenOptionsAreMissing) {
    pf::Settings settings(&fs);
    settings.Load();
    pf::OptionList& options = settings.GetOptions();
    EXPECT_EQ(settings.GetPlayers().GetFileName(), L"players.xml");
    EXPECT_EQ(options.GetPath(), L"options.cfg");
    EXPECT_EQ(options.GetValue(L"appWidth"), L"800");
    EXPECT_EQ(options.GetOption(pf::kOptionAppHeight), L"600");
    EXPECT_EQ(options.GetOption(pf::kOptionMaxFps), L"");
    EXPECT_FALSE(std::filesystem::exists(User() / "options.cfg"));  // only in memory
    ASSERT_TRUE(options.save());
    EXPECT_EQ(UserText("options.cfg"),
              "[main]\nmusicVolume=64\nvoiceVolume=64\nsoundsVolume=64\nfullScreen=true\nhighDetail=true\n"
              "appHeight=600\nappWidth=800\nwideScreenSupport=true\nscretchScreen=true\n");
}

// Options that are no regular file (a pipe, a link to /dev/zero, which has no end) are
// not read and not waited on: the defaults are used and a save leaves the entry as it is.
TEST_F(ConfigTest, OptionsThatAreNoRegularFileAreNotReadNorReplaced) {
    for (const char* make : {"mkfifo user/options.cfg", "ln -s /dev/zero user/options.cfg"}) {
        SCOPED_TRACE(make);
        std::filesystem::remove(User() / "options.cfg");
        ASSERT_EQ(testkit::RunCommand("cd " + Quote(dir.Path().string()) + " && " + make), 0);
        const auto type = std::filesystem::symlink_status(User() / "options.cfg").type();
        testkit::LogCapture log;
        pf::Settings settings(&fs);
        settings.Load();
        pf::OptionList& options = settings.GetOptions();
        EXPECT_EQ(options.GetValue(L"appWidth"), L"800");
        options.SetValue(L"appWidth", L"1024");
        EXPECT_FALSE(options.save());
        EXPECT_EQ(std::filesystem::symlink_status(User() / "options.cfg").type(), type);
    }
}

// An options file past the bound (a real sparse file of 64 GB, or real lines just past
// it) is not read: one log line, the defaults, and the file stays as it was, also when the
// options are saved. A file right at the bound is read.
TEST_F(ConfigTest, OptionsPastTheSizeBoundAreRefusedAndLeftInPlace) {
    const std::string bound = std::to_string(pf::kSmallFileLimit);
    std::string lines = "[main]\nappWidth=640\n";
    while (lines.size() < pf::kSmallFileLimit) lines += "; a comment to fill the file with real lines\n";
    lines.resize(pf::kSmallFileLimit);
    struct Case {
        const char* file;  // below the temp folder
        std::string make;  // shell command run there
        bool refused;
    } cases[] = {
        {"user/options.cfg", "truncate -s 64G user/options.cfg", true},
        {"user/options.cfge", "truncate -s 64G user/options.cfge", true},
        {"res/options.cfg", "truncate -s 64G res/options.cfg", true},
        {"user/options.cfg", "truncate -s " + std::to_string(pf::kSmallFileLimit + 1) + " user/options.cfg", true},
        {"user/options.cfg", "printf 'x' >> user/options.cfg", true},  // real lines, one byte past
        {"user/options.cfg", "true", false},                             // real lines at the bound
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.make);
        for (const char* name : {"user/options.cfg", "user/options.cfge", "res/options.cfg"})
            std::filesystem::remove(dir.Path() / name);
        dir.Write("user/options.cfg", lines);
        if (std::string(c.file) != "user/options.cfg") std::filesystem::remove(User() / "options.cfg");
        ASSERT_EQ(testkit::RunCommand("cd " + Quote(dir.Path().string()) + " && " + c.make), 0);
        const auto size = std::filesystem::file_size(dir.Path() / c.file);
        const auto time = std::filesystem::last_write_time(dir.Path() / c.file);
        testkit::LogCapture log;
        pf::Settings settings(&fs);
        settings.Load();
        pf::OptionList& options = settings.GetOptions();
        EXPECT_EQ(options.GetValue(L"appWidth"), c.refused ? L"800" : L"640");
        if (c.refused) {
            ASSERT_EQ(log.Lines().size(), 1u) << log.Text();
            EXPECT_TRUE(log.Contains("options.cfg' is larger than 4 MB: it is not read")) << log.Text();
        }
        EXPECT_EQ(options.save(), !c.refused);
        if (c.refused) {
            EXPECT_EQ(std::filesystem::file_size(dir.Path() / c.file), size);
            EXPECT_EQ(std::filesystem::last_write_time(dir.Path() / c.file), time);
        }
    }
}

TEST_F(ConfigTest, SettingsFillInKeysTheFileLacks) {
    dir.Write("user/options.cfg", "[main]\nmusicVolume=10\nappWidth=1024\n");
    pf::Settings settings(&fs);
    settings.Load();
    pf::OptionList& options = settings.GetOptions();
    EXPECT_EQ(options.GetOption(pf::kOptionMusicVolume), L"10");
    EXPECT_EQ(options.GetOption(pf::kOptionAppWidth), L"1024");
    EXPECT_EQ(options.GetOption(pf::kOptionAppHeight), L"600");
    EXPECT_EQ(options.GetOption(pf::kOptionSoundsVolume), L"64");

    struct FakeApp {
        int w = 0, h = 0;
        bool full = false, wide = false;
        bool InitDisplay(int width, int height, bool fullScreen, bool wideScreen) {
            w = width, h = height, full = fullScreen, wide = wideScreen;
            return true;
        }
    } app;
    EXPECT_TRUE(settings.CreateDisplay(app));
    EXPECT_EQ(app.w, 1024);
    EXPECT_EQ(app.h, 600);
    EXPECT_TRUE(app.full);
    EXPECT_TRUE(app.wide);
}

TEST_F(ConfigTest, CommentsOnlyMainLoadsFalseAndGetsDefaults) {
    dir.Write("user/options.cfg", "[main]\n# nothing yet\n");
    pf::OptionList options(&fs);
    options.SetPath(L"options.cfg");
    EXPECT_FALSE(options.load());
    pf::Settings settings(&fs);
    settings.Load();
    EXPECT_EQ(settings.GetOptions().GetOption(pf::kOptionFullScreen), L"true");
}

TEST_F(ConfigTest, OptionListBeforeLoadDoesNothing) {
    pf::OptionList options(&fs);
    EXPECT_EQ(options.GetValue(L"appWidth"), L"");
    options.SetOption(pf::kOptionAppWidth, L"640");  // nothing loaded: ignored
    EXPECT_EQ(options.GetOption(pf::kOptionAppWidth), L"");
    EXPECT_FALSE(options.save());
    EXPECT_FALSE(options.load());  // no path
    EXPECT_EQ(pf::OptionKeyName(17), std::wstring(L"maxFPS"));
    EXPECT_EQ(pf::OptionKeyName(18), std::wstring(L""));
    pf::OptionList noFs;
    noFs.SetPath(L"options.cfg");
    EXPECT_FALSE(noFs.load());
}

}  // namespace
}  // namespace filestest
