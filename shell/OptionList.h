// The game options: the section "main" of "options.cfg", 18 fixed keys.
#pragma once

#include <memory>
#include <string>

namespace pf {

class ConfigSection;
class FileSystem;

enum OptionId {
    kOptionMusicVolume = 0,
    kOptionSoundsVolume,
    kOptionVoiceVolume,
    kOptionMusicMuted,
    kOptionSoundMuted,
    kOptionVoiceMuted,
    kOptionFullScreen,
    kOptionHighDetail,
    kOptionScretchScreen,
    kOptionProfanityFilter,
    kOptionAppHeight,
    kOptionAppWidth,
    kOptionDistributorName,
    kOptionProductName,
    kOptionProductShortName,
    kOptionProductVersion,
    kOptionWideScreenSupport,
    kOptionMaxFps,
    kOptionCount
};

// The key name of an option id ("" for an id out of range).
const wchar_t* OptionKeyName(int id);

class OptionList {
public:
    // The file system may be set later; without one nothing loads or saves.
    explicit OptionList(FileSystem* fs = nullptr);
    virtual ~OptionList();
    OptionList(const OptionList&) = delete;
    OptionList& operator=(const OptionList&) = delete;

    void SetFileSystem(FileSystem* fs) { fs_ = fs; }

    virtual std::wstring GetPath() const;
    virtual void SetPath(const std::wstring& path);
    // Reads the section "main" of the file; true when it holds at least one key=value
    // line. Afterwards (also on false) values can be set and saved.
    virtual bool load();
    // Writes the section back; false when nothing was loaded or the file was not written.
    virtual bool save();
    // "" when nothing is loaded or the key is missing.
    virtual std::wstring GetValue(const std::wstring& key) const;
    virtual std::wstring GetOption(int id) const;
    // Nothing happens before load.
    virtual void SetValue(const std::wstring& key, const std::wstring& value);
    virtual void SetOption(int id, const std::wstring& value);

    bool HasValue(const std::wstring& key) const;

private:
    FileSystem* fs_;
    std::wstring path_;
    std::unique_ptr<ConfigSection> section_;
};

}  // namespace pf
