// The software device's frames in an SDL2 window made by other code.
#pragma once

#include <cstdint>

#include "shell/render/PresentScaler.h"
#include "shell/render/PresentTarget.h"

struct SDL_Window;
struct SDL_Cursor;

namespace pf {

// Copies each frame into the window's surface, scaled bilinearly onto the whole surface
// when the sizes differ (a window shown full screen at the desktop's size). The window
// belongs to the caller and must outlive this target.
class SdlWindowPresentTarget : public PresentTarget {
public:
    explicit SdlWindowPresentTarget(SDL_Window* window) : window_(window) {}
    ~SdlWindowPresentTarget() override;
    SdlWindowPresentTarget(const SdlWindowPresentTarget&) = delete;
    SdlWindowPresentTarget& operator=(const SdlWindowPresentTarget&) = delete;

    bool PresentFrame(const uint32_t* pixels, int width, int height, int pitch) override;
    void SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) override;
    void ShowCursor(bool show) override;

private:
    SDL_Window* window_;
    SDL_Cursor* cursor_ = nullptr;
    PresentScaler scaler_;  // keeps its tables while the sizes stay
    bool failureLogged_ = false;
};

}  // namespace pf
