// The file system over the resource and user folders: scrambled files, case-insensitive
// lookups, writes that never lose the old file, folder creation and deletion.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>

#include "FilesFixture.h"

namespace filestest {
namespace {

class FolderTest : public FilesTest {
protected:
    std::string ReadUser(const std::wstring& path, bool allowScrambled, bool* ok = nullptr) {
        pf::FileBuffer buffer;
        bool read = fs.ReadUserFile(buffer, path, allowScrambled);
        if (ok) *ok = read;
        if (read) {
            EXPECT_EQ(buffer.back(), 0);
        }
        return AsString(buffer);
    }

    // Opens, writes and closes a file; the result of Close.
    bool WriteFile(const std::wstring& path, const std::string& bytes, int flags = 0, bool scramble = false) {
        pf::FileImpl* file = nullptr;
        if (!fs.OpenFileForWrite(file, path, flags, scramble)) return false;
        bool ok = file->Write(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
        ok = file->Close() && ok;
        pf::SafeDelete(file);
        return ok;
    }

    static std::string Scrambled(std::string s) {
        for (char& c : s) c = static_cast<char>(c ^ 1);
        return s;
    }
};

TEST_F(FolderTest, FoldersEndWithSlashAndNullUserPathCopiesResource) {
    wchar_t buffer[512];
    fs.GetResourcePath(buffer, 512);
    EXPECT_EQ(std::wstring(buffer), pf::FromUtf8(Res().string()) + L"/");
    fs.GetUserPath(buffer, 4);  // too small: ""
    EXPECT_EQ(std::wstring(buffer), L"");
    fs.SetUserPath(nullptr);
    fs.GetUserPath(buffer, 512);
    EXPECT_EQ(std::wstring(buffer), pf::FromUtf8(Res().string()) + L"/");
}

TEST_F(FolderTest, ScrambledNameIsReadFirstAndUnscrambled) {
    dir.Write("res/a.txt", "plain");
    dir.Write("res/a.txte", Scrambled("secret"));
    EXPECT_EQ(ReadResource(L"a.txt"), "secret");
    int size = 0;
    EXPECT_TRUE(fs.GetResourceFileSize(L"a.txt", size));
    EXPECT_EQ(size, 6);

    dir.Write("user/u.txt", "plain user");
    dir.Write("user/u.txte", Scrambled("scrambled user"));
    EXPECT_EQ(ReadUser(L"u.txt", true), "scrambled user");
    EXPECT_EQ(ReadUser(L"u.txt", false), "plain user");  // never looks at the "e" name
    std::filesystem::remove(User() / "u.txt");
    bool ok = true;
    ReadUser(L"u.txt", false, &ok);
    EXPECT_FALSE(ok);
}

TEST_F(FolderTest, EveryReadEndsWithAZeroByteAlsoForEmptyFiles) {
    dir.Write("res/empty.txt", "");
    pf::FileBuffer buffer;
    ASSERT_TRUE(fs.ReadResourceFile(buffer, L"empty.txt"));
    EXPECT_EQ(buffer, pf::FileBuffer{0});
    dir.Write("user/abc", "abc");
    ASSERT_TRUE(fs.ReadUserFile(buffer, L"abc", true));
    EXPECT_EQ(buffer, (pf::FileBuffer{'a', 'b', 'c', 0}));
    EXPECT_FALSE(fs.ReadUserFile(buffer, L"missing", true));
    EXPECT_TRUE(buffer.empty());
    std::filesystem::create_directories(User() / "folder");
    EXPECT_FALSE(fs.ReadUserFile(buffer, L"folder", true));  // a folder is not a file
    // Nor is a pipe, and reading one must not wait for a writer.
    ASSERT_EQ(::mkfifo((User() / "pipe").c_str(), 0600), 0);
    EXPECT_FALSE(fs.ReadUserFile(buffer, L"pipe", true));
    EXPECT_TRUE(buffer.empty());
}

TEST_F(FolderTest, ComponentsMatchIgnoringCaseAndBackslashes) {
    dir.Write("res/cfg/vendor.cfg", "vendor");
    for (const wchar_t* path : {L"CFG/vendor.cfg", L"cfg/VENDOR.CFG", L"Cfg\\Vendor.cfg", L"cfg//vendor.cfg"}) {
        EXPECT_EQ(ReadResource(path), "vendor") << pf::ToUtf8(path);
    }
    // Writing under another spelling replaces the existing file instead of adding one.
    dir.Write("user/cfg/vendor.cfg", "old");
    EXPECT_TRUE(WriteFile(L"CFG\\Vendor.CFG", "new"));
    EXPECT_EQ(testkit::ReadFile(User() / "cfg/vendor.cfg"), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(User() / "cfg"), {}), 1);
    // A write that would leave the folder is refused.
    EXPECT_FALSE(WriteFile(L"..\\res\\CFG\\Vendor.CFG", "new"));
    EXPECT_EQ(testkit::ReadFile(Res() / "cfg/vendor.cfg"), "vendor");
}

TEST_F(FolderTest, WritesArePlainUnlessScramblingIsOn) {
    EXPECT_TRUE(WriteFile(L"plain.txt", "hello", 0, true));  // scrambling off: plain name and bytes
    EXPECT_EQ(testkit::ReadFile(User() / "plain.txt"), "hello");
    EXPECT_FALSE(std::filesystem::exists(User() / "plain.txte"));

    fs.SetScrambling(true);
    EXPECT_TRUE(WriteFile(L"s.txt", "hello", 0, true));
    EXPECT_EQ(testkit::ReadFile(User() / "s.txte"), Scrambled("hello"));
    EXPECT_EQ(ReadUser(L"s.txt", true), "hello");
    EXPECT_TRUE(fs.DeleteUserFile(L"s.txt"));  // the "e" name while scrambling
    EXPECT_FALSE(std::filesystem::exists(User() / "s.txte"));

    EXPECT_TRUE(WriteFile(L"r.txt", "res", pf::kFileInResourceFolder, true));
    EXPECT_EQ(ReadResource(L"r.txt"), "res");
    fs.SetScrambling(false);
    EXPECT_TRUE(WriteFile(L"r.txt", "plain res", pf::kFileInResourceFolder));
    EXPECT_EQ(testkit::ReadFile(Res() / "r.txt"), "plain res");
}

TEST_F(FolderTest, FailedWriteKeepsTheOldFile) {
    dir.Write("user/keep.txt", "old content");
    pf::FileImpl* file = nullptr;
    ASSERT_TRUE(fs.OpenFileForWrite(file, L"keep.txt", 0, false));
    EXPECT_FALSE(file->Write(nullptr, 0));  // size 0: false, nothing written
    // Until closed, the old file is untouched.
    EXPECT_TRUE(file->Write(reinterpret_cast<const uint8_t*>("new"), 3));
    EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), "old content");
    EXPECT_TRUE(file->Close());
    EXPECT_FALSE(file->Close());
    pf::SafeDelete(file);
    EXPECT_EQ(file, nullptr);
    EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), "new");

    // A write that fails part way (the file size limit stands in for a full disk): the
    // old file stays whole and no temporary file is left.
    {
        struct rlimit old;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = WriteFile(L"keep.txt", std::string(100000, 'z'));
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        EXPECT_FALSE(written);
        EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), "new");
    }
    // A folder that takes no new files: opening fails, the old file stays.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(User().c_str(), 0555), 0);
        EXPECT_FALSE(WriteFile(L"keep.txt", "lost?"));
        ::chmod(User().c_str(), 0755);
        EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), "new");
    }
    // A file the user made read-only is left as it is, for root too; one kept private
    // stays private when replaced.
    for (const mode_t mode : {0444, 0600}) {
        ASSERT_EQ(::chmod((User() / "keep.txt").c_str(), mode), 0);
        EXPECT_EQ(WriteFile(L"keep.txt", "changed"), mode == 0600) << std::oct << mode;
        EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), mode == 0600 ? "changed" : "new") << std::oct << mode;
        struct stat info {};
        ASSERT_EQ(::stat((User() / "keep.txt").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode) << std::oct << mode;
    }
    ASSERT_EQ(::chmod((User() / "keep.txt").c_str(), 0644), 0);
    // Destroying an open file keeps what was written, as closing it would.
    ASSERT_TRUE(fs.OpenFileForWrite(file, L"keep.txt", 0, false));
    file->Write(reinterpret_cast<const uint8_t*>("by delete"), 9);
    pf::SafeDelete(file);
    EXPECT_EQ(testkit::ReadFile(User() / "keep.txt"), "by delete");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(User()), {}), 1);
}

