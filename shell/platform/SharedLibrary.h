// Libraries opened at run time by file name, so a program runs without them: what loading
// a library by name on demand stands on.
#pragma once

namespace pf {

// Opens the library (found as the system's loader finds libraries); null when it is absent
// or cannot be loaded.
void* OpenSharedLibrary(const char* fileName);
// The address of a symbol of an open library, or null.
void* FindLibrarySymbol(void* library, const char* name);
// Closes a library OpenSharedLibrary opened (null is allowed).
void CloseSharedLibrary(void* library);

}  // namespace pf
