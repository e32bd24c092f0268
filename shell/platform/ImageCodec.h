// The codec layer behind the image loaders: decoders from file bytes into 32-bit pixels
// and the PNG writer. Every decoder keeps its state on the caller's stack (loads run on
// several threads at once), answers false with one log line on bad input, and fills
// `out` only on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/MemorySurface.h"

namespace pf {

// The 32-bit layouts the decoders write: A8R8G8B8 (bytes b, g, r, a) or A8B8G8R8 (bytes
// r, g, b, a).
enum class DecodeOrder { BGRA, RGBA };

// Images larger than this are refused before any pixel memory is taken.
constexpr int kMaxImageSide = 32768;
constexpr int64_t kMaxImagePixels = int64_t(1) << 26;
// Whether a decoded size is acceptable; logs the refusal.
bool CheckImageSize(const char* codec, int64_t width, int64_t height);

enum class ImageKind { Unknown, Png, Jpeg, Bmp, Pnm, Jpeg2000 };
// What the first bytes say the file is (TGA has no signature: Unknown).
ImageKind SniffImage(const uint8_t* data, size_t size);

bool DecodePng(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
bool DecodeJpeg(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// Binary PGM and PPM (P5, P6) of 8 or 16 bits a sample.
bool DecodePnm(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);
// BMP and TGA.
bool DecodeStb(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order);

// Writes an A8R8G8B8 view as an 8-bit RGBA PNG file; answers whether all of it was written.
bool SavePng(const std::string& utf8Path, const PixelView& image);
// Writes an A8R8G8B8 view as an uncompressed 32-bit DDS file.
bool SaveDds(const std::string& utf8Path, const PixelView& image);

}  // namespace pf
