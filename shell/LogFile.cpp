#include "shell/LogFile.h"

#include "shell/foundation/Log.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/MessageBox.h"

namespace pf {

void OpenLog(const std::wstring& path) {
    // A link under the name is replaced, never followed: its target is not truncated. The
    // file open until now takes lines until the new one replaces it in one step, so a line
    // another thread writes meanwhile is not dropped.
    std::FILE* file = CreateFileReplacingLink(ToUtf8(path));
    UseLogFile(file);
    // A user folder that cannot be written leaves no log file: say so where lines still go.
    if (!file) LogWrite(L"log: can't open '" + path + L"' for writing; log lines go to the standard error only\n");
}

void FatalError(const std::wstring& text) {
    LogWrite(text);
    GetMessageBoxService().Show(L"Fatal Error", text);
}

}  // namespace pf
