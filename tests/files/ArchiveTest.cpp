// The data archive, with archives made by the real zip tool and cross-checked with unzip.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

#include "FilesFixture.h"
#include "shell/ZipArchive.h"

namespace filestest {
namespace {

using pf::NormalizeArchivePath;

// The sanitizer runtimes (every test build) call a hook on each allocation; outside them
// the allocation checks are skipped.
extern "C" __attribute__((weak)) int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void*, size_t), void (*freeHook)(const volatile void*));

std::atomic<bool> g_watchAllocations{false};
std::atomic<size_t> g_largestAllocation{0};

void OnMalloc(const volatile void*, size_t size) {
    if (!g_watchAllocations.load(std::memory_order_relaxed)) return;
    size_t largest = g_largestAllocation.load(std::memory_order_relaxed);
    while (size > largest && !g_largestAllocation.compare_exchange_weak(largest, size)) {
    }
}
void OnFree(const volatile void*) {}

// Watches the allocations of a scope; false when this build cannot.
bool WatchAllocations() {
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks && __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    g_largestAllocation = 0;
    g_watchAllocations = installed;
    return installed;
}
size_t LargestAllocation() {
    g_watchAllocations = false;
    return g_largestAllocation.load();
}

// Bytes that do not compress, as image and sound data mostly are.
std::string NoiseBytes(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    std::mt19937 random(seed);
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

uint32_t GetLe32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes.at(at + i));
    return v;
}
void PutLe32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<char>(v >> (8 * i));
}

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

// Only a read out of the archive passed a CRC-32 over the whole file; the decoders may
// rely on that, and on nothing else.
TEST_F(ArchiveTest, OnlyArchiveReadsAreMarkedChecked) {
    Stage("in.txt", "archive");
    Zip("data.zip", std::string("-P ") + kPassword, {"in.txt"});
    // An entry the archive cannot give (another password), with a copy in the folder.
    Stage("locked.txt", "archive locked");
    Zip("data.zip", "-P otherpassword", {"locked.txt"});
    dir.Write("res/locked.txt", "folder locked");
    dir.Write("res/loose.txt", "folder");
    dir.Write("res/scrambled.txte", "x");
    ASSERT_TRUE(Open("data.zip"));
    const struct {
        const wchar_t* path;
        bool found, checked;
        const char* content;
    } cases[] = {{L"in.txt", true, true, "archive"},
                 {L"locked.txt", true, false, "folder locked"},
                 {L"loose.txt", true, false, "folder"},
                 {L"scrambled.txt", true, false, "y"},
                 {L"none.txt", false, false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(pf::ToUtf8(c.path));
        pf::FileBuffer buffer;
        bool checked = !c.checked;
        EXPECT_EQ(fs.ReadResourceFileChecked(buffer, c.path, checked), c.found);
        EXPECT_EQ(checked, c.checked);
        if (c.found) {
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + pf::ContentSize(buffer)), c.content);
        }
    }
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

// A stored encrypted entry's CRC is worked out from the decryption's own keys rather
// than by another pass; it must accept every intact entry, whatever its size, and refuse
// one whose encrypted bytes were changed anywhere.
TEST_F(ArchiveTest, StoredEncryptedEntriesPassTheirCrcOnlyWhenIntact) {
    const size_t sizes[] = {0, 1, 11, 12, 13, 4095, 65537, 300001};
    std::vector<std::string> names;
    for (size_t size : sizes) {
        names.push_back("s" + std::to_string(size) + ".bin");
        Stage(names.back(), NoiseBytes(size, uint32_t(size) + 7));
    }
    Zip("data.zip", std::string("-0 -P ") + kPassword, names);
    ASSERT_TRUE(Open("data.zip"));
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        bool ok = false;
        EXPECT_EQ(ReadResource(pf::FromUtf8(name), &ok), testkit::ReadFile(Stage() / name));
        EXPECT_TRUE(ok);
    }

    // One byte changed at the start, the middle and the end of the largest entry's data.
    const std::string zip = testkit::ReadFile(dir.Path() / "data.zip");
    const std::string& last = names.back();
    size_t at = std::string::npos;
    for (size_t pos = zip.find("PK\x03\x04"); pos != std::string::npos; pos = zip.find("PK\x03\x04", pos + 4)) {
        const size_t nameLength = static_cast<uint8_t>(zip.at(pos + 26)) | static_cast<uint8_t>(zip.at(pos + 27)) << 8;
        const size_t extraLength = static_cast<uint8_t>(zip.at(pos + 28)) | static_cast<uint8_t>(zip.at(pos + 29)) << 8;
        if (zip.compare(pos + 30, nameLength, last) == 0) {
            at = pos + 30 + nameLength + extraLength + 12;  // past the encryption header
            break;
        }
    }
    ASSERT_NE(at, std::string::npos);
    for (size_t offset : {size_t(0), size_t(150000), size_t(300000)}) {
        SCOPED_TRACE(offset);
        std::string damaged = zip;
        damaged.at(at + offset) = static_cast<char>(damaged.at(at + offset) ^ 0x20);
        dir.Write("damaged.zip", damaged);
        testkit::LogCapture log;
        ASSERT_TRUE(Open("damaged.zip"));
        bool ok = true;
        ReadResource(pf::FromUtf8(last), &ok);
        EXPECT_FALSE(ok);
        EXPECT_TRUE(log.Contains("CRC error in the entry '" + last + "'"));
    }
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

