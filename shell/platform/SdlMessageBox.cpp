#include "shell/platform/SdlMessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "shell/foundation/TextHelpers.h"

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

int SdlMessageBox::AskAbortRetryIgnore(const std::wstring& title, const std::wstring& text) {
    if (!CanShowWindow()) return MessageBoxService::AskAbortRetryIgnore(title, text);
    const std::string t = ToUtf8(title), m = ToUtf8(text);
    const SDL_MessageBoxButtonData buttons[] = {
        {0, kAnswerAbort, "Abort"},
        {0, kAnswerRetry, "Retry"},
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kAnswerIgnore, "Ignore"},
    };
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_ERROR;
    data.title = t.c_str();
    data.message = m.c_str();
    data.numbuttons = 3;
    data.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < kAnswerAbort || pressed > kAnswerIgnore)
        return MessageBoxService::AskAbortRetryIgnore(title, text);
    return pressed;
}

}  // namespace pf
