#include "shell/platform/SdlPresentTarget.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "shell/foundation/Log.h"

namespace pf {

SdlWindowPresentTarget::SdlWindowPresentTarget(SDL_Window* window) : window_(window) {
    SDL_AddEventWatch(&SdlWindowPresentTarget::OnEvent, this);
}

SdlWindowPresentTarget::~SdlWindowPresentTarget() {
    SDL_DelEventWatch(&SdlWindowPresentTarget::OnEvent, this);
    if (cursor_) SDL_FreeCursor(cursor_);
}

int SdlWindowPresentTarget::OnEvent(void* self, SDL_Event* event) {
    auto* target = static_cast<SdlWindowPresentTarget*>(self);
    if (event->type == SDL_WINDOWEVENT && target->window_ && event->window.windowID == SDL_GetWindowID(target->window_))
        target->wholeOwed_.store(true);
    return 1;
}

namespace {

// The frame written into a window surface whose pixels are laid out as the frame's
// (32-bit, colour in the low 24 bits, an alpha or unused top byte): copied row by row
// when the sizes agree, else scaled bilinearly onto the whole surface. False when the
// surface is laid out otherwise.
bool WriteFrameAsIs(const uint32_t* pixels, int width, int height, int pitch, SDL_Surface* screen,
                    PresentScaler& scaler, bool& ok) {
    const uint32_t format = screen->format->format;
    if ((format != SDL_PIXELFORMAT_ARGB8888 && format != SDL_PIXELFORMAT_RGB888) || screen->pitch % 4 != 0)
        return false;
    ok = SDL_LockSurface(screen) == 0;
    if (!ok) return true;
    auto* out = static_cast<uint8_t*>(screen->pixels);
    const size_t row = size_t(width) * 4;
    if (screen->w != width || screen->h != height) {
        scaler.Scale(pixels, width, height, pitch, reinterpret_cast<uint32_t*>(out), screen->w, screen->h,
                     screen->pitch / 4);
    } else if (size_t(screen->pitch) == row && pitch == width) {
        std::memcpy(out, pixels, row * size_t(height));
    } else {
        for (int y = 0; y < height; ++y)
            std::memcpy(out + size_t(y) * size_t(screen->pitch), pixels + size_t(y) * size_t(pitch), row);
    }
    SDL_UnlockSurface(screen);
    return true;
}

}  // namespace

bool SdlWindowPresentTarget::PresentFrameRects(const uint32_t* pixels, int width, int height, int pitch,
                                               const Rect* rects, int count) {
    SDL_Surface* screen = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    const uint32_t format = screen ? screen->format->format : 0;
    if (!screen || screen != shownSurface_ || wholeOwed_.load() || screen->w != width || screen->h != height ||
        (format != SDL_PIXELFORMAT_ARGB8888 && format != SDL_PIXELFORMAT_RGB888) || screen->pitch % 4 != 0)
        return PresentFrame(pixels, width, height, pitch);
    if (count <= 0) return true;
    if (SDL_LockSurface(screen) != 0) return PresentFrame(pixels, width, height, pitch);
    std::vector<SDL_Rect> shown;
    shown.reserve(size_t(count));
    auto* out = static_cast<uint8_t*>(screen->pixels);
    for (int i = 0; i < count; ++i) {
        const int x0 = std::max(rects[i].x, 0), y0 = std::max(rects[i].y, 0);
        const int x1 = std::min(rects[i].x + rects[i].width, width), y1 = std::min(rects[i].y + rects[i].height, height);
        if (x0 >= x1 || y0 >= y1) continue;
        for (int y = y0; y < y1; ++y)
            std::memcpy(out + size_t(y) * size_t(screen->pitch) + size_t(x0) * 4,
                        pixels + size_t(y) * size_t(pitch) + size_t(x0), size_t(x1 - x0) * 4);
        shown.push_back(SDL_Rect{x0, y0, x1 - x0, y1 - y0});
    }
    SDL_UnlockSurface(screen);
    if (shown.empty()) return true;
    if (SDL_UpdateWindowSurfaceRects(window_, shown.data(), int(shown.size())) != 0) {
        if (!failureLogged_) {
            DebugStream() << "SdlWindowPresentTarget: present failed: " << SDL_GetError();
            failureLogged_ = true;
        }
        shownSurface_ = nullptr;
        return false;
    }
    return true;
}

bool SdlWindowPresentTarget::PresentFrame(const uint32_t* pixels, int width, int height, int pitch) {
    SDL_Surface* screen = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    // Events of the window from here on ask for the next frame whole again.
    wholeOwed_.store(false);
    bool ok = screen != nullptr;
    if (ok && !WriteFrameAsIs(pixels, width, height, pitch, screen, scaler_, ok)) {
        // Another layout: SDL converts (and scales).
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                                pitch * 4, SDL_PIXELFORMAT_ARGB8888);
        ok = frame != nullptr;
        if (ok) {
            SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
            ok = (screen->w == width && screen->h == height ? SDL_BlitSurface(frame, nullptr, screen, nullptr)
                                                            : SDL_BlitScaled(frame, nullptr, screen, nullptr)) == 0;
            SDL_FreeSurface(frame);
        }
    }
    ok = ok && SDL_UpdateWindowSurface(window_) == 0;
    shownSurface_ = ok ? screen : nullptr;
    if (!ok && !failureLogged_) {
        DebugStream() << "SdlWindowPresentTarget: present failed: " << SDL_GetError();
        failureLogged_ = true;
    }
    return ok;
}

void SdlWindowPresentTarget::SetCursorImage(const uint32_t* pixels, int width, int height, int hotX, int hotY) {
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_ARGB8888);
    SDL_Cursor* cursor = image ? SDL_CreateColorCursor(image, hotX, hotY) : nullptr;
    if (image) SDL_FreeSurface(image);
    if (!cursor) {
        DebugStream() << "SdlWindowPresentTarget: no cursor image: " << SDL_GetError();
        return;
    }
    SDL_SetCursor(cursor);
    if (cursor_) SDL_FreeCursor(cursor_);
    cursor_ = cursor;
}

void SdlWindowPresentTarget::ShowCursor(bool show) { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

}  // namespace pf
