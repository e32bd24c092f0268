#include "shell/LogFile.h"

#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/MessageBox.h"

namespace pf {

void OpenLog(const std::wstring& path) {
    // A link under the name is replaced, never followed: its target is not truncated. The
    // file open until now takes lines until the new one replaces it in one step, so a line
    // another thread writes meanwhile is not dropped.
    const std::string osPath = ToOsPath(path);
    std::FILE* file = CreateFileReplacingLink(osPath);
    // A full log goes to the earlier log's name ("log.txt": "log.1.txt", replacing the one
    // kept before) and a fresh one takes its place: the newest lines are always kept.
    const size_t dot = osPath.rfind('.');
    const size_t slash = osPath.rfind('/');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string earlier = hasExtension ? osPath.substr(0, dot) + ".1" + osPath.substr(dot) : osPath + ".1";
    UseLogFile(file, [osPath, earlier]() -> std::FILE* {
        return RenameEntry(osPath, earlier) ? CreateFileReplacingLink(osPath) : nullptr;
    });
    // A user folder that cannot be written leaves no log file: say so where lines still go.
    if (!file) LogWrite(L"log: can't open '" + path + L"' for writing; log lines go to the standard error only\n");
}

void FatalError(const std::wstring& text) {
    LogWrite(text);
    GetMessageBoxService().Show(L"Fatal Error", text);
}

}  // namespace pf
