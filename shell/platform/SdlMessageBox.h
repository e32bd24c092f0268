// The windowed message box: SDL's simple message box on the thread that installed it,
// when a display is there and the run is not under CI; the stderr line otherwise. It
// never blocks a worker thread or a CI run.
#pragma once

#include <thread>

#include "shell/platform/MessageBox.h"

namespace pf {

class SdlMessageBox : public MessageBoxService {
public:
    SdlMessageBox();
    void Show(const std::wstring& title, const std::wstring& text) override;
    int AskAbortRetryIgnore(const std::wstring& title, const std::wstring& text) override;
    // Whether a box shown now would be a real window (else it goes to stderr).
    bool CanShowWindow() const;

private:
    std::thread::id owner_;
};

}  // namespace pf
