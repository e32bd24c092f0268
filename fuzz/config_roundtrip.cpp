// A configuration section through a save: load [main] of a fuzzed file (the input up to
// its first 0 byte), apply fuzzed changes (the bytes after it), save, load the saved file
// into a new section and compare the entries.
#include <cstdint>
#include <string>

#include "fuzz/support/MemoryFiles.h"
#include "shell/ConfigSection.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    std::string file;
    fuzzkit::ByteReader ops(nullptr, 0);
    fuzzkit::SplitInput(data, size, file, ops);

    fuzzkit::MemoryFileSystem fs;
    fs.files[L"options.cfg"] = file;
    pf::ConfigSection section(fs, L"options.cfg");
    section.Load(L"main");
    for (int steps = 0; !ops.Done() && steps < 64; ++steps) {
        const uint8_t op = ops.Byte();
        const std::wstring key = ops.Text();
        const std::wstring value = ops.Text();
        if (op % 2 == 0) {
            section.SetString(key, value);
        } else {
            section.AddValue(value, key);
        }
        // A key reads what was stored under it, never a comment.
        if (section.HasKey(key)) {
            bool isValue = false;
            for (const pf::ConfigEntry& entry : section.Entries())
                isValue = isValue || (entry.kind == pf::kConfigValue && entry.key == pf::ToString(key));
            if (!isValue) __builtin_trap();
        }
    }
    if (!section.Save()) return 0;  // a file of line breaks only is left alone

    pf::ConfigSection again(fs, L"options.cfg");
    again.Load(L"main");
    if (section.Entries() != again.Entries()) __builtin_trap();
    return 0;
}
