#include "shell/platform/Jpeg2000Codec.h"

namespace pf {

struct Jpeg2000Codec::Api {};

std::unique_ptr<Jpeg2000Codec> Jpeg2000Codec::Open() { return nullptr; }

Jpeg2000Codec::~Jpeg2000Codec() = default;

Jpeg2000Codec::Result Jpeg2000Codec::Decode(const uint8_t*, size_t, Image&) const {
    return Result::NotJpeg2000;
}

}  // namespace pf
