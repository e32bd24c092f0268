// Decoding image files held in memory into memory surfaces, and saving image views.
#pragma once

#include "shell/codecs/ImageCodec.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/pixels/PixelView.h"

namespace pf {

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // Decodes size bytes into out in the format (0 means A8R8G8B8). False, with one log
    // line, when the bytes are not an image it can read.
    // `checksums` says whether the bytes have just passed a checksum over the whole file
    // (an archive entry's), so that the format's own need not be summed again.
    virtual bool Load(MemorySurface& out, const void* data, int size, PixelFormat format,
                      FormatChecksums checksums = FormatChecksums::Verify) = 0;
    // fileType 3 = DDS, any other value = PNG.
    virtual bool Save(const wchar_t* path, int fileType, const PixelView& image) = 0;
};

}  // namespace pf
