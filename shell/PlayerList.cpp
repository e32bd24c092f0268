#include "shell/PlayerList.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <tinyxml.h>

#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/Random.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/XmlParse.h"

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

// A character XML 1.0 lets a document hold (as itself or as a reference).
bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// The text for a log line: characters that would break the line or the log are shown as '?'.
std::wstring Printable(std::wstring text) {
    for (wchar_t& c : text) c = c < 0x20 || !IsXmlChar(static_cast<uint32_t>(c)) ? L'?' : c;
    return text;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

void AppendReference(std::string& out, uint32_t c) {
    char ref[16];
    std::snprintf(ref, sizeof ref, "&#x%02X;", static_cast<unsigned>(c));
    out += ref;
}

// Escapes what markup would misread, writes tab, line feed and carriage return as
// references (raw, a reader would turn them into blanks) and leaves out characters no XML
// document may hold (the setters refuse them; this keeps the file well-formed whatever
// reached the map).
void AppendEscaped(std::string& out, const std::wstring& text, bool keepBlanks) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<uint32_t>(text[i]);
        if (!IsXmlChar(c)) continue;
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case ' ':
            // The parser condenses raw blanks in text (drops them at either end and runs
            // of them to one); only a lone blank between other characters survives raw.
            if (!keepBlanks || (i > 0 && i + 1 < text.size() && !IsBlank(text[i - 1]) && !IsBlank(text[i + 1])))
                out += ' ';
            else
                AppendReference(out, c);
            break;
        case 0xFEFF:
            // Raw, the parser would take a leading one for a byte-order mark and drop it.
            if (keepBlanks) AppendReference(out, c);
            else out += ToUtf8(std::wstring(1, text[i]));
            break;
        default:
            if (c < 0x20) AppendReference(out, c);
            else out += ToUtf8(std::wstring(1, text[i]));
        }
    }
}

// The element text of a property value. A value of blanks only is written as CDATA: as
// references the parser would read it back and then drop it as blank.
void AppendValue(std::string& out, const std::wstring& value) {
    bool blank = true;
    for (wchar_t c : value) blank = blank && IsBlank(c);
    if (!blank) return AppendEscaped(out, value, true);
    out += "<![CDATA[";
    out += ToUtf8(value);
    out += "]]>";
}

void AppendAttribute(std::string& out, const char* name, const std::wstring& value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendEscaped(out, value, false);
    out += '"';
}

}  // namespace

bool IsStorableText(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!IsXmlChar(static_cast<uint32_t>(c))) return false;
    }
    return true;
}

bool IsXmlName(const std::wstring& name) {
    // A leading U+FEFF would be skipped by the parser in the start tag but not in the end
    // tag, and the file would no longer load.
    if (name.empty() || name[0] == 0xFEFF || !IsNameStart(static_cast<uint32_t>(name[0]))) return false;
    for (wchar_t c : name) {
        if (!IsNameChar(static_cast<uint32_t>(c))) return false;
    }
    return true;
}

PlayerList::PlayerList(FileSystem* fs) : fs_(fs) {}

PlayerList::~PlayerList() = default;

int PlayerList::AddPlayer(const std::wstring& name) {
    if (!IsStorableText(name)) {
        DebugStream() << "players: the name '" << Printable(name) << "' holds characters a player file can't store";
        return 0;
    }
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
    tooLarge_ = false;
    if (!fs_ || !fs_->ReadSmallFile(buffer, path_, kSmallFileLimit, tooLarge_)) {
        if (tooLarge_)
            DebugStream() << "players: '" << path_ << "' is larger than " << (kSmallFileLimit >> 20)
                          << " MB: it is not read and is left as it is";
        return false;
    }
    const std::string text(reinterpret_cast<const char*>(buffer.data()), ContentSize(buffer));
    // Files are UTF-8; one that is not valid UTF-8 is read as Latin-1.
    const bool utf8 = ToUtf8(FromUtf8(text)) == text;
    // Characters no XML document may hold (older files stored control characters as
    // references) are dropped, so the list can be saved again.
    bool dropped = false;
    auto decode = [utf8, &dropped](const char* s) {
        std::wstring text = utf8 ? FromUtf8(s) : ToWString(s);
        const size_t before = text.size();
        text.erase(std::remove_if(text.begin(), text.end(), [](wchar_t c) { return !IsXmlChar(static_cast<uint32_t>(c)); }), text.end());
        dropped = dropped || text.size() != before;
        return text;
    };

    if (text.find('\0') != std::string::npos) {
        DebugStream() << "players: '" << path_ << "' is not a text file";
        return false;
    }
    TiXmlDocument doc;
    if (!ParseXml(doc, text, path_, utf8 ? XmlEncoding::kUtf8 : XmlEncoding::kLegacy)) return false;
    const TiXmlElement* root = doc.RootElement();
    if (!root) {
        DebugStream() << "players: can't read '" << path_ << "': no XML element";
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
            // The text is the run of text and CDATA nodes the element starts with (one
            // node, except for values written partly as CDATA).
            std::string value;
            const TiXmlNode* part = property->FirstChild();
            if (!part || !part->ToText()) continue;
            for (; part && part->ToText(); part = part->NextSibling()) value += part->Value();
            info.properties[decode(property->Value())] = decode(value.c_str());
        }
    }
    if (dropped) DebugStream() << "players: '" << path_ << "' holds characters XML does not allow; they were dropped";
    return true;
}

// Printed as TinyXML's printer would (a tab per level, "<e />" when empty) but with
// blanks in values written so that the parser keeps them.
std::string PlayerList::ToXml() const {
    if (players_.empty()) return "<root />\n";
    std::string out = "<root>\n";
    for (const auto& [name, info] : players_) {
        if (!IsStorableText(name)) continue;  // AddPlayer refuses them
        out += "\t<Player";
        AppendAttribute(out, "name", name);
        char id[16];
        std::snprintf(id, sizeof id, "%x", static_cast<unsigned>(info.uniqueId));
        AppendAttribute(out, "uniqueID", ToWString(id));
        if (name == current_) AppendAttribute(out, "current", L"1");
        bool any = false;
        for (const auto& [key, value] : info.properties) {
            if (!IsXmlName(key)) continue;  // SetProperty refuses them; never write a broken file
            if (!any) out += ">\n";
            any = true;
            const std::string element = ToUtf8(key);
            out += "\t\t<" + element;
            if (value.empty()) {
                out += " />\n";
                continue;
            }
            out += '>';
            AppendValue(out, value);
            out += "</" + element + ">\n";
        }
        out += any ? "\t</Player>\n" : " />\n";
    }
    return out + "</root>\n";
}

bool PlayerList::Save() {
    if (tooLarge_) {
        DebugStream() << "players: '" << path_ << "' was too large to read; it is not replaced";
        return false;
    }
    return fs_ && WriteUserFile(*fs_, path_, ToXml());
}

std::wstring PlayerList::GetCurrentPlayer() const { return current_; }

int PlayerList::GetCurrentPlayerID() const {
    const PlayerInfo* info = FindPlayer(current_);
    return info ? info->uniqueId : 0;
}

void PlayerList::SetCurrentPlayer(const std::wstring& name) { current_ = name; }

std::wstring PlayerList::GetFileName() const { return path_; }

void PlayerList::SetFileName(const std::wstring& path) {
    if (path != path_) tooLarge_ = false;
    path_ = path;
}

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
        DebugStream() << "players: the property name '" << Printable(key) << "' can't be stored";
        return;
    }
    if (!IsStorableText(text)) {
        DebugStream() << "players: the value of '" << Printable(key) << "' holds characters a player file can't store";
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
