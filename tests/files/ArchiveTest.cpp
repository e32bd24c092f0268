// The data archive, with archives made by the real zip tool and cross-checked with unzip.
#include <atomic>
#include <fstream>
#include <thread>

#include "FilesFixture.h"
#include "shell/ZipArchive.h"

namespace filestest {
namespace {

using pf::NormalizeArchivePath;

TEST(NormalizeArchivePathTest, Cases) {
    const struct {
        const wchar_t* path;
        const char* name;
    } cases[] = {
        {L"Images/Logo.PNG", "images/logo.png"},
        {L"images\\sub\\logo.png", "images/sub/logo.png"},
        {L"images//sub///logo.png", "images/sub/logo.png"},
        {L"/images/logo.png", "images/logo.png"},
        {L"\\images\\logo.png", "images/logo.png"},
        {L"\\\\//images", "images"},
        {L"  \timages/logo.png \t", "images/logo.png"},
        {L"folder/", "folder/"},
        {L"", ""},
        {L"Caf\u00c9.txt", "caf\xc3\x89.txt"},  // UTF-8, only ASCII letters lowered
    };
    for (const auto& c : cases) EXPECT_EQ(NormalizeArchivePath(c.path), c.name) << pf::ToUtf8(c.path);
}

class ArchiveTest : public FilesTest {};

TEST_F(ArchiveTest, EntriesReadBackByteForByteAsUnzipSeesThem) {
    const std::string big = SampleBytes(300000, 1);
    const std::string text = SampleBytes(5000, 2);
    Stage("big.bin", big);
    Stage("dir/text.txt", text);
    Stage("stored.bin", SampleBytes(4000, 3));
    Stage("empty.txt", "");
    Zip("data.zip", std::string("-P ") + kPassword, {"big.bin", "dir/text.txt", "empty.txt"});
    Zip("data.zip", std::string("-0 -P ") + kPassword, {"stored.bin"});
    Stage("plain.txt", "not encrypted");
    Zip("data.zip", "", {"plain.txt"});  // encrypted and plain entries in one archive
    ASSERT_TRUE(Open("data.zip"));

    for (const char* name : {"big.bin", "dir/text.txt", "stored.bin", "empty.txt", "plain.txt"}) {
        SCOPED_TRACE(name);
        const std::string expected = testkit::ReadFile(Stage() / name);
        EXPECT_EQ(Unzip("data.zip", kPassword, name), expected);  // the oracle agrees
        bool ok = false;
        EXPECT_EQ(ReadResource(pf::FromUtf8(name), &ok), expected);
        EXPECT_TRUE(ok);
        int size = -1;
        EXPECT_TRUE(fs.GetResourceFileSize(pf::FromUtf8(name), size));
        EXPECT_EQ(size, static_cast<int>(expected.size()));
    }
    // Nothing of it came from the folder, which is empty.
    EXPECT_TRUE(std::filesystem::is_empty(Res()));
}

TEST_F(ArchiveTest, EmptyEntryGivesOneZeroByte) {
    Stage("empty.txt", "");
    Zip("data.zip", std::string("-P ") + kPassword, {"empty.txt"});
    ASSERT_TRUE(Open("data.zip"));
    pf::FileBuffer buffer;
    ASSERT_TRUE(fs.ReadResourceFile(buffer, L"empty.txt"));
    EXPECT_EQ(buffer, pf::FileBuffer{0});
}

TEST_F(ArchiveTest, LookupIgnoresCaseAndSlashStyle) {
    Stage("Images/Sub/Logo.png", "logo");
    Zip("data.zip", std::string("-P ") + kPassword, {"Images/Sub/Logo.png"});
    ASSERT_TRUE(Open("data.zip"));
    for (const wchar_t* path : {L"images/sub/logo.png", L"IMAGES/SUB/LOGO.PNG", L"Images\\Sub\\Logo.png",
                                L"images//sub///logo.png", L"/images/sub/logo.png", L"\\Images\\sub\\logo.png"}) {
        EXPECT_EQ(ReadResource(path), "logo") << pf::ToUtf8(path);
    }
}

TEST_F(ArchiveTest, ArchiveWinsOverFolderAndFolderFillsTheGaps) {
    Stage("both.txt", "from the archive");
    Zip("data.zip", std::string("-P ") + kPassword, {"both.txt"});
    dir.Write("res/both.txt", "from the folder");
    dir.Write("res/Only/Folder.txt", "folder only");
    ASSERT_TRUE(Open("data.zip"));
    EXPECT_EQ(ReadResource(L"both.txt"), "from the archive");
    EXPECT_EQ(ReadResource(L"only/folder.txt"), "folder only");  // case-insensitive on disk too
    bool ok = true;
    ReadResource(L"nowhere.txt", &ok);
    EXPECT_FALSE(ok);
}

TEST_F(ArchiveTest, UnreadableEntriesFallBackToTheFolderWithOneLogLine) {
    Stage("a.txt", "archive a");
    Zip("data.zip", "-P otherpassword", {"a.txt"});
    dir.Write("res/a.txt", "folder a");
    testkit::LogCapture log;
    ASSERT_TRUE(Open("data.zip"));
    EXPECT_EQ(ReadResource(L"a.txt"), "folder a");
    int size = 0;
    EXPECT_TRUE(fs.GetResourceFileSize(L"a.txt", size));
    EXPECT_EQ(size, 8);
    std::filesystem::remove(Res() / "a.txt");
    bool ok = true;
    ReadResource(L"a.txt", &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(log.Contains("wrong password for the entry 'a.txt'"));
    EXPECT_EQ(log.Lines().size(), 3u);  // one line per failed archive read
}

TEST_F(ArchiveTest, DamagedEntryFailsItsCrcAndFallsBack) {
    Stage("x.bin", std::string(20000, 'x'));
    Zip("data.zip", "-0", {"x.bin"});  // stored, unencrypted: its bytes lie in the file
    std::filesystem::path path = dir.Path() / "data.zip";
    std::string bytes = testkit::ReadFile(path);
    size_t at = bytes.find(std::string(100, 'x'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 50] = 'y';
    dir.Write("data.zip", bytes);
    dir.Write("res/x.bin", "folder");
    testkit::LogCapture log;
    ASSERT_TRUE(Open("data.zip"));
    EXPECT_EQ(ReadResource(L"x.bin"), "folder");
    EXPECT_TRUE(log.Contains("CRC error in the entry 'x.bin'"));
}

TEST_F(ArchiveTest, TruncatedOrMissingArchiveLeavesTheFolder) {
    Stage("a.txt", SampleBytes(10000, 4));
    Zip("data.zip", std::string("-P ") + kPassword, {"a.txt"});
    std::string bytes = testkit::ReadFile(dir.Path() / "data.zip");
    dir.Write("cut.zip", bytes.substr(0, bytes.size() / 2));
    dir.Write("res/a.txt", "folder a");
    testkit::LogCapture log;
    EXPECT_FALSE(Open("cut.zip"));
    EXPECT_FALSE(fs.HasArchive());
    EXPECT_EQ(ReadResource(L"a.txt"), "folder a");
    EXPECT_FALSE(Open("missing.zip"));
    EXPECT_EQ(log.Lines().size(), 2u);
    // A good archive opened after a bad one works; reopening replaces it.
    EXPECT_TRUE(Open("data.zip"));
    EXPECT_EQ(ReadResource(L"a.txt"), SampleBytes(10000, 4));
}

TEST_F(ArchiveTest, StreamedEntryWithDataDescriptor) {
    // zip reading standard input writes the entry "-" with sizes after the data.
    const std::string input = SampleBytes(30000, 5);
    dir.Write("input.bin", input);
    ASSERT_EQ(testkit::RunCommand("cd " + Quote(dir.Path().string()) + " && zip -q -P " + kPassword +
                                  " streamed.zip - < input.bin"),
              0);
    ASSERT_TRUE(Open("streamed.zip"));
    EXPECT_EQ(ReadResource(L"-"), input);
}

TEST_F(ArchiveTest, ConcurrentReaderThreadsGetWholeEntries) {
    std::vector<std::string> names, contents;
    for (int i = 0; i < 12; ++i) {
        names.push_back("f" + std::to_string(i) + ".bin");
        contents.push_back(SampleBytes(20000 + i * 3000, 10 + i));
        Stage(names.back(), contents.back());
    }
    Zip("data.zip", std::string("-P ") + kPassword, names);
    ASSERT_TRUE(Open("data.zip"));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round) {
                for (size_t i = 0; i < names.size(); ++i) {
                    size_t k = (i + t) % names.size();
                    pf::FileBuffer buffer;
                    int size = 0;
                    if (!fs.ReadResourceFile(buffer, pf::FromUtf8(names[k])) || AsString(buffer) != contents[k] ||
                        !fs.GetResourceFileSize(pf::FromUtf8(names[k]), size) ||
                        size != static_cast<int>(contents[k].size())) {
                        ++failures;
                    }
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_F(ArchiveTest, PlainArchiveWithoutPassword) {
    Stage("a.txt", "plain");
    Zip("plain.zip", "", {"a.txt"});
    ASSERT_TRUE(Open("plain.zip", ""));
    EXPECT_EQ(ReadResource(L"A.TXT"), "plain");
}

}  // namespace
}  // namespace filestest