// A process killed during a save leaves its temporary file; the next write to the folder
// removes those of processes that are gone, once they are some minutes old (a writer whose
// process this one cannot see, in another PID namespace or on another machine sharing the
// folder, may still be writing a recent one), and nothing else.
TEST_F(FolderTest, StaleTemporariesAreRemovedWhenTheFolderIsNextWritten) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child), self = std::to_string(::getpid());
    const std::string stale[] = {"players.xml.tmp-" + dead + "-0", "options.cfg.tmp-" + dead + "-17"};
    const std::string kept[] = {"saving.tmp-" + self + "-3",   // this process may be writing it
                                "init.tmp-1-0",                // a live process
                                "notes.tmp-" + dead + "-x",   // not our pattern
                                "notes.tmp-" + dead,
                                "my.tmp-" + dead + "-1.txt",
                                "recent.tmp-" + dead + "-5"};  // written moments ago
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& name : stale) {
        dir.Write("user/" + name, "partial");
        std::filesystem::last_write_time(User() / name, old);
    }
    for (const auto& name : kept) dir.Write("user/" + name, "other");
    ASSERT_EQ(::mkdir((User() / ("dir.tmp-" + dead + "-2")).c_str(), 0755), 0);
    ASSERT_EQ(::symlink("nowhere", (User() / ("link.tmp-" + dead + "-4")).c_str()), 0);

    ASSERT_TRUE(WriteFile(L"other.txt", "x"));
    for (const auto& name : stale) EXPECT_FALSE(std::filesystem::exists(User() / name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(std::filesystem::exists(User() / name)) << name;
    EXPECT_TRUE(std::filesystem::is_directory(User() / ("dir.tmp-" + dead + "-2")));
    EXPECT_TRUE(std::filesystem::is_symlink(User() / ("link.tmp-" + dead + "-4")));
}

TEST_F(FolderTest, CreateFolderReportsAndLogsFailure) {
    testkit::LogCapture log;
    EXPECT_TRUE(fs.CreateFolder(L"saves", 0));
    EXPECT_TRUE(std::filesystem::is_directory(User() / "saves"));
    EXPECT_TRUE(fs.CreateFolder(L"cache", pf::kFileInResourceFolder));
    EXPECT_TRUE(std::filesystem::is_directory(Res() / "cache"));
    EXPECT_FALSE(fs.CreateFolder(L"SAVES", 0));  // exists under another spelling
    EXPECT_FALSE(fs.CreateFolder(L"no/such/parent", 0));
    EXPECT_EQ(log.Lines().size(), 2u);
    EXPECT_TRUE(log.Contains("can't Create Dir: '"));
}

TEST_F(FolderTest, DeleteFolderRemovesTheTreeButNeverFollowsLinks) {
    dir.Write("user/tree/a.txt", "a");
    dir.Write("user/tree/sub/b.txt", "b");
    dir.Write("user/tree/sub/deeper/c.txt", "c");
    dir.Write("outside/precious.txt", "keep me");
    ASSERT_EQ(::symlink((dir.Path() / "outside").c_str(), (User() / "tree/sub/link").c_str()), 0);
    ASSERT_EQ(::symlink((dir.Path() / "outside/precious.txt").c_str(), (User() / "tree/filelink").c_str()), 0);
    EXPECT_TRUE(fs.DeleteFolder(L"Tree"));
    EXPECT_FALSE(std::filesystem::exists(User() / "tree"));
    EXPECT_EQ(testkit::ReadFile(dir.Path() / "outside/precious.txt"), "keep me");

    testkit::LogCapture log;
    EXPECT_FALSE(fs.DeleteFolder(L"missing"));  // reports failure
    EXPECT_TRUE(log.Contains("Can't delete dir: "));
    ASSERT_EQ(::symlink((dir.Path() / "outside").c_str(), (User() / "dirlink").c_str()), 0);
    EXPECT_FALSE(fs.DeleteFolder(L"dirlink"));  // a link to a folder is not entered
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "outside/precious.txt"));
}