TEST_F(ArchiveTest, ArchiveReopenedWhileReaderThreadsRead) {
    // Entries are read outside the archive's lock: a read that found its entry in one
    // archive finishes in that file, whole, while another archive replaces it.
    std::vector<std::string> names;
    std::vector<std::string> contents[2];
    for (int i = 0; i < 8; ++i) names.push_back("f" + std::to_string(i) + ".bin");
    for (int a = 0; a < 2; ++a) {
        for (int i = 0; i < 8; ++i) {
            contents[a].push_back(SampleBytes(30000 + i * 1000, 60 + 10 * a + i));
            Stage(names[size_t(i)], contents[a].back());
        }
        Zip(a ? "b.zip" : "a.zip", std::string(a ? "-0 " : "") + "-P " + kPassword, names);
    }
    ASSERT_TRUE(Open("a.zip"));
    std::atomic<bool> done{false};
    std::atomic<int> wrong{0}, reads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (size_t k = size_t(t); !done.load(); ++k) {
                const size_t i = k % names.size();
                pf::FileBuffer buffer;
                const bool read = fs.ReadResourceFile(buffer, pf::FromUtf8(names[i]));
                const std::string got = AsString(buffer);
                if (!read || (got != contents[0][i] && got != contents[1][i])) ++wrong;
                ++reads;
            }
        });
    }
    // The readers are joined before anything is asserted: a failed open ends the loop.
    bool opened = true;
    for (int round = 0; opened && (round < 40 || reads.load() < 200); ++round)
        opened = Open(round % 2 ? "a.zip" : "b.zip");
    done = true;
    for (auto& th : threads) th.join();
    EXPECT_TRUE(opened);
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(ArchiveTest, EntryClaimingAnotherSizeCostsOnlyItsData) {
    // A real archive of one 1 MB entry whose directory (and local header) then claim
    // another size: reading it must fail as damaged without allocating what it claims.
    const std::string content = NoiseBytes(1 << 20, 21);
    Stage("big.bin", content);
    Zip("honest.zip", std::string("-P ") + kPassword, {"big.bin"});
    const std::string honest = testkit::ReadFile(dir.Path() / "honest.zip");
    const size_t end = honest.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    const size_t central = GetLe32(honest, end + 16);
    ASSERT_EQ(honest.compare(central, 4, "PK\x01\x02"), 0);
    ASSERT_EQ(honest.compare(0, 4, "PK\x03\x04"), 0);
    const uint32_t stored = GetLe32(honest, central + 20);
    dir.Write("res/big.bin", "from the folder");

    for (uint32_t claim : {1u << 30, 1000u}) {
        SCOPED_TRACE(claim);
        ASSERT_LE(claim, (stored - 12) * 1032ull) << "within deflate's ratio: only the data can tell the lie";
        std::string lying = honest;
        PutLe32(lying, central + 24, claim);
        PutLe32(lying, 22, claim);
        dir.Write("lying.zip", lying);
        testkit::LogCapture log;
        ASSERT_TRUE(Open("lying.zip"));
        const bool watched = WatchAllocations();
        EXPECT_EQ(ReadResource(L"big.bin"), "from the folder");
        const size_t largest = LargestAllocation();
        if (watched) {
            EXPECT_LT(largest, size_t{8} << 20);
        }
        EXPECT_TRUE(log.Contains("the entry 'big.bin' is damaged")) << log.Text();
    }
    ASSERT_TRUE(Open("honest.zip"));
    EXPECT_EQ(ReadResource(L"big.bin"), content);
}

