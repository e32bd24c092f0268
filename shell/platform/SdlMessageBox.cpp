#include "shell/platform/SdlMessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "shell/TextHelpers.h"

namespace pf {

namespace {

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

}  // namespace

SdlMessageBox::SdlMessageBox() : owner_(std::this_thread::get_id()) {}

bool SdlMessageBox::CanShowWindow() const {
    if (std::this_thread::get_id() != owner_) return false;
    if (EnvSet("CI") || EnvSet("RUV3_NO_MESSAGE_BOX")) return false;
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY");
}

void SdlMessageBox::Show(const std::wstring& title, const std::wstring& text) {
    std::string t = ToUtf8(title), m = ToUtf8(text);
    if (CanShowWindow() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, t.c_str(), m.c_str(), nullptr) == 0)
        return;
    std::fprintf(stderr, "[%s] %s\n", t.c_str(), m.c_str());
}

}  // namespace pf
