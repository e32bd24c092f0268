// Named player profiles (a unique id and text properties each), one of them current,
// stored as "players.xml":
//
//   <root>
//   	<Player name="a" uniqueID="1f" current="1">
//   		<key>value</key>
//   	</Player>
//   </root>
//
// printed with a tab per level and no XML declaration; text is UTF-8. Blanks that a parser
// would condense (at either end of a value, runs of them, tabs and line breaks) and a
// U+FEFF are written as character references, a value of blanks only as CDATA, so every
// value reads back as it was; older files read as before.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pf {

class FileSystem;

struct PlayerInfo {
    std::map<std::wstring, std::wstring> properties;
    int uniqueId = 0;
};

// Whether the text can name an XML element (property keys become element names) and
// read back as the same name: no leading U+FEFF, which the parser drops from start tags.
bool IsXmlName(const std::wstring& name);
// Whether every character may stand in an XML document (no control characters but tab,
// line feed and carriage return; no U+FFFE, U+FFFF or lone surrogates).
bool IsStorableText(const std::wstring& text);

class PlayerList {
public:
    explicit PlayerList(FileSystem* fs = nullptr);
    virtual ~PlayerList();

    void SetFileSystem(FileSystem* fs) { fs_ = fs; }

    // Appends the name (also when present), creates or reuses its profile and gives it a
    // new id, which it returns. A name a file can't hold (see IsStorableText) is refused
    // with one log line and answers 0.
    virtual int AddPlayer(const std::wstring& name);
    virtual bool HasPlayer(const std::wstring& name) const;
    virtual void RemovePlayer(const std::wstring& name);
    // Reads the file (data source, then user folder); false when missing or malformed
    // (one log line), leaving the names as they were. A file larger than kSmallFileLimit
    // is not read (one log line), and Save leaves it as it is.
    virtual bool Load();
    // Writes the file to the user folder; true only when it was written.
    virtual bool Save();
    virtual std::wstring GetCurrentPlayer() const;
    // 0 when the current player has no profile.
    virtual int GetCurrentPlayerID() const;
    virtual void SetCurrentPlayer(const std::wstring& name);
    virtual std::wstring GetFileName() const;
    virtual void SetFileName(const std::wstring& path);
    // Sorts the names in place and returns them.
    virtual const std::vector<std::wstring>& GetSortedNames();
    virtual const std::vector<std::wstring>& GetNames() const;
    virtual PlayerInfo* FindPlayer(const std::wstring& name);
    virtual const PlayerInfo* FindPlayer(const std::wstring& name) const;
    virtual void SetIntProperty(const std::wstring& player, const std::wstring& key, int value);
    // A key that is not an XML name, or a text a file can't hold, is refused (one log
    // line): it could not be stored. Every other value reads back equal after a save,
    // blanks included.
    virtual void SetProperty(const std::wstring& player, const std::wstring& key, const std::wstring& text);
    virtual std::wstring GetProperty(const std::wstring& player, const std::wstring& key) const;
    virtual int GetIntProperty(const std::wstring& player, const std::wstring& key) const;

    // The text Save writes.
    std::string ToXml() const;
    // Every profile by name (also profiles whose name was removed from the names).
    const std::map<std::wstring, PlayerInfo>& GetPlayers() const { return players_; }

private:
    FileSystem* fs_;
    std::wstring path_;
    std::vector<std::wstring> names_;
    std::map<std::wstring, PlayerInfo> players_;
    std::wstring current_;
    bool tooLarge_ = false;  // the last Load refused the file for its size
};

}  // namespace pf
