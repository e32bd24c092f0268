// The optional JPEG 2000 decoder: OpenJPEG loaded at run time when it is installed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pf {

// A JPEG 2000 file with more tiles than this is refused: the decoder keeps a record for
// every tile of the grid before it reads a pixel.
constexpr int64_t kMaxJpeg2000Tiles = 1024;

// Checks the image and tile sizes and the components a JPEG 2000 file (a raw codestream
// or a JP2 file) declares in its header, before a decoder takes memory for them. False
// with one log line for a file to refuse.
bool CheckJpeg2000Header(const uint8_t* data, size_t size);

class Jpeg2000Codec {
public:
    // Null when the library is not present (JPEG 2000 files then go unread).
    static std::unique_ptr<Jpeg2000Codec> Open();
    ~Jpeg2000Codec();
    Jpeg2000Codec(const Jpeg2000Codec&) = delete;
    Jpeg2000Codec& operator=(const Jpeg2000Codec&) = delete;

    enum class Result { NotJpeg2000, Failed, Ok };
    // The decoded rows: one byte a pixel for grey images (components 1), else four bytes
    // in A8R8G8B8 order.
    struct Image {
        int width = 0;
        int height = 0;
        int components = 0;
        int pitch = 0;
        std::vector<uint8_t> pixels;
    };
    // NotJpeg2000 for bytes that are not a JPEG 2000 stream (nothing logged); Failed
    // with one log line for a stream that does not decode.
    Result Decode(const uint8_t* data, size_t size, Image& image) const;

    struct Api;

private:
    Jpeg2000Codec() = default;
    void* library_ = nullptr;
    std::unique_ptr<Api> api_;
};

}  // namespace pf
