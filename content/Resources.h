// A self-contained list of images, fonts and sounds read from one resources file. With a
// loading queue, images whose size the file declares are made deferred and queued.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "content/ResID.h"
#include "content/ResourceServices.h"

class ResAnim;
class ResFont;
class ThreadResourcesQueue;

class Resources {
public:
    // Makes a sound resource for a list entry (id, file system, path); none is installed
    // until there is sound, and sound entries are then skipped.
    using SoundMaker = std::function<Res*(const std::wstring& id, pf::FileSystem* fs, const std::wstring& path)>;

    // Loads with the application's services.
    Resources();
    explicit Resources(const ResourceServices& services);
    // Lets go of everything the list made; what actors, texts or a queue still hold
    // lives until they let go.
    virtual ~Resources();
    Resources(const Resources&) = delete;
    Resources& operator=(const Resources&) = delete;

    // Reads a resources file; false (with a log line) when it cannot be read or parsed
    // or holds no "resources" element.
    virtual bool load(const std::wstring& path, ThreadResourcesQueue* queue);
    virtual ResAnim* getAnim(const std::wstring& id);
    virtual ResFont* getFont(const std::wstring& id);
    virtual Res* getSound(const std::wstring& id);
    // Null for an index outside the list.
    virtual ResAnim* getAnimByIndex(unsigned index);
    virtual int GetCount();
    virtual const std::wstring& getXmlFilePath();

    static void SetSoundMaker(SoundMaker maker);

    // Images larger than this on a side are refused: more than any texture or memory
    // image the engine can use.
    static constexpr int kMaxDeclaredSide = 1 << 15;

private:
    my_intrusive_ptr<ResAnim> CreateAnimFromFile(const std::wstring& id, const std::wstring& path,
                                                 const std::wstring& alphaSrc, bool deferred, int width, int height);

    ResourceServices services_;
    std::wstring path_;
    std::map<std::wstring, my_intrusive_ptr<ResAnim>> anims_;
    std::vector<my_intrusive_ptr<ResAnim>> animList_;
    std::map<std::wstring, my_intrusive_ptr<ResFont>> fonts_;
    std::map<std::wstring, my_intrusive_ptr<Res>> sounds_;
};
