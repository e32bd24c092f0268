#include "shell/render/PresentTarget.h"

#include <algorithm>
#include <cstring>

namespace pf {

bool MemoryPresentTarget::PresentFrame(const uint32_t* pixels, int width, int height, int pitch) {
    width_ = width;
    height_ = height;
    frame_.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(frame_.data() + size_t(y) * width, pixels + size_t(y) * pitch, size_t(width) * 4);
    ++presents_;
    lastCopied_ = size_t(width) * size_t(height);
    return true;
}

bool MemoryPresentTarget::PresentFrameRects(const uint32_t* pixels, int width, int height, int pitch,
                                            const Rect* rects, int count) {
    if (width != width_ || height != height_ || frame_.size() != size_t(width) * size_t(height))
        return PresentFrame(pixels, width, height, pitch);
    size_t copied = 0;
    for (int i = 0; i < count; ++i) {
        // Each rectangle brought inside the frame.
        const int x0 = std::max(rects[i].x, 0), y0 = std::max(rects[i].y, 0);
        const int x1 = std::min(rects[i].x + rects[i].width, width), y1 = std::min(rects[i].y + rects[i].height, height);
        for (int y = y0; y < y1 && x0 < x1; ++y)
            std::memcpy(frame_.data() + size_t(y) * size_t(width) + size_t(x0),
                        pixels + size_t(y) * size_t(pitch) + size_t(x0), size_t(x1 - x0) * 4);
        if (x0 < x1 && y0 < y1) copied += size_t(x1 - x0) * size_t(y1 - y0);
    }
    ++presents_;
    lastCopied_ = copied;
    return true;
}

void MemoryPresentTarget::SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) {
    cursor_.assign(pixels, pixels + size_t(width) * height);
    hotX_ = hotX;
    hotY_ = hotY;
}

}  // namespace pf
