// Fuzzes the image decoders: every input is decoded into several pixel formats.
#include <cstddef>
#include <cstdint>

#include "shell/ImageLoaderDX.h"
#include "shell/foundation/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static pf::ImageLoaderDX* loader = [] {
        pf::SetLogToStderr(false);
        return new pf::ImageLoaderDX();
    }();
    if (size > (1u << 24)) return 0;
    // The first byte picks the format asked for (its low bits) and whether the bytes are
    // taken as already checked, as an archive entry's are (its next bit); the rest is the file.
    const pf::PixelFormat formats[] = {pf::PixelFormat::Default, pf::PixelFormat::A8B8G8R8,
                                       pf::PixelFormat::R5G6B5, pf::PixelFormat::X8R8G8B8};
    const pf::PixelFormat format = size ? formats[data[0] % 4] : pf::PixelFormat::Default;
    const pf::FormatChecksums checksums =
        size && (data[0] & 4) ? pf::FormatChecksums::AlreadyVerified : pf::FormatChecksums::Verify;
    if (size) {
        ++data;
        --size;
    }
    my_intrusive_ptr<pf::MemorySurface> out(new pf::MemorySurface());
    if (loader->Load(*out, size ? data : nullptr, int(size), format, checksums)) {
        // Touch every decoded byte so that a short buffer shows.
        const pf::PixelView v = out->GetView();
        volatile uint8_t sink = 0;
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width * v.bytesPerPixel; ++x) sink = sink ^ v.data[y * v.pitch + x];
    }
    return 0;
}
