// The data archive reader on arbitrary bytes: open, index, read and size every entry.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/fuzz_archive_" + std::to_string(::getpid()) + ".zip";
    pf::SetLogToStderr(false);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    pf::ZipArchive archive;
    if (archive.Open(path, "Qw7Lp2Xr9Tn4Vb6Mz1Kd")) {
        for (const std::string& name : archive.EntryNames()) {
            pf::FileBuffer buffer;
            int entrySize = -1;
            bool sized = archive.GetFileSize(name, entrySize);
            bool read = archive.ReadFile(buffer, name);
            if (read && (buffer.empty() || buffer.back() != 0 || !sized ||
                         pf::ContentSize(buffer) != static_cast<size_t>(entrySize))) {
                __builtin_trap();  // a read must agree with the size and end with a 0 byte
            }
            if (!read && !buffer.empty()) __builtin_trap();
        }
    }
    archive.Close();
    ::unlink(path.c_str());
    return 0;
}