// Every file and its bytes below a folder (links listed, not followed).
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (auto it = std::filesystem::recursive_directory_iterator(root); it != std::filesystem::end(it); ++it) {
        const std::string name = std::filesystem::relative(it->path(), root).string();
        files[name] = it->is_symlink() ? "link" : it->is_directory() ? "folder" : testkit::ReadFile(it->path());
    }
    return files;
}

// A link planted anywhere in a path (not only as its last part) is never followed by a
// write, a delete or a folder creation: what the link points at, outside the folder,
// stays as it was.
TEST_F(FolderTest, LinksInTheMiddleOfAPathAreNeverFollowed) {
    struct Case {
        const char* what;
        std::function<bool(pf::FileSystemWin32&)> act;
    };
    auto write = [this](const std::wstring& path, int flags, bool scramble) {
        return [this, path, flags, scramble](pf::FileSystemWin32&) { return WriteFile(path, "planted", flags, scramble); };
    };
    const Case cases[] = {
        {"delete the folder behind a link through '.'", [](pf::FileSystemWin32& f) { return f.DeleteFolder(L"dirlink/."); }},
        {"delete a folder below a link", [](pf::FileSystemWin32& f) { return f.DeleteFolder(L"dirlink/inner"); }},
        {"delete a folder below a link deeper down", [](pf::FileSystemWin32& f) { return f.DeleteFolder(L"real/deeplink/inner"); }},
        {"delete a file below a link", [](pf::FileSystemWin32& f) { return f.DeleteUserFile(L"dirlink/precious.txt"); }},
        {"delete a file below a link, any case", [](pf::FileSystemWin32& f) { return f.DeleteUserFile(L"DIRLINK/Inner/deep.txt"); }},
        {"create a folder below a link", [](pf::FileSystemWin32& f) { return f.CreateFolder(L"dirlink/made", 0); }},
        {"create a folder in the resource folder below a link",
         [](pf::FileSystemWin32& f) { return f.CreateFolder(L"reslink/made", pf::kFileInResourceFolder); }},
        {"write a new file below a link", write(L"dirlink/new.txt", 0, false)},
        {"replace a file below a link", write(L"dirlink/precious.txt", 0, false)},
        {"replace a file below a link deeper down", write(L"real/deeplink/inner/deep.txt", 0, false)},
        {"write a scrambled file below a link",
         [this](pf::FileSystemWin32& f) {
             f.SetScrambling(true);
             return WriteFile(L"dirlink/precious.txt", "planted", 0, true);
         }},
        {"write in the resource folder below a link", write(L"reslink/precious.txt", pf::kFileInResourceFolder, false)},
        {"write through WriteUserFile", [](pf::FileSystemWin32& f) { return pf::WriteUserFile(f, L"dirlink/x.txt", "x"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::filesystem::path outside = dir.Path() / "outside";
        std::filesystem::remove_all(outside);
        std::filesystem::remove_all(User());
        std::filesystem::remove_all(Res() / "reslink");
        dir.Write("outside/precious.txt", "keep me");
        dir.Write("outside/inner/deep.txt", "keep me too");
        dir.Write("user/real/own.txt", "mine");
        ASSERT_EQ(::symlink(outside.c_str(), (User() / "dirlink").c_str()), 0);
        ASSERT_EQ(::symlink(outside.c_str(), (User() / "real/deeplink").c_str()), 0);
        ASSERT_EQ(::symlink(outside.c_str(), (Res() / "reslink").c_str()), 0);
        const auto before = Snapshot(outside);
        fs.SetScrambling(false);
        testkit::LogCapture log;
        EXPECT_FALSE(c.act(fs));
        EXPECT_EQ(Snapshot(outside), before);
        EXPECT_TRUE(std::filesystem::is_symlink(User() / "dirlink"));
        EXPECT_EQ(testkit::ReadFile(User() / "real/own.txt"), "mine");
    }
    std::filesystem::remove(Res() / "reslink");
}

// A folder on the way swapped for a link while the game writes, deletes and makes folders
// below it: each operation acts in the folder it opened or fails, never through the link.
TEST_F(FolderTest, AFolderSwappedForALinkMeanwhileIsNeverFollowed) {
    const std::filesystem::path outside = dir.Path() / "outside";
    dir.Write("outside/x.txt", "keep me");
    dir.Write("user/sub/x.txt", "mine");
    ASSERT_EQ(::symlink(outside.c_str(), (User() / "alt").c_str()), 0);
    const auto before = Snapshot(outside);
    std::atomic<bool> done{false};
    std::atomic<int> swaps{0};
    std::thread swapper([&] {
        const std::string sub = (User() / "sub").string(), alt = (User() / "alt").string();
        while (!done.load()) {
            if (::renameat2(AT_FDCWD, sub.c_str(), AT_FDCWD, alt.c_str(), RENAME_EXCHANGE) == 0) ++swaps;
        }
    });
    testkit::LogCapture log;
    // Until the swapper has swapped often while operations ran (a bound on rounds too).
    for (int round = 0; round < 20000 && (round < 200 || swaps.load() < 200); ++round) {
        pf::WriteUserFile(fs, L"sub/x.txt", "planted");
        fs.CreateFolder(L"sub/made", 0);
        fs.DeleteFolder(L"sub/made");
        fs.DeleteUserFile(L"sub/x.txt");
    }
    done = true;
    swapper.join();
    EXPECT_GE(swaps.load(), 200);
    EXPECT_EQ(Snapshot(outside), before);
}

// The escapes that carry a system folder's odd bytes in wide text are not honoured in a
// path from data or a script: no name with a byte that is not UTF-8 is ever made.
TEST_F(FolderTest, EscapedBytesInAPathFromDataMakeNoOddName) {
    const std::wstring odd = std::wstring(L"odd") + wchar_t(0xDCFF) + wchar_t(0xDC80);
    testkit::LogCapture log;
    fs.CreateFolder(odd, 0);
    fs.CreateFolder(odd, pf::kFileInResourceFolder);
    pf::WriteUserFile(fs, odd + L".txt", "x");
    for (const auto& root : {User(), Res()}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::string name = entry.path().filename().string();
            EXPECT_EQ(pf::ToUtf8(pf::FromUtf8(name)), name) << "a name that is not UTF-8 was made";
        }
    }
}

TEST_F(FolderTest, DeleteUserFile) {
    dir.Write("user/Gone.txt", "x");
    EXPECT_TRUE(fs.DeleteUserFile(L"gone.txt"));
    EXPECT_FALSE(std::filesystem::exists(User() / "Gone.txt"));
    EXPECT_FALSE(fs.DeleteUserFile(L"gone.txt"));
}

}  // namespace
}  // namespace filestest
