#include "shell/FontCacheFiles.h"

#include <cstdio>
#include <vector>

#include "shell/Display.h"
#include "shell/HugeSurface.h"
#include "shell/ImageLoader.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/PathResolve.h"

namespace pf {

namespace {

std::wstring FolderOf(FileSystem& fs, bool userFolder) {
    std::vector<wchar_t> buffer(4096, 0);
    if (userFolder)
        fs.GetUserPath(buffer.data(), int(buffer.size()));
    else
        fs.GetResourcePath(buffer.data(), int(buffer.size()));
    return buffer.data();
}

// Whether files can be made in the folder's "fonts" folder (made here when missing).
bool FontsFolderWritable(FileSystem& fs, bool userFolder) {
    const std::string fonts = CacheOsPath(fs, L"fonts", userFolder);
    if (!IsFolder(fonts)) {
        const std::string parent = CacheOsPath(fs, L"", userFolder);
        if (!IsWritableFolder(parent.empty() ? "." : parent)) return false;
        // Another loader may make it at the same moment.
        if (!fs.CreateFolder(L"fonts", userFolder ? 0 : kFileInResourceFolder) && !IsFolder(fonts)) return false;
    }
    return IsWritableFolder(fonts);
}

}  // namespace

std::string CacheOsPath(FileSystem& fs, const std::wstring& path, bool userFolder) {
    return ResolvePath(ToOsPath(FolderOf(fs, userFolder)), ToUtf8(path));
}

int CacheFileSize(FileSystem& fs, const std::wstring& path, bool userFolder) {
    if (!userFolder) {
        int size = 0;
        return fs.GetResourceFileSize(path, size) ? size : 0;
    }
    int64_t size = 0;
    if (!RegularFileSize(CacheOsPath(fs, path, true), size) || size > 0x7FFFFFFF) return 0;
    return int(size);
}

bool ReadCacheFile(FileSystem& fs, const std::wstring& path, FileBuffer& buffer, bool userFolder) {
    return userFolder ? fs.ReadUserFile(buffer, path, false) : fs.ReadResourceFile(buffer, path);
}

bool ReadCacheImage(FileSystem& fs, ImageLoader& loader, const std::wstring& path, bool userFolder,
                    MemorySurface& image) {
    FileBuffer bytes;
    if (!ReadCacheFile(fs, path, bytes, userFolder) || ContentSize(bytes) == 0 ||
        ContentSize(bytes) > 0x7FFFFFFF) {
        DebugStream() << "Font - cannot read '" << path << "'";
        return false;
    }
    if (!loader.Load(image, bytes.data(), int(ContentSize(bytes)), PixelFormat::Default) ||
        image.GetWidth() <= 0 || image.GetHeight() <= 0) {
        DebugStream() << "Font - the image '" << path << "' does not decode";
        return false;
    }
    return true;
}

bool ChooseCacheFolder(FileSystem& fs, const std::wstring& what, bool& userFolder) {
    userFolder = false;
    if (FontsFolderWritable(fs, false)) return true;
    if (FontsFolderWritable(fs, true)) {
        DebugStream() << "Font - the resource folder is read-only; " << what << " goes to the user folder";
        userFolder = true;
        return true;
    }
    DebugStream() << "Font - neither the resource folder nor the user folder can hold " << what;
    return false;
}

bool WriteCacheImage(FileSystem& fs, ImageLoader& loader, const std::wstring& path, bool userFolder,
                     const PixelView& image) {
    if (!StaysInsideFolder(path)) return false;
    // The image is written in the folder the path names, never through a link on the way.
    const std::string folder = ToOsPath(FolderOf(fs, userFolder));
    const ParentBeneath parent(folder, ResolveBelow(folder, ToUtf8(path)));
    if (!parent.IsOpen()) {
        DebugStream() << "Font - cannot write '" << path << "': its folder is missing or reached through a link";
        return false;
    }
    return loader.Save(FromUtf8(parent.EntryPath()).c_str(), 2, image);
}

bool WriteCacheBytes(FileSystem& fs, const std::wstring& path, bool userFolder, const uint8_t* data, int size) {
    FileImpl* file = nullptr;
    bool ok = fs.OpenFileForWrite(file, path, userFolder ? 0 : kFileInResourceFolder, false) && file &&
              file->Write(data, size);
    ok = file && file->Close() && ok;
    SafeDelete(file);
    if (!ok) DebugStream() << "Font - cannot write '" << path << "'";
    return ok;
}

SurfacePtr MakeFontPageSurface(Display& display, const PixelView& image, const std::wstring& name) {
    SurfacePtr surface;
    if (FitsInTexture(display, image.width, image.height)) {
        surface = display.CreateSurfaceFromImage(image);
    } else {
        auto* huge = new HugeSurface(image, display);
        surface = huge;
        if (!huge->IsComplete()) surface.reset();
    }
    if (surface)
        surface->SetName(name);
    else
        DebugStream() << "Font - the display cannot make a surface for '" << name << "'";
    return surface;
}

}  // namespace pf
