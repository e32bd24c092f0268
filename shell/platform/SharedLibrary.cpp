#include "shell/platform/SharedLibrary.h"

#include <dlfcn.h>

namespace pf {

void* OpenSharedLibrary(const char* fileName) { return dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }

void* FindLibrarySymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void CloseSharedLibrary(void* library) {
    if (library) dlclose(library);
}

}  // namespace pf
