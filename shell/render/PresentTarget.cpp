#include "shell/render/PresentTarget.h"

#include <cstring>

namespace pf {

bool MemoryPresentTarget::PresentFrame(const uint32_t* pixels, int width, int height, int pitch) {
    width_ = width;
    height_ = height;
    frame_.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(frame_.data() + size_t(y) * width, pixels + size_t(y) * pitch, size_t(width) * 4);
    ++presents_;
    return true;
}

void MemoryPresentTarget::SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) {
    cursor_.assign(pixels, pixels + size_t(width) * height);
    hotX_ = hotX;
    hotY_ = hotY;
}

}  // namespace pf
