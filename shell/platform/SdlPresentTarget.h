// The software device's frames in an SDL2 window made by other code.
#pragma once

#include <atomic>
#include <cstdint>

#include "shell/render/PresentScaler.h"
#include "shell/render/PresentTarget.h"

struct SDL_Window;
struct SDL_Cursor;
union SDL_Event;

namespace pf {

// Copies each frame into the window's surface, scaled bilinearly onto the whole surface
// when the sizes differ (a window shown full screen at the desktop's size). The window
// belongs to the caller and must outlive this target.
class SdlWindowPresentTarget : public PresentTarget {
public:
    explicit SdlWindowPresentTarget(SDL_Window* window);
    ~SdlWindowPresentTarget() override;
    SdlWindowPresentTarget(const SdlWindowPresentTarget&) = delete;
    SdlWindowPresentTarget& operator=(const SdlWindowPresentTarget&) = delete;

    bool PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override;
    // Copies and shows only the rectangles, unless the window needs the whole frame: a
    // new or resized surface, a scaled one, or any event of the window since (exposed,
    // shown, moved: the X server may have lost what it showed).
    bool PresentFrameRects(const uint32_t* pixels, int width, int height, int pitch, const Rect* rects,
                           int count) override;
    void SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) override;
    void ShowCursor(bool show) override;

private:
    SDL_Window* window_;
    SDL_Cursor* cursor_ = nullptr;
    PresentScaler scaler_;  // keeps its tables while the sizes stay
    bool failureLogged_ = false;
    // The surface the last whole frame went to; whether the window wants a whole frame.
    void* shownSurface_ = nullptr;
    std::atomic<bool> wholeOwed_{true};
    static int OnEvent(void* self, SDL_Event* event);
};

}  // namespace pf
