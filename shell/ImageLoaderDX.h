// The application's image loader: JPEG 2000 through the optional run-time codec, every
// other format (PNG, JPEG, BMP, TGA, PBM/PGM/PPM, DDS) through the codec layer; PNG and DDS
// saving.
#pragma once

#include <memory>

#include "shell/ImageLoader.h"

namespace pf {

class RenderDevice;  // the display's device; handed over after the display starts
class Jpeg2000Codec;

class ImageLoaderDX : public ImageLoader {
public:
    // Loads the optional JPEG 2000 codec when it is present.
    ImageLoaderDX();
    ~ImageLoaderDX() override;
    ImageLoaderDX(const ImageLoaderDX&) = delete;
    ImageLoaderDX& operator=(const ImageLoaderDX&) = delete;

    // Not owned; decoding does not need it.
    void SetDevice(RenderDevice* device) { device_ = device; }
    RenderDevice* GetDevice() const { return device_; }
    bool HasJpeg2000() const;

    bool Load(MemorySurface& out, const void* data, int size, PixelFormat format,
              FormatChecksums checksums = FormatChecksums::Verify) override;
    // PNG through ImageLoaderGDI; fileType 3 writes an uncompressed DDS file. Both answer
    // whether the file was written.
    bool Save(const wchar_t* path, int fileType, const PixelView& image) override;

private:
    RenderDevice* device_ = nullptr;
    std::unique_ptr<Jpeg2000Codec> codec_;
};

}  // namespace pf
