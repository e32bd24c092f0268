// One [section] of an INI-style configuration file, read from the data source (or the user
// folder) and written back to the user folder with the file's other sections kept.
//
// The text is narrow. Lines are separated by CR or LF and trimmed of blanks and tabs; empty
// lines do not count. A header is a line starting with '[' that contains ']' (the name is
// the text up to the first ']', compared exactly). Inside a section a line starting with
// '#' or ';' is a comment, a line with '=' is split at the first '=' (blanks around it stay
// in the key and the value), other lines are ignored. A section ends at the next line that
// starts with '['.
#pragma once

#include <string>
#include <vector>

#include "shell/foundation/ValueTypes.h"

namespace pf {

class FileSystem;

enum ConfigEntryKind { kConfigComment = 0, kConfigValue = 1 };

struct ConfigEntry {
    int kind = kConfigValue;
    std::string text;  // a comment's whole line
    std::string key;
    std::string value;
};

inline bool operator==(const ConfigEntry& a, const ConfigEntry& b) {
    return a.kind == b.kind && a.text == b.text && a.key == b.key && a.value == b.value;
}

// The text's lines: split at CR and LF, trimmed, empty ones dropped; a UTF-8 byte-order
// mark starting the first line is dropped.
std::vector<std::string> SplitConfigLines(const std::string& text);
// Fills `entries` with the first section called `section`; answers how many lines inside
// it were neither comments nor key=value lines. `found` tells whether the header exists.
int ParseConfigSection(const std::vector<std::string>& lines, const std::string& section,
                       std::vector<ConfigEntry>& entries, bool* found = nullptr);
// The file text with the first section called `section` replaced by the entries (appended
// when the file has no such section); every other line is kept, trimmed.
std::string RebuildConfigText(const std::vector<std::string>& lines, const std::string& section,
                              const std::vector<ConfigEntry>& entries);
// "[" + section + "]\n" and one line per entry.
std::string ConfigBlock(const std::string& section, const std::vector<ConfigEntry>& entries);

class ConfigSection {
public:
    ConfigSection(FileSystem& fs, const std::wstring& path);
    virtual ~ConfigSection();

    // Reads the named section; true when it holds at least one entry. A leading UTF-8
    // byte-order mark is skipped. A file that is not text (holds a 0 byte) or is larger
    // than kSmallFileLimit logs one line and loads nothing; Save then leaves it as it is.
    bool Load(const std::wstring& section);
    // Writes the section back into the file, keeping the file's other lines; true only
    // when the file was written (a failed write keeps the old file).
    bool Save();

    const std::wstring& GetName() const { return name_; }
    std::wstring GetString(const std::wstring& key, const std::wstring& defaultValue) const;
    int GetInt(const std::wstring& key, int defaultValue) const;
    Point GetPoint(const std::wstring& key, const Point& defaultValue) const;
    bool HasKey(const std::wstring& key) const { return Find(key) != nullptr; }
    // Keys match key=value entries only, never comments. A value that would not read back
    // as itself (a line break or a 0 byte, a trailing blank or tab), or a new key that
    // would not (holding '=', starting with a blank, a tab, '[', '#' or ';'), is refused
    // with one log line: saved, it would come back different or break other entries.
    void SetString(const std::wstring& key, const std::wstring& value);
    bool AddValue(const std::wstring& value, const std::wstring& key);
    int CountValues() const;
    const std::vector<ConfigEntry>& Entries() const { return entries_; }

private:
    const ConfigEntry* Find(const std::wstring& key) const;
    // Whether the value (and, for a new entry, the key) can be written as one line.
    bool Storable(const std::wstring& key, const std::wstring& value, bool newKey) const;
    // The file's text; false when it is not text or too large to be read.
    bool ReadText(std::string& text, bool& exists) const;

    FileSystem& fs_;
    std::wstring path_;
    std::wstring name_;
    std::vector<ConfigEntry> entries_;
};

}  // namespace pf
