// PNG through libpng.
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "shell/foundation/Log.h"
#include "shell/platform/AtomicWrite.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

namespace {

struct PngState {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    char message[200] = "";
    jmp_buf jump;
};

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    longjmp(state->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, png_size_t length) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (length > state->size - state->pos) png_error(png, "the file is truncated");
    std::memcpy(out, state->data + state->pos, length);
    state->pos += length;
}

void WriteBytes(png_structp png, png_bytep bytes, png_size_t length) {
    if (!static_cast<AtomicFileWriter*>(png_get_io_ptr(png))->Write(bytes, length))
        png_error(png, std::strerror(errno));
}

// The writer has no buffer of its own; the file is flushed to disk when committed.
void FlushFile(png_structp) {}

// The decode itself; no object with a destructor lives in this frame, so the jump back
// from libpng's error handler skips nothing.
bool ReadPng(png_structp png, png_infop info, PngState& state, MemorySurface& out,
             std::vector<png_bytep>& rows, DecodeOrder order, FormatChecksums checksums) {
    if (setjmp(state.jump)) return false;
    png_set_read_fn(png, &state, ReadBytes);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    if (checksums == FormatChecksums::AlreadyVerified) {
        // The chunk CRCs and the stream's Adler-32 are not computed at all.
        png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
        png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    }
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!CheckImageSize("PNG", width, height)) return false;
    const int colorType = png_get_color_type(png, info);
    // Every layout becomes 8-bit four-channel pixels: palettes and tRNS expanded, grey
    // repeated into r, g and b, 16-bit channels scaled to 8, opaque alpha added.
    png_set_expand(png);
    png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    if (order == DecodeOrder::BGRA) png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * 4) {
        std::snprintf(state.message, sizeof state.message, "unexpected row layout");
        return false;
    }
    // libpng writes every row before it returns; a decode that stops early longjmps out
    // and the caller drops the surface unseen.
    out.InitUnfilled(int(width), int(height), 4,
             order == DecodeOrder::BGRA ? PixelFormat::A8R8G8B8 : PixelFormat::A8B8G8R8);
    const PixelView view = out.GetView();
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = view.data + size_t(y) * size_t(view.pitch);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

bool WritePng(png_structp png, png_infop info, PngState& state, AtomicFileWriter* file,
              const PixelView& image, std::vector<png_bytep>& rows) {
    if (setjmp(state.jump)) return false;
    png_set_write_fn(png, file, WriteBytes, FlushFile);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order, FormatChecksums checksums) {
    PngState state;
    state.data = data;
    state.size = data ? size : 0;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        DebugStream() << "PNG: out of memory";
        return false;
    }
    std::vector<png_bytep> rows;
    MemorySurface decoded;
    const bool ok = ReadPng(png, info, state, decoded, rows, order, checksums);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        if (state.message[0]) DebugStream() << "PNG: cannot decode the image: " << state.message;
        return false;
    }
    out.Swap(decoded);
    return true;
}

bool SavePng(const std::string& utf8Path, const PixelView& image) {
    if (!CheckSavable("PNG", utf8Path, image)) return false;
    AtomicFileWriter file;
    if (!file.Open(utf8Path)) {
        DebugStream() << "PNG: cannot create \"" << utf8Path << "\": " << std::strerror(errno);
        return false;
    }
    PngState state;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(size_t(image.height));
    for (int y = 0; y < image.height; ++y) rows[size_t(y)] = image.data + ptrdiff_t(y) * image.pitch;
    bool ok = info && WritePng(png, info, state, &file, image, rows);
    png_destroy_write_struct(&png, &info);
    if (ok && !file.Commit()) {
        std::snprintf(state.message, sizeof state.message, "%s", std::strerror(errno));
        ok = false;
    }
    // An unfinished file is discarded with the writer; the old file stays as it was.
    if (!ok) DebugStream() << "PNG: cannot write \"" << utf8Path << "\": " << state.message;
    return ok;
}

}  // namespace pf
