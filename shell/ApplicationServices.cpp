// The application's platform services: single instance, the display's creation, the data
// and user-data folders, and opening URLs.
#include <cwchar>

#include "shell/Application.h"
#include "shell/Exception.h"
#include "shell/FileSystem.h"
#include "shell/foundation/Log.h"
#include "shell/foundation/OsPathText.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/LocalFiles.h"
#include "shell/platform/NativeWindow.h"
#include "shell/platform/ShellOpener.h"
#include "shell/platform/SingleInstance.h"
#include "shell/platform/UserDataRoot.h"

namespace pf {

namespace {

// Longer than one character (the engine's test for a usable name).
bool Usable(const wchar_t* text) { return text && std::wcslen(text) > 1; }

// '/' separators and a closing '/'.
std::wstring AsFolder(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'\\') c = L'/';
    if (path.empty() || path.back() != L'/') path += L'/';
    return path;
}

std::wstring CurrentFolder() {
    std::string folder = WorkingFolder();
    // Byte for byte: a folder whose name is not UTF-8 is still the one handed back.
    return folder.empty() ? L"./" : AsFolder(FromOsPath(folder));
}

// A vendor or product name must stay one folder below the root.
bool SafeFolderName(const std::wstring& name) {
    return name != L".." && name.find_first_of(L"/\\") == std::wstring::npos;
}

// The application's view of its own file system.
class FileSystemPort : public AppFileSystemPort {
public:
    explicit FileSystemPort(FileSystemWin32& fs) : fs_(fs) {}
    void SetResourcePath(const std::wstring& folder) override { fs_.SetResourcePath(folder); }
    std::wstring GetResourcePath() const override { return fs_.ResourceFolder(); }
    void SetUserPath(const std::wstring& folder) override { fs_.SetUserPath(folder); }
    bool OpenArchive(const std::wstring& archive, const std::string& password) override {
        return fs_.OpenArchive(archive, password);
    }

private:
    FileSystemWin32& fs_;
};

}  // namespace

std::unique_ptr<AppFileSystemPort> MakeFileSystemPort(FileSystemWin32& fs) {
    return std::make_unique<FileSystemPort>(fs);
}

void ApplicationWin32::CheckSingleInstance(const char* name) {
    if (!name) return;
    SingleInstanceLock& lock = GetSingleInstanceLock();
    if (lock.Acquire(name)) {
        // From now on a second start may ask this process to come to the front.
        answersRaiseRequests_ = true;
        return;
    }
    // Another process holds the lock: it brings its own window to the front when asked.
    lock.AskHolderToRaise(name);
    throw Exception("Only one game instance can be launched at the same time!", ExceptionType::Quit,
                    ExceptionBox::Default);
}

void ApplicationWin32::RaiseWhenAsked() {
    if (!answersRaiseRequests_ || !GetSingleInstanceLock().TakeRaiseRequest()) return;
    if (NativeWindow* window = GetWindow()) {
        window->Restore();
        window->BringToFront();
    }
}

void ApplicationWin32::InitDisplay(int width, int height, bool fullScreen, bool wideScreen) {
    if (!displayPort_ || !displayPort_->Init(width, height, fullScreen, wideScreen))
        throw Exception("display initialization failed", ExceptionType::Error, ExceptionBox::Default);
    displayPort_->ShowOverlay(debugOverlay_);
    displayPort_->AttachImageLoader(imageLoader_);
}

void ApplicationWin32::SetDataSource(const wchar_t* folder, const wchar_t* archive, const char* password) {
    std::wstring resources = Usable(folder) ? AsFolder(folder) : CurrentFolder();
    if (!fileSystemPort_) {
        DebugStream() << "Application::SetDataSource - no file system";
        return;
    }
    fileSystemPort_->SetResourcePath(resources);
    if (Usable(archive)) fileSystemPort_->OpenArchive(archive, password ? password : "");
}

void ApplicationWin32::SetUserDataPath(const wchar_t* vendor, const wchar_t* product) {
    if (!fileSystemPort_) {
        DebugStream() << "Application::SetUserDataPath - no file system";
        return;
    }
    if (Usable(vendor) && Usable(product)) {
        if (SafeFolderName(vendor) && SafeFolderName(product)) {
            std::wstring path = GetUserDataRoot() + vendor + L"/" + product + L"/";
            CreateFolders(path);
            fileSystemPort_->SetUserPath(path);
            return;
        }
        DebugStream() << "Application::SetUserDataPath - unusable folder names '" << vendor << "', '"
                      << product << "'; the data folder holds the user files";
    }
    fileSystemPort_->SetUserPath(fileSystemPort_->GetResourcePath());
}

void ApplicationWin32::OpenURL(const std::wstring& url) {
    if (url.empty()) return;
    std::wstring target = Trim(url);
    if (target.empty()) return;
    GetShellOpener().Open(L"open", target);
}

}  // namespace pf
