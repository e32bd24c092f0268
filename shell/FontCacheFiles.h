// Where a font's cache files live: read from the data source or the user folder, written
// to the resource folder, or to the user folder when the resource folder is read-only.
#pragma once

#include <string>

#include "shell/FileSystem.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/pixels/Surface.h"

namespace pf {

class Display;
class ImageLoader;

// The file's size in the data source (archive or resource folder), else in the user
// folder; 0 when it is in neither.
int CacheFileSize(FileSystem& fs, const std::wstring& path, bool userFolder);
// Reads the file from the data source, or from the user folder (never unscrambled).
bool ReadCacheFile(FileSystem& fs, const std::wstring& path, FileBuffer& buffer, bool userFolder);
// Reads and decodes an image file (A8R8G8B8); false with a log line when it is missing or
// does not decode.
bool ReadCacheImage(FileSystem& fs, ImageLoader& loader, const std::wstring& path, bool userFolder,
                    MemorySurface& image);

// The folder that cache files go to: the resource folder when its "fonts" folder can be
// written (it is made when missing), else the user folder's (one log line says so). False,
// with a log line, when neither can be written. userFolder tells which was chosen.
bool ChooseCacheFolder(FileSystem& fs, const std::wstring& what, bool& userFolder);
// The OS path (UTF-8) of a file of that folder.
std::string CacheOsPath(FileSystem& fs, const std::wstring& path, bool userFolder);
// Writes an image as PNG / bytes as the whole file into the chosen folder.
bool WriteCacheImage(FileSystem& fs, ImageLoader& loader, const std::wstring& path, bool userFolder,
                     const PixelView& image);
bool WriteCacheBytes(FileSystem& fs, const std::wstring& path, bool userFolder, const uint8_t* data, int size);

// A font page surface from a decoded image: a texture when one fits, else a tiled huge
// surface; named with `name`. Null when the display cannot make it.
SurfacePtr MakeFontPageSurface(Display& display, const PixelView& image, const std::wstring& name);

}  // namespace pf
