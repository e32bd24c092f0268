#include "shell/ConfigSection.h"

#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

std::string TrimLine(const std::string& line) {
    const char* blanks = " \t\n";
    size_t first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

// Whether the line is the header "[section]..." of the named section.
bool IsHeaderOf(const std::string& line, const std::string& section) {
    if (line.empty() || line[0] != '[') return false;
    size_t close = line.find(']');
    return close != std::string::npos && close - 1 == section.size() && line.compare(1, close - 1, section) == 0;
}

// Whether text can stand inside one line of the file: a line break would split the entry
// (and could start a section of its own), a 0 byte would make the file unreadable.
bool FitsInLine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// Lines are trimmed when read: blanks ending a value, or starting a new key, would be lost.
bool IsLineBlank(char c) { return c == ' ' || c == '\t'; }

// Whether a new "key=value" line reads back as that key: a key holding '=' would be split
// elsewhere, one starting with '[' would end the section, '#' or ';' make it a comment,
// leading blanks would be trimmed away.
bool ReadsBackAsKey(const std::string& key) {
    return FitsInLine(key) && key.find('=') == std::string::npos && !key.empty() && !IsLineBlank(key[0]) &&
           std::string("[#;").find(key[0]) == std::string::npos;
}

// Whether the text is stored as itself: the file holds one byte a character, so a
// character past U+00FF would be written, and read back, as '?'.
bool Narrows(const std::wstring& text) {
    for (wchar_t c : text)
        if (static_cast<unsigned long>(c) > 0xFF) return false;
    return true;
}

// Whether a value reads back as itself: one line, not ending in a blank.
bool ReadsBackAsValue(const std::string& value) {
    return FitsInLine(value) && (value.empty() || !IsLineBlank(value.back()));
}

// A UTF-8 byte-order mark (written by some editors) is not part of the first line; all
// of them go, so the line reads the same after a save that left them out.
std::string WithoutByteOrderMark(std::string line) {
    while (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line = TrimLine(line.substr(3));
    return line;
}

}  // namespace

std::vector<std::string> SplitConfigLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = TrimLine(text.substr(pos, end - pos));
        if (lines.empty()) line = WithoutByteOrderMark(line);
        if (!line.empty()) lines.push_back(std::move(line));
        pos = end + 1;
    }
    return lines;
}

