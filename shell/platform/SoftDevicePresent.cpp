#include "shell/platform/SoftDevicePresent.h"

#include <SDL.h>

#include <cstring>

#include "shell/Log.h"

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

SdlWindowPresentTarget::~SdlWindowPresentTarget() {
    if (cursor_) SDL_FreeCursor(cursor_);
}

bool SdlWindowPresentTarget::PresentFrame(const uint32_t* pixels, int width, int height, int pitch) {
    SDL_Surface* screen = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    SDL_Surface* frame = screen ? SDL_CreateRGBSurfaceWithFormatFrom(
                                      const_cast<uint32_t*>(pixels), width, height, 32, pitch * 4,
                                      SDL_PIXELFORMAT_ARGB8888)
                                : nullptr;
    bool ok = frame != nullptr;
    if (ok) {
        SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
        ok = (screen->w == width && screen->h == height ? SDL_BlitSurface(frame, nullptr, screen, nullptr)
                                                        : SDL_BlitScaled(frame, nullptr, screen, nullptr)) == 0 &&
             SDL_UpdateWindowSurface(window_) == 0;
        SDL_FreeSurface(frame);
    }
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
