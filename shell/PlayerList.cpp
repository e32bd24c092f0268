#include "shell/PlayerList.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <tinyxml.h>

#include "shell/FileSystem.h"
#include "shell/Log.h"
#include "shell/Random.h"
#include "shell/TextHelpers.h"

namespace pf {

namespace {

bool InRanges(uint32_t c, const uint32_t (*ranges)[2], size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (c >= ranges[i][0] && c <= ranges[i][1]) return true;
    }
    return false;
}

// XML 1.0 NameStartChar without ':' (a prefix would need a namespace declaration).
bool IsNameStart(uint32_t c) {
    static const uint32_t kRanges[][2] = {
        {'A', 'Z'},         {'a', 'z'},         {'_', '_'},         {0xC0, 0xD6},       {0xD8, 0xF6},
        {0xF8, 0x2FF},      {0x370, 0x37D},     {0x37F, 0x1FFF},    {0x200C, 0x200D},   {0x2070, 0x218F},
        {0x2C00, 0x2FEF},   {0x3001, 0xD7FF},   {0xF900, 0xFDCF},   {0xFDF0, 0xFFFD},   {0x10000, 0xEFFFF},
    };
    return InRanges(c, kRanges, sizeof kRanges / sizeof kRanges[0]);
}

bool IsNameChar(uint32_t c) {
    static const uint32_t kRanges[][2] = {
        {'-', '.'}, {'0', '9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040},
    };
    return IsNameStart(c) || InRanges(c, kRanges, sizeof kRanges / sizeof kRanges[0]);
}

}  // namespace

bool IsXmlName(const std::wstring& name) {
    if (name.empty() || !IsNameStart(static_cast<uint32_t>(name[0]))) return false;
    for (wchar_t c : name) {
        if (!IsNameChar(static_cast<uint32_t>(c))) return false;
    }
    return true;
}

PlayerList::PlayerList(FileSystem* fs) : fs_(fs) {}

PlayerList::~PlayerList() = default;

int PlayerList::AddPlayer(const std::wstring& name) {
    names_.push_back(name);
    PlayerInfo& info = players_[name];
    info.uniqueId = static_cast<int>(rand32b());
    return info.uniqueId;
}

bool PlayerList::HasPlayer(const std::wstring& name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

void PlayerList::RemovePlayer(const std::wstring& name) {
    auto it = std::find(names_.begin(), names_.end(), name);
    if (it != names_.end()) names_.erase(it);
    players_.erase(name);
}

bool PlayerList::Load() {
    FileBuffer buffer;
    if (!fs_ || !ReadDataOrUserFile(*fs_, buffer, path_)) return false;
    const std::string text(reinterpret_cast<const char*>(buffer.data()), ContentSize(buffer));
    // Files are UTF-8; one that is not valid UTF-8 is read as Latin-1.
    const bool utf8 = ToUtf8(FromUtf8(text)) == text;
    auto decode = [utf8](const char* s) { return utf8 ? FromUtf8(s) : ToWString(s); };

    if (text.find('\0') != std::string::npos) {
        DebugStream() << "players: '" << path_ << "' is not a text file";
        return false;
    }
    TiXmlDocument doc;
    doc.Parse(text.c_str(), nullptr, utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_LEGACY);
    const TiXmlElement* root = doc.Error() ? nullptr : doc.RootElement();
    if (!root) {
        DebugStream() << "players: can't read '" << path_ << "': "
                      << (doc.Error() ? doc.ErrorDesc() : "no XML element") << " (line " << doc.ErrorRow() << ")";
        return false;
    }
    names_.clear();
    for (const TiXmlElement* player = root->FirstChildElement("Player"); player;
         player = player->NextSiblingElement("Player")) {
        const char* nameText = player->Attribute("name");
        const std::wstring name = decode(nameText ? nameText : "");
        if (name.empty()) continue;
        names_.push_back(name);
        if (player->Attribute("current")) current_ = name;
        PlayerInfo& info = players_[name];
        const char* id = player->Attribute("uniqueID");
        if (id && *id) {
            // "%x" without its undefined result on overflow: the low 32 bits of strtoul's.
            char* end = nullptr;
            const unsigned long value = std::strtoul(id, &end, 16);
            info.uniqueId = end == id ? 0 : static_cast<int>(static_cast<uint32_t>(value));
        }
        for (const TiXmlElement* property = player->FirstChildElement(); property;
             property = property->NextSiblingElement()) {
            if (const char* value = property->GetText()) info.properties[decode(property->Value())] = decode(value);
        }
    }
    return true;
}

std::string PlayerList::ToXml() const {
    TiXmlDocument doc;
    auto* root = new TiXmlElement("root");
    doc.LinkEndChild(root);
    for (const auto& [name, info] : players_) {
        auto* player = new TiXmlElement("Player");
        player->SetAttribute("name", ToUtf8(name).c_str());
        char id[16];
        std::snprintf(id, sizeof id, "%x", static_cast<unsigned>(info.uniqueId));
        player->SetAttribute("uniqueID", id);
        if (name == current_) player->SetAttribute("current", "1");
        for (const auto& [key, value] : info.properties) {
            if (!IsXmlName(key)) continue;  // SetProperty refuses them; never write a broken file
            auto* property = new TiXmlElement(ToUtf8(key).c_str());
            if (!value.empty()) property->LinkEndChild(new TiXmlText(ToUtf8(value).c_str()));
            player->LinkEndChild(property);
        }
        root->LinkEndChild(player);
    }
    TiXmlPrinter printer;
    printer.SetIndent("\t");
    doc.Accept(&printer);
    return printer.Str();
}

bool PlayerList::Save() { return fs_ && WriteUserFile(*fs_, path_, ToXml()); }

std::wstring PlayerList::GetCurrentPlayer() const { return current_; }

int PlayerList::GetCurrentPlayerID() const {
    const PlayerInfo* info = FindPlayer(current_);
    return info ? info->uniqueId : 0;
}

void PlayerList::SetCurrentPlayer(const std::wstring& name) { current_ = name; }

std::wstring PlayerList::GetFileName() const { return path_; }

void PlayerList::SetFileName(const std::wstring& path) { path_ = path; }

const std::vector<std::wstring>& PlayerList::GetSortedNames() {
    std::stable_sort(names_.begin(), names_.end());
    return names_;
}

const std::vector<std::wstring>& PlayerList::GetNames() const { return names_; }

PlayerInfo* PlayerList::FindPlayer(const std::wstring& name) {
    auto it = players_.find(name);
    return it == players_.end() ? nullptr : &it->second;
}

const PlayerInfo* PlayerList::FindPlayer(const std::wstring& name) const {
    auto it = players_.find(name);
    return it == players_.end() ? nullptr : &it->second;
}

void PlayerList::SetIntProperty(const std::wstring& player, const std::wstring& key, int value) {
    SetProperty(player, key, std::to_wstring(value));
}

void PlayerList::SetProperty(const std::wstring& player, const std::wstring& key, const std::wstring& text) {
    PlayerInfo* info = FindPlayer(player);
    if (!info) return;
    if (!IsXmlName(key)) {
        DebugStream() << "players: the property name '" << key << "' can't be stored";
        return;
    }
    info->properties[key] = text;
}

std::wstring PlayerList::GetProperty(const std::wstring& player, const std::wstring& key) const {
    const PlayerInfo* info = FindPlayer(player);
    if (!info) return std::wstring();
    auto it = info->properties.find(key);
    return it == info->properties.end() ? std::wstring() : it->second;
}

int PlayerList::GetIntProperty(const std::wstring& player, const std::wstring& key) const {
    const std::wstring text = GetProperty(player, key);
    if (text.empty()) return 0;
    long value = std::wcstol(text.c_str(), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

}  // namespace pf
