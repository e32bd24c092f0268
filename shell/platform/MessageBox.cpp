#include "shell/platform/MessageBox.h"

#include <atomic>
#include <cstdio>

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"

namespace pf {

namespace {

class StderrMessageBox : public MessageBoxService {
public:
    void Show(const std::wstring& title, const std::wstring& text) override {
        std::fprintf(stderr, "[%s] %s\n", ToUtf8(title).c_str(), ToUtf8(text).c_str());
    }
};

StderrMessageBox g_stderrBox;
std::atomic<MessageBoxService*> g_service{nullptr};

}  // namespace

int MessageBoxService::AskAbortRetryIgnore(const std::wstring& title, const std::wstring& text) {
    DebugStream() << L"[" << title << L"] " << text << L" (no message box can be shown: answered Ignore)";
    return kAnswerIgnore;
}

MessageBoxService& GetMessageBoxService() {
    MessageBoxService* service = g_service.load();
    return service ? *service : g_stderrBox;
}

void SetMessageBoxService(MessageBoxService* service) { g_service.store(service); }

}  // namespace pf
