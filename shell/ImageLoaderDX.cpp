#include "shell/ImageLoaderDX.h"

#include <cstdio>

#include "shell/ImageLoaderGDI.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/codecs/ImageCodec.h"
#include "shell/codecs/Jpeg2000Codec.h"

namespace pf {

namespace {

// The layout a decoder writes for a requested format; the rest is converted afterwards.
DecodeOrder OrderFor(PixelFormat format) {
    return format == PixelFormat::A8B8G8R8 ? DecodeOrder::RGBA : DecodeOrder::BGRA;
}

bool Decode(const uint8_t* bytes, size_t size, MemorySurface& out, PixelFormat format, FormatChecksums checksums) {
    const DecodeOrder order = OrderFor(format);
    switch (SniffImage(bytes, size)) {
    case ImageKind::Png: return DecodePng(bytes, size, out, order, checksums);
    case ImageKind::Jpeg: return DecodeJpeg(bytes, size, out, order);
    case ImageKind::Jpeg2000:
        DebugStream() << "Image: no JPEG 2000 decoder is installed";
        return false;
    case ImageKind::Pnm: return DecodePnm(bytes, size, out, order);
    case ImageKind::Dds: return DecodeDds(bytes, size, out, order);
    case ImageKind::Bmp:
        if (IsRunLengthBmp(bytes, size)) return DecodeBmpRle(bytes, size, out, order);
        return DecodeStb(bytes, size, out, order);
    default: return DecodeStb(bytes, size, out, order);  // TGA (no signature)
    }
}

// Gives out the decoded pixels in the format asked for.
bool Deliver(MemorySurface& decoded, MemorySurface& out, PixelFormat format) {
    if (format == decoded.GetFormat()) {
        out.Swap(decoded);
        return true;
    }
    PixelView src = decoded.GetView();
    if (format == PixelFormat::X8R8G8B8 && src.format == PixelFormat::A8R8G8B8) {
        // The same bytes; the fourth carries nothing.
        src.format = PixelFormat::X8R8G8B8;
        MemorySurface relabelled(src);
        out.Swap(relabelled);
        return true;
    }
    MemorySurface converted;
    converted.Init(src.width, src.height, BytesPerPixel(format), format);
    PixelView dst = converted.GetView();
    switch (format) {
    case PixelFormat::A8R8G8B8:
    case PixelFormat::A8B8G8R8:
    case PixelFormat::B8G8R8:
    case PixelFormat::R5G6B5:
    case PixelFormat::A4R4G4B4:
    case PixelFormat::R4G4B4A4:
    case PixelFormat::A1R5G5B5:
    case PixelFormat::R5G5B5A1: ConvertView(src, dst); break;
    default:
        DebugStream() << "Image: cannot decode into the pixel format " << int(format);
        return false;
    }
    out.Swap(converted);
    return true;
}

}  // namespace

ImageLoaderDX::ImageLoaderDX() : codec_(Jpeg2000Codec::Open()) {}

ImageLoaderDX::~ImageLoaderDX() = default;

bool ImageLoaderDX::HasJpeg2000() const { return codec_ != nullptr; }

bool ImageLoaderDX::Load(MemorySurface& out, const void* data, int size, PixelFormat format,
                         FormatChecksums checksums) {
    if (format == PixelFormat::Default) format = PixelFormat::A8R8G8B8;
    if (!data || size <= 0) {
        DebugStream() << "Image: no image data";
        return false;
    }
    const auto* bytes = static_cast<const uint8_t*>(data);
    const size_t length = size_t(size);

    if (codec_) {
        Jpeg2000Codec::Image image;
        switch (codec_->Decode(bytes, length, image)) {
        case Jpeg2000Codec::Result::Failed: return false;
        case Jpeg2000Codec::Result::Ok: {
            const PixelFormat source = image.components == 1 ? PixelFormat::L8 : PixelFormat::A8R8G8B8;
            PixelView src;
            // One byte a pixel for grey, four otherwise: from the component count.
            src.Set(image.width, image.height, image.components == 1 ? 1 : 4, image.pitch, source,
                    image.pixels.data());
            MemorySurface decoded;
            decoded.Init(image.width, image.height, 4, PixelFormat::A8R8G8B8);
            PixelView argb = decoded.GetView();
            CopyOrConvertView(src, argb);
            return Deliver(decoded, out, format);
        }
        case Jpeg2000Codec::Result::NotJpeg2000: break;
        }
    }

    MemorySurface decoded;
    if (!Decode(bytes, length, decoded, format, checksums)) return false;
    return Deliver(decoded, out, format);
}

bool ImageLoaderDX::Save(const wchar_t* path, int fileType, const PixelView& image) {
    if (!path || !image.data || image.width <= 0 || image.height <= 0) {
        DebugStream() << "Image: nothing to save";
        return false;
    }
    // Both writers take A8R8G8B8.
    MemorySurface converted;
    PixelView argb = image;
    if (image.format != PixelFormat::A8R8G8B8 || image.bytesPerPixel != 4) {
        converted.Init(image.width, image.height, 4, PixelFormat::A8R8G8B8);
        argb = converted.GetView();
        if (image.format == PixelFormat::X8R8G8B8) {
            // The fourth byte carries nothing: the saved image is opaque.
            PixelView src = image;
            src.format = PixelFormat::A8R8G8B8;
            CopyView(src, argb);
            FillAlpha(argb, 255);
        } else {
            ConvertView(image, argb);
        }
    }
    if (fileType == 3) return SaveDds(ToUtf8(path), argb);
    ImageLoaderGDI png;
    return png.Save(path, fileType, argb);
}

}  // namespace pf
