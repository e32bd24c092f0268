// The codec layer behind the image loaders: decoders from file bytes into 32-bit pixels
// and the PNG writer. Every decoder keeps its state on the caller's stack (loads run on
// several threads at once), answers false with one log line on bad input, and fills
// `out` only on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/pixels/MemorySurface.h"

namespace pf {

// The 32-bit layouts the decoders write: A8R8G8B8 (bytes b, g, r, a) or A8B8G8R8 (bytes
// r, g, b, a).
enum class DecodeOrder { BGRA, RGBA };

// Images larger than this are refused before any pixel memory is taken.
constexpr int kMaxImageSide = 32768;
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;
// Whether a decoded size is acceptable; logs the refusal.
bool CheckImageSize(const char* codec, int64_t width, int64_t height);

// Whether a decoder sums again the checksums a format carries over its own bytes (a
// PNG's chunk CRCs and the Adler-32 of its compressed stream). Bytes that have just
// passed a checksum over the whole file, an archive entry's CRC-32, need not be summed a
// second time; the format's structure is checked either way.
enum class FormatChecksums { Verify, AlreadyVerified };

enum class ImageKind { Unknown, Png, Jpeg, Bmp, Pnm, Jpeg2000, Dds };
// What the first bytes say the file is (TGA has no signature: Unknown).
ImageKind SniffImage(const uint8_t* data, size_t size);

// A decoder's output surface of width x height pixels in the layout of `order`.
void InitDecoded(MemorySurface& out, int width, int height, DecodeOrder order);
// Stores one pixel at `d` in the layout of `order`.
inline void PutPixel(uint8_t* d, DecodeOrder order, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    d[0] = order == DecodeOrder::BGRA ? b : r;
    d[1] = g;
    d[2] = order == DecodeOrder::BGRA ? r : b;
    d[3] = a;
}

bool DecodePng(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order,
               FormatChecksums checksums = FormatChecksums::Verify);
bool DecodeJpeg(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// A JPEG holding more scans than this is refused (a progressive file may repeat scans
// without end, each one costing a pass over the whole image).
constexpr int kMaxJpegScans = 500;
// PGM and PPM, binary (P5, P6) of 8 or 16 bits a sample or plain text (P2, P3), and
// plain-text PBM (P1).
bool DecodePnm(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// BMP and TGA, except run-length BMP.
bool DecodeStb(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// Whether a BMP file's header says its pixels are run-length compressed (RLE8 or RLE4).
bool IsRunLengthBmp(const uint8_t* data, size_t size);
// Run-length compressed BMP of 8 or 4 bits a pixel.
bool DecodeBmpRle(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// DDS: uncompressed RGB, RGBA or luminance of 8 to 32 bits a pixel, and DXT1, DXT3 and
// DXT5; the first level of a plain 2D texture.
bool DecodeDds(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);

// The savers replace the file whole or not at all: a failed save leaves the old file as
// it was.
// Whether a saver can write the view (A8R8G8B8 with pixels); logs the refusal.
bool CheckSavable(const char* codec, const std::string& utf8Path, const PixelView& image);
// Writes an A8R8G8B8 view as an 8-bit RGBA PNG file; answers whether all of it was written.
bool SavePng(const std::string& utf8Path, const PixelView& image);
// Writes an A8R8G8B8 view as an uncompressed 32-bit DDS file.
bool SaveDds(const std::string& utf8Path, const PixelView& image);

}  // namespace pf
