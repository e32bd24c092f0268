// The player list through a save: load a fuzzed "players.xml" (the input up to its first 0
// byte), apply fuzzed changes (the bytes after it), save, load the saved file into a new
// list and compare. Every profile a file can hold must come back equal.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/support/MemoryFiles.h"
#include "shell/foundation/Log.h"
#include "shell/PlayerList.h"
#include "shell/Random.h"

namespace {

// What a reload answers for a saved profile: properties with an XML-name key and a
// non-empty value (an empty one reads as missing, which GetProperty answers the same).
std::map<std::wstring, std::wstring> Kept(const pf::PlayerInfo& info) {
    std::map<std::wstring, std::wstring> kept;
    for (const auto& [key, value] : info.properties) {
        if (pf::IsXmlName(key) && !value.empty()) kept[key] = value;
    }
    return kept;
}

std::wstring PickPlayer(fuzzkit::ByteReader& ops, const pf::PlayerList& list) {
    const auto& names = list.GetNames();
    const uint8_t pick = ops.Byte();
    if (pick < 0x80 && !names.empty()) return names[pick % names.size()];
    return ops.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pf::SetLogToStderr(false);
    pf::SeedRand(1);
    std::string file;
    fuzzkit::ByteReader ops(nullptr, 0);
    fuzzkit::SplitInput(data, size, file, ops);

    fuzzkit::MemoryFileSystem fs;
    fs.files[L"players.xml"] = file;
    pf::PlayerList list(&fs);
    list.SetFileName(L"players.xml");
    list.Load();
    for (int steps = 0; !ops.Done() && steps < 64; ++steps) {
        switch (ops.Byte() % 6) {
        case 0: list.AddPlayer(ops.Text()); break;
        case 1: {
            const std::wstring player = PickPlayer(ops, list);
            const std::wstring key = ops.Text();
            list.SetProperty(player, key, ops.Text());
            break;
        }
        case 2: {
            const std::wstring player = PickPlayer(ops, list);
            const std::wstring key = ops.Text();
            list.SetIntProperty(player, key, static_cast<int>(ops.Byte() | ops.Byte() << 8) - 0x8000);
            break;
        }
        case 3: list.RemovePlayer(PickPlayer(ops, list)); break;
        case 4: list.SetCurrentPlayer(PickPlayer(ops, list)); break;
        default: list.GetSortedNames(); break;
        }
    }
    if (!list.Save()) __builtin_trap();

    pf::PlayerList again(&fs);
    again.SetFileName(L"players.xml");
    if (!again.Load()) __builtin_trap();
    std::vector<std::wstring> expectedNames;
    std::wstring expectedCurrent;
    for (const auto& [name, info] : list.GetPlayers()) {
        if (name.empty() || !pf::IsStorableText(name)) continue;
        expectedNames.push_back(name);
        if (name == list.GetCurrentPlayer()) expectedCurrent = name;
        const pf::PlayerInfo* back = again.FindPlayer(name);
        if (!back || back->uniqueId != info.uniqueId || Kept(*back) != Kept(info)) __builtin_trap();
    }
    if (again.GetNames() != expectedNames || again.GetCurrentPlayer() != expectedCurrent) __builtin_trap();
    // Saved again, the file is the same, unless a player without a name or an empty value
    // was dropped on the way.
    bool anyEmpty = false;
    for (const auto& [name, info] : list.GetPlayers()) {
        anyEmpty = anyEmpty || name.empty();
        for (const auto& [key, value] : info.properties) anyEmpty = anyEmpty || (value.empty() && pf::IsXmlName(key));
    }
    if (!anyEmpty && again.ToXml() != fs.files[L"players.xml"]) __builtin_trap();
    return 0;
}