int ParseConfigSection(const std::vector<std::string>& lines, const std::string& section,
                       std::vector<ConfigEntry>& entries, bool* found) {
    entries.clear();
    int skipped = 0;
    bool inside = false;
    if (found) *found = false;
    for (const std::string& line : lines) {
        if (!inside) {
            inside = IsHeaderOf(line, section);
            if (inside && found) *found = true;
            continue;
        }
        if (line[0] == '[') break;
        ConfigEntry entry;
        size_t eq = line.find('=');
        if (line[0] == '#' || line[0] == ';') {
            entry.kind = kConfigComment;
            entry.text = line;
        } else if (eq != std::string::npos) {
            entry.kind = kConfigValue;
            entry.key = line.substr(0, eq);
            entry.value = line.substr(eq + 1);
        } else {
            ++skipped;
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return skipped;
}

std::string ConfigBlock(const std::string& section, const std::vector<ConfigEntry>& entries) {
    std::string block = "[" + section + "]\n";
    for (const ConfigEntry& entry : entries) {
        block += entry.kind == kConfigComment ? entry.text : entry.key + "=" + entry.value;
        block += "\n";
    }
    return block;
}

std::string RebuildConfigText(const std::vector<std::string>& lines, const std::string& section,
                              const std::vector<ConfigEntry>& entries) {
    std::string text;
    bool written = false, skipping = false;
    for (const std::string& line : lines) {
        if (line[0] == '[') {
            skipping = false;
            // Only the first header of the section is the one read; later ones stay as
            // they are, like every other section.
            if (!written && IsHeaderOf(line, section)) {
                text += ConfigBlock(section, entries);
                written = skipping = true;
                continue;
            }
        }
        if (!skipping) text += line + "\n";
    }
    if (!written) text += ConfigBlock(section, entries);
    return text;
}

ConfigSection::ConfigSection(FileSystem& fs, const std::wstring& path) : fs_(fs), path_(path) {}

ConfigSection::~ConfigSection() = default;

bool ConfigSection::ReadText(std::string& text, bool& exists) const {
    FileBuffer buffer;
    bool tooLarge = false;
    exists = fs_.ReadSmallFile(buffer, path_, kSmallFileLimit, tooLarge);
    if (tooLarge) {
        DebugStream() << "config: '" << path_ << "' is larger than " << (kSmallFileLimit >> 20)
                      << " MB: it is not read, the defaults are used and the file is left as it is";
        return false;
    }
    text.assign(reinterpret_cast<const char*>(buffer.data()), ContentSize(buffer));
    if (text.find('\0') != std::string::npos) {
        DebugStream() << "config: '" << path_ << "' is not a text file";
        return false;
    }
    return true;
}

bool ConfigSection::Load(const std::wstring& section) {
    name_ = section;
    entries_.clear();
    std::string text;
    bool exists = false;
    if (!ReadText(text, exists) || !exists) return false;
    int skipped = ParseConfigSection(SplitConfigLines(text), ToString(section), entries_);
    if (skipped > 0) {
        DebugStream() << "config: '" << path_ << "' [" << section << "]: ignored " << skipped
                      << " line(s) that are neither key=value nor comment";
    }
    return !entries_.empty();
}

bool ConfigSection::Save() {
    std::string text;
    bool exists = false;
    if (!ReadText(text, exists)) return false;
    if (!exists && UserEntryExists(fs_, path_)) {
        // Written blind, the other sections of a file we may not read would be lost.
        DebugStream() << "config: '" << path_ << "' is there but cannot be read; it is not replaced";
        return false;
    }
    const std::string section = ToString(name_);
    if (!exists || text.empty()) return WriteUserFile(fs_, path_, ConfigBlock(section, entries_));
    std::vector<std::string> lines = SplitConfigLines(text);
    if (lines.empty()) return false;
    return WriteUserFile(fs_, path_, RebuildConfigText(lines, section, entries_));
}

const ConfigEntry* ConfigSection::Find(const std::wstring& key) const {
    if (!Narrows(key)) return nullptr;  // it would match the '?' of another key
    const std::string narrow = ToString(key);
    for (const ConfigEntry& entry : entries_) {
        if (entry.kind == kConfigValue && entry.key == narrow) return &entry;
    }
    return nullptr;
}

std::wstring ConfigSection::GetString(const std::wstring& key, const std::wstring& defaultValue) const {
    const ConfigEntry* entry = Find(key);
    return entry ? ToWString(entry->value) : defaultValue;
}

int ConfigSection::GetInt(const std::wstring& key, int defaultValue) const {
    const ConfigEntry* entry = Find(key);
    return entry ? ToInt(ToWString(entry->value)) : defaultValue;
}

Point ConfigSection::GetPoint(const std::wstring& key, const Point& defaultValue) const {
    const ConfigEntry* entry = Find(key);
    return entry ? ToPoint(ToWString(entry->value)) : defaultValue;
}

bool ConfigSection::Storable(const std::wstring& key, const std::wstring& value, bool newKey) const {
    if (Narrows(key) && Narrows(value) && ReadsBackAsValue(ToString(value)) &&
        (!newKey || ReadsBackAsKey(ToString(key))))
        return true;
    std::wstring shown = key;  // the log line stays one line
    for (wchar_t& c : shown) c = c == L'\r' || c == L'\n' || c == 0 ? L'?' : c;
    DebugStream() << "config: can't store the key '" << shown << "' in [" << name_ << "] of '" << path_
                  << "': it would not read back as one key=value line";
    return false;
}

void ConfigSection::SetString(const std::wstring& key, const std::wstring& value) {
    const std::string narrow = ToString(key);
    for (ConfigEntry& entry : entries_) {
        if (entry.kind == kConfigValue && entry.key == narrow) {
            if (Storable(key, value, false)) entry.value = ToString(value);
            return;
        }
    }
    AddValue(value, key);
}

bool ConfigSection::AddValue(const std::wstring& value, const std::wstring& key) {
    if (key.empty()) return false;
    const std::wstring trimmed = Trim(key);
    size_t insertAt = entries_.size();
    bool anyValue = false;
    for (size_t i = 0; i < entries_.size(); ++i) {
        ConfigEntry& entry = entries_[i];
        if (entry.kind != kConfigValue) continue;
        if (Trim(ToWString(entry.key)) == trimmed) {
            if (!Storable(key, value, false)) return false;
            entry.value = ToString(value);
            return true;
        }
        insertAt = i + 1;
        anyValue = true;
    }
    if (!Storable(key, value, true)) return false;
    ConfigEntry entry;
    entry.kind = kConfigValue;
    entry.key = ToString(key);
    entry.value = ToString(value);
    entries_.insert(anyValue ? entries_.begin() + static_cast<long>(insertAt) : entries_.end(), std::move(entry));
    return true;
}

int ConfigSection::CountValues() const {
    int count = 0;
    for (const ConfigEntry& entry : entries_) count += entry.kind == kConfigValue ? 1 : 0;
    return count;
}

}  // namespace pf
