// Shared set-up of the file-area tests: a resource folder and a user folder in a temp
// folder, a file system over them, archives made with the real zip tool.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Oracle.h"
#include "common/TestSupport.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace filestest {

inline const char kPassword[] = "Qw7Lp2Xr9Tn4Vb6Mz1Kd";

// Quotes a word for the shell.
inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline std::string AsString(const pf::FileBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.data()), pf::ContentSize(buffer));
}

// Deterministic bytes: half text-like (compressible), half noise.
inline std::string SampleBytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = i % 2048 < 1024 ? static_cast<char>('a' + (i / 7 + seed) % 26) : static_cast<char>(x >> 24);
    }
    return s;
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RUV3_REQUIRE_PROGRAM("zip");
        RUV3_REQUIRE_PROGRAM("unzip");
        std::filesystem::create_directories(Res());
        std::filesystem::create_directories(User());
        fs.SetResourcePath(pf::FromUtf8(Res().string()));
        fs.SetUserPath(pf::FromUtf8(User().string()));
    }

    std::filesystem::path Res() const { return dir.Path() / "res"; }
    std::filesystem::path User() const { return dir.Path() / "user"; }
    std::filesystem::path Stage() const { return dir.Path() / "stage"; }

    // Writes a file into the staging folder, from which archives are made.
    void Stage(const std::string& name, const std::string& bytes) const { dir.Write("stage/" + name, bytes); }

    // Adds staged files to an archive (created when missing) with zip; options such as
    // "-0" (store) or "-P password".
    void Zip(const std::string& archive, const std::string& options, const std::vector<std::string>& names) const {
        std::string command = "cd " + Quote(Stage().string()) + " && zip -q " + options + " " +
                              Quote((dir.Path() / archive).string());
        for (const auto& n : names) command += " " + Quote(n);
        ASSERT_EQ(testkit::RunCommand(command), 0) << command;
    }

    // What unzip extracts for an entry.
    std::string Unzip(const std::string& archive, const std::string& password, const std::string& entry) const {
        std::filesystem::path out = dir.Path() / "unzipped.bin";
        std::string command = "unzip -p -P " + Quote(password) + " " + Quote((dir.Path() / archive).string()) + " " +
                              Quote(entry) + " > " + Quote(out.string());
        EXPECT_EQ(testkit::RunCommand(command), 0) << command;
        return testkit::ReadFile(out);
    }

    bool Open(const std::string& archive, const std::string& password = kPassword) {
        return fs.OpenArchive(pf::FromUtf8((dir.Path() / archive).string()), password);
    }

    std::string ReadResource(const std::wstring& path, bool* ok = nullptr) {
        pf::FileBuffer buffer;
        bool read = fs.ReadResourceFile(buffer, path);
        if (ok) *ok = read;
        if (read) {
            EXPECT_FALSE(buffer.empty());
            EXPECT_EQ(buffer.back(), 0) << "no trailing 0 byte";
        } else {
            EXPECT_TRUE(buffer.empty());
        }
        return AsString(buffer);
    }

    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
};

}  // namespace filestest
