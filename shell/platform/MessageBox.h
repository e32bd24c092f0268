// The message-box service. The default writes the box to stderr and never blocks; the
// application installs a windowed one once a display exists, and tests install recorders.
#pragma once

#include <string>

namespace pf {

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual void Show(const std::wstring& title, const std::wstring& text) = 0;
    // An error box with the buttons Abort, Retry and Ignore; answers the button pressed.
    // Where no box can be shown it answers Ignore with one log line and never blocks.
    virtual int AskAbortRetryIgnore(const std::wstring& title, const std::wstring& text);
};

// The answers of AskAbortRetryIgnore.
constexpr int kAnswerAbort = 3;
constexpr int kAnswerRetry = 4;
constexpr int kAnswerIgnore = 5;

// The service in use (never null).
MessageBoxService& GetMessageBoxService();
// Installs a service; null restores the stderr default. The caller keeps ownership.
void SetMessageBoxService(MessageBoxService* service);

}  // namespace pf
