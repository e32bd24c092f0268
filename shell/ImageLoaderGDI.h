// PNG loading and saving (A8R8G8B8 images) on its own; ImageLoaderDX saves PNG through it.
#pragma once

#include "shell/ImageLoader.h"

namespace pf {

class ImageLoaderGDI : public ImageLoader {
public:
    // Decodes a PNG into A8R8G8B8 whatever the format asked for.
    bool Load(MemorySurface& out, const void* data, int size, PixelFormat format,
              FormatChecksums checksums = FormatChecksums::Verify) override;
    // Writes the A8R8G8B8 image as PNG (fileType is not looked at); answers whether the
    // whole file was written.
    bool Save(const wchar_t* path, int fileType, const PixelView& image) override;
};

}  // namespace pf
