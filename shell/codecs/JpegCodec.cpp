// JPEG through libjpeg-turbo.
#include <cstdio>
#include <csetjmp>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"

namespace pf {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";
};

void OnError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    longjmp(err->jump, 1);
}

// Warnings are ignored, except running out of data: a truncated file is an error here
// rather than an image padded with grey.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnError(cinfo);
}

// Called by the library as it reads; refuses the file once it holds too many scans.
struct ScanLimit {
    jpeg_progress_mgr mgr;
    JpegError* err;
};

void CheckScanCount(j_common_ptr cinfo) {
    auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->input_scan_number <= kMaxJpegScans) return;
    JpegError* err = reinterpret_cast<ScanLimit*>(cinfo->progress)->err;
    std::snprintf(err->message, sizeof err->message, "the file holds more than %d scans", kMaxJpegScans);
    longjmp(err->jump, 1);
}

// No object with a destructor lives in this frame (see the jump in OnError).
bool ReadJpeg(jpeg_decompress_struct& cinfo, JpegError& err, const uint8_t* data, size_t size,
              MemorySurface& out, std::vector<JSAMPROW>& rows, DecodeOrder order, ScanLimit& limit) {
    if (setjmp(err.jump)) return false;
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &limit.mgr;  // after creating: that clears the record
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (!CheckImageSize("JPEG", cinfo.image_width, cinfo.image_height)) return false;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : (order == DecodeOrder::BGRA ? JCS_EXT_BGRA : JCS_EXT_RGBA);
    jpeg_start_decompress(&cinfo);
    const int width = int(cinfo.output_width), height = int(cinfo.output_height);
    out.Init(width, height, 4,
             order == DecodeOrder::BGRA ? PixelFormat::A8R8G8B8 : PixelFormat::A8B8G8R8);
    const PixelView view = out.GetView();
    rows.resize(size_t(height));
    for (int y = 0; y < height; ++y) rows[size_t(y)] = view.data + ptrdiff_t(y) * view.pitch;
    while (cinfo.output_scanline < cinfo.output_height)
        jpeg_read_scanlines(&cinfo, rows.data() + cinfo.output_scanline,
                            cinfo.output_height - cinfo.output_scanline);
    if (cmyk) {
        // Adobe writes CMYK inverted: each byte is 255 - ink, so colour = byte x k / 255.
        const bool inverted = cinfo.saw_Adobe_marker;
        for (int y = 0; y < height; ++y) {
            uint8_t* p = rows[size_t(y)];
            for (int x = 0; x < width; ++x, p += 4) {
                int c = p[0], m = p[1], ye = p[2], k = p[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                const uint8_t r = uint8_t(c * k / 255), g = uint8_t(m * k / 255),
                              b = uint8_t(ye * k / 255);
                p[0] = order == DecodeOrder::BGRA ? b : r;
                p[1] = g;
                p[2] = order == DecodeOrder::BGRA ? r : b;
                p[3] = 255;
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, MemorySurface& out, DecodeOrder order) {
    if (!data || size == 0) {
        DebugStream() << "JPEG: cannot decode the image: no data";
        return false;
    }
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnError;
    err.mgr.emit_message = OnMessage;
    ScanLimit limit{};
    limit.mgr.progress_monitor = CheckScanCount;
    limit.err = &err;
    std::vector<JSAMPROW> rows;
    MemorySurface decoded;
    const bool ok = ReadJpeg(cinfo, err, data, size, decoded, rows, order, limit);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        if (err.message[0]) DebugStream() << "JPEG: cannot decode the image: " << err.message;
        return false;
    }
    out.Swap(decoded);
    return true;
}

}  // namespace pf
