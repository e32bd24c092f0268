// JPEG 2000 through OpenJPEG, opened at run time: its absence only leaves JPEG 2000 files
// unread. Each decode has its own codec and stream objects, so loads may run at once.
#include "shell/codecs/Jpeg2000Codec.h"

#include <algorithm>

#include "shell/foundation/Log.h"
#include "shell/codecs/ImageCodec.h"
#include "shell/platform/SharedLibrary.h"

#if RUV3_HAVE_OPENJPEG
#include <openjpeg.h>

#include <cstring>
#endif

namespace pf {

namespace {

uint32_t BE16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t BE32(const uint8_t* p) { return BE16(p) << 16 | BE16(p + 2); }

// The codestream inside a JP2 file's top-level boxes; null with `why` set when there is
// none.
const uint8_t* FindCodestream(const uint8_t* data, size_t size, size_t& length, const char*& why) {
    size_t pos = 0;
    while (size - pos >= 8) {
        uint64_t boxLength = BE32(data + pos);
        const uint32_t type = BE32(data + pos + 4);
        size_t headerBytes = 8;
        if (boxLength == 1) {  // a 64-bit length follows the type
            if (size - pos < 16) break;  // truncated
            boxLength = uint64_t(BE32(data + pos + 8)) << 32 | BE32(data + pos + 12);
            headerBytes = 16;
        } else if (boxLength == 0) {  // the box runs to the end of the file
            boxLength = size - pos;
        }
        if (boxLength < headerBytes) {
            why = "a box is malformed";
            return nullptr;
        }
        if (type == 0x6A703263) {  // "jp2c"
            length = size_t(std::min<uint64_t>(boxLength, size - pos)) - headerBytes;
            return data + pos + headerBytes;
        }
        if (boxLength > size - pos) break;
        pos += size_t(boxLength);
    }
    why = pos < size ? "the file is truncated" : "the file holds no codestream";
    return nullptr;
}

}  // namespace

bool CheckJpeg2000Header(const uint8_t* data, size_t size) {
    const char* why = nullptr;
    const uint8_t* cs = data;
    size_t length = size;
    if (data && size >= 4 && data[0] == 0) cs = FindCodestream(data, size, length, why);
    // The main header starts with SOC and SIZ: Lsiz, Rsiz, then the reference grid's
    // size and offset, the tile size and offset, and the component count (38 bytes), then
    // three bytes a component (depth, horizontal and vertical sampling).
    if (!why && (!cs || length < 44 || BE32(cs) != 0xFF4FFF51)) why = "the header is cut short or malformed";
    if (why) {
        DebugStream() << "JPEG 2000: cannot decode the image: " << why;
        return false;
    }
    const uint8_t* siz = cs + 4;
    const int64_t gridW = BE32(siz + 4), gridH = BE32(siz + 8);
    const int64_t imageX = BE32(siz + 12), imageY = BE32(siz + 16);
    const int64_t tileW = BE32(siz + 20), tileH = BE32(siz + 24);
    const int64_t tileX = BE32(siz + 28), tileY = BE32(siz + 32);
    const uint32_t components = BE16(siz + 36);
    if (gridW <= imageX || gridH <= imageY || tileW == 0 || tileH == 0 || tileX > imageX || tileY > imageY ||
        tileX + tileW <= imageX || tileY + tileH <= imageY) {
        why = "the header is malformed";
    } else if (!CheckImageSize("JPEG 2000", gridW - imageX, gridH - imageY)) {
        return false;
    } else if (const int64_t tiles = ((gridW - tileX + tileW - 1) / tileW) * ((gridH - tileY + tileH - 1) / tileH);
               tiles > kMaxJpeg2000Tiles) {
        DebugStream() << "JPEG 2000: refusing an image of " << tiles << " tiles";
        return false;
    } else if (components < 1 || components > 4 || BE16(siz) != 38 + 3 * components) {
        why = "unsupported component layout";
    } else if (length < 4 + 38 + 3 * size_t(components)) {
        why = "the header is cut short or malformed";
    } else {
        // Every component must cover the whole image at full resolution.
        for (uint32_t c = 0; c < components && !why; ++c)
            if (siz[38 + 3 * c + 1] != 1 || siz[38 + 3 * c + 2] != 1) why = "unsupported component layout";
    }
    if (why) {
        DebugStream() << "JPEG 2000: cannot decode the image: " << why;
        return false;
    }
    return true;
}

#if RUV3_HAVE_OPENJPEG

// The entry points, looked up by name.
struct Jpeg2000Codec::Api {
#define RUV3_OPJ_FUNCTIONS(X)                                                                   \
    X(opj_stream_create) X(opj_stream_set_user_data) X(opj_stream_set_user_data_length)         \
    X(opj_stream_set_read_function) X(opj_stream_set_skip_function)                             \
    X(opj_stream_set_seek_function) X(opj_stream_destroy) X(opj_create_decompress)              \
    X(opj_set_error_handler) X(opj_set_warning_handler) X(opj_set_info_handler)                 \
    X(opj_set_default_decoder_parameters) X(opj_setup_decoder) X(opj_read_header) X(opj_decode) \
    X(opj_end_decompress) X(opj_image_destroy) X(opj_destroy_codec)
#define RUV3_OPJ_MEMBER(name) decltype(&::name) name = nullptr;
    RUV3_OPJ_FUNCTIONS(RUV3_OPJ_MEMBER)
};

namespace {

struct MemoryStream {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

OPJ_SIZE_T ReadStream(void* buffer, OPJ_SIZE_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (s->pos >= s->size) return OPJ_SIZE_T(-1);
    const size_t count = std::min(size_t(n), s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, count);
    s->pos += count;
    return count;
}

OPJ_OFF_T SkipStream(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0 || size_t(n) > s->size - s->pos) return -1;
    s->pos += size_t(n);
    return n;
}

OPJ_BOOL SeekStream(OPJ_OFF_T n, void* user) {
    auto* s = static_cast<MemoryStream*>(user);
    if (n < 0 || size_t(n) > s->size) return OPJ_FALSE;
    s->pos = size_t(n);
    return OPJ_TRUE;
}

void KeepFirstError(const char* message, void* user) {
    auto* first = static_cast<std::string*>(user);
    if (first->empty()) {
        *first = message;
        while (!first->empty() && (first->back() == '\n' || first->back() == ' ')) first->pop_back();
    }
}

void Quiet(const char*, void*) {}

// One component sample scaled to 8 bits.
inline uint8_t Sample(const opj_image_comp_t& c, size_t i) {
    // Wide arithmetic and a clamp to the precision first: a sample out of its range must
    // not overflow the scaling.
    const int64_t max = (int64_t(1) << c.prec) - 1;
    int64_t v = c.data[i];
    if (c.sgnd) v += int64_t(1) << (c.prec - 1);
    v = std::clamp<int64_t>(v, 0, max);
    if (c.prec > 8) v >>= (c.prec - 8);
    else if (c.prec < 8) v = v * 255 / max;
    return uint8_t(v);
}

}  // namespace

std::unique_ptr<Jpeg2000Codec> Jpeg2000Codec::Open() {
    void* library = OpenSharedLibrary("libopenjp2.so.7");
    if (!library) return nullptr;
    std::unique_ptr<Jpeg2000Codec> codec(new Jpeg2000Codec());
    codec->library_ = library;
    codec->api_ = std::make_unique<Api>();
    bool complete = true;
#define RUV3_OPJ_LOOKUP(name)                                                      \
    codec->api_->name = reinterpret_cast<decltype(&::name)>(FindLibrarySymbol(library, #name)); \
    complete = complete && codec->api_->name;
    RUV3_OPJ_FUNCTIONS(RUV3_OPJ_LOOKUP)
    if (!complete) {
        DebugStream() << "JPEG 2000: the OpenJPEG library lacks an entry point; JPEG 2000 is off";
        return nullptr;
    }
    return codec;
}

Jpeg2000Codec::~Jpeg2000Codec() {
    CloseSharedLibrary(library_);
}

Jpeg2000Codec::Result Jpeg2000Codec::Decode(const uint8_t* data, size_t size, Image& out) const {
    if (SniffImage(data, size) != ImageKind::Jpeg2000) return Result::NotJpeg2000;
    if (!CheckJpeg2000Header(data, size)) return Result::Failed;  // logged
    const Api& opj = *api_;
    const bool jp2 = data[0] == 0;  // the JP2 box signature; else a raw codestream
    MemoryStream memory{data, size};
    std::string error;
    opj_stream_t* stream = opj.opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE);
    opj_codec_t* codec = opj.opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_image_t* image = nullptr;
    bool ok = stream && codec;
    if (ok) {
        opj.opj_stream_set_user_data(stream, &memory, nullptr);
        opj.opj_stream_set_user_data_length(stream, size);
        opj.opj_stream_set_read_function(stream, ReadStream);
        opj.opj_stream_set_skip_function(stream, SkipStream);
        opj.opj_stream_set_seek_function(stream, SeekStream);
        opj.opj_set_error_handler(codec, KeepFirstError, &error);
        opj.opj_set_warning_handler(codec, Quiet, nullptr);
        opj.opj_set_info_handler(codec, Quiet, nullptr);
        opj_dparameters_t parameters;
        opj.opj_set_default_decoder_parameters(&parameters);
        ok = opj.opj_setup_decoder(codec, &parameters) && opj.opj_read_header(stream, codec, &image) && image;
    }
    int64_t width = 0, height = 0;
    uint32_t n = 0;
    bool refused = false;
    if (ok) {
        // The size is checked from the header, before the decoder takes memory for the pixels.
        width = int64_t(image->x1) - image->x0;
        height = int64_t(image->y1) - image->y0;
        n = image->numcomps;
        if (!CheckImageSize("JPEG 2000", width, height)) {
            refused = true;  // logged
            ok = false;
        } else if (n < 1 || n > 4) {
            error = "unsupported component layout";
            ok = false;
        } else {
            ok = opj.opj_decode(codec, stream, image) && opj.opj_end_decompress(codec, stream);
        }
    }
    if (ok) {
        // Every component must cover the whole image at full resolution.
        for (uint32_t c = 0; ok && c < n; ++c) {
            const opj_image_comp_t& comp = image->comps[c];
            ok = comp.data && comp.w == uint32_t(width) && comp.h == uint32_t(height) && comp.prec >= 1 &&
                 comp.prec <= 31;
        }
        if (!ok && error.empty()) error = "unsupported component layout";
        if (ok) {
            out.width = int(width);
            out.height = int(height);
            out.components = int(n);
            const int bpp = n == 1 ? 1 : 4;
            out.pitch = out.width * bpp;
            out.pixels.assign(size_t(out.pitch) * size_t(out.height), 0);
            const size_t count = size_t(width) * size_t(height);
            const opj_image_comp_t* comps = image->comps;
            uint8_t* p = out.pixels.data();
            for (size_t i = 0; i < count; ++i, p += bpp) {
                if (n == 1) {
                    p[0] = Sample(comps[0], i);
                    continue;
                }
                const bool grey = n == 2;  // grey and alpha
                const uint8_t r = Sample(comps[0], i);
                p[0] = grey ? r : Sample(comps[2], i);
                p[1] = grey ? r : Sample(comps[1], i);
                p[2] = r;
                p[3] = n == 2 ? Sample(comps[1], i) : n == 4 ? Sample(comps[3], i) : 255;
            }
        }
    }
    if (image) opj.opj_image_destroy(image);
    if (codec) opj.opj_destroy_codec(codec);
    if (stream) opj.opj_stream_destroy(stream);
    if (!ok) {
        if (!refused)
            DebugStream() << "JPEG 2000: cannot decode the image: " << (error.empty() ? "decoding failed" : error);
        return Result::Failed;
    }
    return Result::Ok;
}

#else  // built without OpenJPEG's header: JPEG 2000 files are left to the other decoders

struct Jpeg2000Codec::Api {};

std::unique_ptr<Jpeg2000Codec> Jpeg2000Codec::Open() { return nullptr; }

Jpeg2000Codec::~Jpeg2000Codec() = default;

Jpeg2000Codec::Result Jpeg2000Codec::Decode(const uint8_t*, size_t, Image&) const {
    return Result::NotJpeg2000;
}

#endif

}  // namespace pf