TEST_F(ArchiveTest, ManyEntriesOfMixedSizesReadBackInAnyOrder) {
    // Small entries around the sizes of the reader's buffers, a few large ones, in archives
    // with a comment or with bytes before the archive (as a self-extracting one has).
    std::vector<std::string> names, contents;
    for (int i = 0; i < 400; ++i) {
        const size_t size = i % 97 == 5 ? 200000 + i : (i * 37) % 5000;
        names.push_back("set" + std::to_string(i % 7) + "/item" + std::to_string(i) + ".bin");
        contents.push_back(i % 2 ? NoiseBytes(size, 100 + i) : SampleBytes(size, 100 + i));
        Stage(names.back(), contents.back());
    }
    Zip("data.zip", std::string("-P ") + kPassword, names);
    const std::string archive = testkit::ReadFile(dir.Path() / "data.zip");
    const std::string stub = NoiseBytes(70000, 3);
    dir.Write("prefixed.zip", stub + archive);
    dir.Write("adjusted.zip", stub + archive);
    ASSERT_EQ(testkit::RunCommand("zip -q -A " + Quote((dir.Path() / "adjusted.zip").string())), 0);
    dir.Write("commented.zip", archive);
    ASSERT_EQ(testkit::RunCommand("echo 'a comment' | zip -q -z " + Quote((dir.Path() / "commented.zip").string())),
              0);

    std::vector<size_t> order(names.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    for (const char* file : {"data.zip", "prefixed.zip", "adjusted.zip", "commented.zip"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(Open(file));
        int wrong = 0;
        for (size_t i : order) {
            pf::FileBuffer buffer;
            int size = -1;
            if (!fs.ReadResourceFile(buffer, pf::FromUtf8(names[i])) || AsString(buffer) != contents[i] ||
                !fs.GetResourceFileSize(pf::FromUtf8(names[i]), size) || size != static_cast<int>(contents[i].size()))
                ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ArchiveTest, ArchiveTruncatedOrReplacedWhileOpen) {
    std::vector<std::string> names, contents;
    for (int i = 0; i < 8; ++i) {
        names.push_back("f" + std::to_string(i) + ".bin");
        contents.push_back(NoiseBytes(30000, 40 + i));
        Stage(names.back(), contents.back());
    }
    Zip("data.zip", std::string("-P ") + kPassword, names);
    const std::filesystem::path path = dir.Path() / "data.zip";
    const std::string original = testkit::ReadFile(path);

    // Replaced by a new file under the same name: the open archive goes on reading the
    // file it opened, whole.
    ASSERT_TRUE(Open("data.zip"));
    dir.Write("other.zip", "not an archive at all");
    std::filesystem::rename(dir.Path() / "other.zip", path);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ReadResource(pf::FromUtf8(names[i])), contents[i]);

    // Cut in half in place: the entries before the cut still read, the others fail with
    // one log line each, and nothing crashes.
    dir.Write("data.zip", original);
    ASSERT_TRUE(Open("data.zip"));
    std::filesystem::resize_file(path, original.size() / 2);
    testkit::LogCapture log;
    int read = 0, failed = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        bool ok = false;
        const std::string got = ReadResource(pf::FromUtf8(names[i]), &ok);
        if (ok) {
            EXPECT_EQ(got, contents[i]);
        }
        ++(ok ? read : failed);
    }
    EXPECT_GE(read, 2);
    EXPECT_GE(failed, 2);
    EXPECT_EQ(log.Lines().size(), static_cast<size_t>(failed)) << log.Text();
}

TEST_F(ArchiveTest, LocalHeaderDisagreeingWithTheDirectoryFailsWithOneLogLine) {
    // Real archives (a stored entry of 4 MB after a small one) whose local header of the
    // big entry is then made to disagree with the directory: the read fails with its log
    // line, reads nothing past the file and allocates no more than the small entries need.
    const std::string big = NoiseBytes(4 << 20, 31);
    Stage("a.txt", "small");
    Stage("big.bin", big);
    dir.Write("res/big.bin", "from the folder");
    struct Case {
        const char* what;
        std::string options;
        size_t field;     // offset in the big entry's local header
        uint32_t value;   // written there (2 bytes)
        const char* log;  // what the log line says
    };
    const Case cases[] = {
        {"extra field pushes the data past the end", "-0", 28, 0xFFFF, "is truncated"},
        {"extra field pushes the data past the end, encrypted", std::string("-0 -P ") + kPassword, 28, 0xFFFF, "is truncated"},
        {"name length disagrees", "-0", 26, 200, "can't open the entry 'big.bin'"},
        {"method disagrees", std::string("-0 -P ") + kPassword, 8, 8, "can't open the entry 'big.bin'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir.Path() / "data.zip");
        Zip("data.zip", c.options, {"a.txt", "big.bin"});
        std::string bytes = testkit::ReadFile(dir.Path() / "data.zip");
        const size_t local = bytes.find(std::string("PK\x03\x04", 4), 1);
        ASSERT_NE(local, std::string::npos);
        ASSERT_EQ(bytes.compare(local + 30, 7, "big.bin"), 0);
        bytes[local + c.field] = static_cast<char>(c.value);
        bytes[local + c.field + 1] = static_cast<char>(c.value >> 8);
        dir.Write("bad.zip", bytes);
        ASSERT_TRUE(Open("bad.zip"));
        testkit::LogCapture log;
        const bool watched = WatchAllocations();
        EXPECT_EQ(ReadResource(L"big.bin"), "from the folder");
        const size_t largest = LargestAllocation();
        if (watched) {
            EXPECT_LT(largest, size_t{1} << 20);
        }
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_TRUE(log.Contains(c.log)) << log.Text();
        EXPECT_EQ(ReadResource(L"a.txt"), "small");
    }
}

TEST_F(ArchiveTest, DirectorySizeClaimsBeyondTheFileAreRefusedUnread) {
    const std::string deflated = NoiseBytes(100000, 51), stored = NoiseBytes(70000, 52);
    Stage("d.bin", deflated);
    Stage("s.bin", stored);
    // Directories claiming a stored entry of 4 GB, stored bytes past the file, or more
    // than deflate can give: refused before anything is read or allocated for them.
    Zip("data.zip", std::string("-P ") + kPassword, {"d.bin"});
    Zip("data.zip", std::string("-0 -P ") + kPassword, {"s.bin"});
    const std::string honest = testkit::ReadFile(dir.Path() / "data.zip");
    const size_t end = honest.rfind("PK\x05\x06");
    ASSERT_NE(end, std::string::npos);
    const size_t central = GetLe32(honest, end + 16);
    const size_t second = honest.find("PK\x01\x02", central + 4);
    ASSERT_NE(second, std::string::npos);
    ASSERT_EQ(honest.compare(central + 46, 5, "d.bin"), 0);
    ASSERT_EQ(honest.compare(second + 46, 5, "s.bin"), 0);
    struct Case {
        const char* what;
        size_t record;
        size_t field;  // 20 stored size, 24 size
        uint32_t value;
    };
    const Case cases[] = {
        {"stored entry of 4 GB", second, 24, 0xFFFFFFF0u},
        {"stored entry of 4 GB stored", second, 20, 0xFFFFFFF0u},
        {"stored bytes past the file", second, 20, 70012u + static_cast<uint32_t>(honest.size())},
        {"deflated bytes past the file", central, 20, static_cast<uint32_t>(honest.size()) + 1},
        {"deflate beyond its ratio", central, 24, 0x7FFFFFF0u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string lying = honest;
        PutLe32(lying, c.record + c.field, c.value);
        dir.Write("lying.zip", lying);
        ASSERT_TRUE(Open("lying.zip"));
        testkit::LogCapture log;
        const bool watched = WatchAllocations();
        bool ok = true;
        ReadResource(c.record == central ? L"d.bin" : L"s.bin", &ok);
        const size_t largest = LargestAllocation();
        EXPECT_FALSE(ok);
        if (watched) {
            EXPECT_LT(largest, size_t{1} << 20);
        }
        EXPECT_TRUE(log.Contains("has impossible sizes")) << log.Text();
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
    }
}

TEST_F(ArchiveTest, PlainArchiveWithoutPassword) {
    Stage("a.txt", "plain");
    Zip("plain.zip", "", {"a.txt"});
    ASSERT_TRUE(Open("plain.zip", ""));
    EXPECT_EQ(ReadResource(L"A.TXT"), "plain");
}

}  // namespace
}  // namespace filestest
