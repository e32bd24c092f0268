// Where the software device shows its frames: the interface, and memory (for tests and
// headless runs). The SDL window target is the platform's (shell/platform/SdlPresentTarget.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/foundation/ValueTypes.h"

namespace pf {

class PresentTarget {
public:
    virtual ~PresentTarget() = default;
    // width x height pixels 0xAARRGGBB, rows `pitch` pixels apart.
    virtual bool PresentFrame(const uint32_t* pixels, int width, int height, int pitch) = 0;
    // The next frame, changed from the one this target showed last only inside `rects`
    // (none: unchanged). A target that cannot show part of a frame shows it whole.
    virtual bool PresentFrameRects(const uint32_t* pixels, int width, int height, int pitch, const Rect* rects,
                                   int count) {
        return PresentFrame(pixels, width, height, pitch);
    }
    // A cursor image of w x h pixels 0xAARRGGBB with its hot spot.
    virtual void SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) {}
    virtual void ShowCursor(bool show) {}
};

// Keeps the last presented frame and the cursor image.
class MemoryPresentTarget : public PresentTarget {
public:
    bool PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override;
    bool PresentFrameRects(const uint32_t* pixels, int width, int height, int pitch, const Rect* rects,
                           int count) override;
    void SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) override;
    void ShowCursor(bool show) override { cursorShown_ = show; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    int PresentCount() const { return presents_; }
    // How many pixels the last present copied (the whole frame's, or its rectangles').
    size_t LastCopied() const { return lastCopied_; }
    const std::vector<uint32_t>& Frame() const { return frame_; }
    uint32_t Pixel(int x, int y) const { return frame_[size_t(y) * width_ + x]; }
    const std::vector<uint32_t>& Cursor() const { return cursor_; }
    int CursorHotX() const { return hotX_; }
    int CursorHotY() const { return hotY_; }
    bool CursorShown() const { return cursorShown_; }

private:
    std::vector<uint32_t> frame_;
    int width_ = 0, height_ = 0, presents_ = 0;
    size_t lastCopied_ = 0;
    std::vector<uint32_t> cursor_;
    int hotX_ = 0, hotY_ = 0;
    bool cursorShown_ = false;
};

}  // namespace pf
