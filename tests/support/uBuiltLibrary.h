// The player's two run-time libraries as this build made them (<build>/bin),
// opened with dlopen the way the system loads them. Safe on any thread.
#pragma once

#include <dlfcn.h>

#include <string>

namespace morvotest {

// A handle that the caller keeps for the whole test program, as the system
// keeps the libraries loaded; null when the library cannot be loaded.
inline void* OpenBuiltLibrary(const std::string& FileName) {
  return dlopen((std::string(MORVO_BIN_DIR) + "/" + FileName).c_str(), RTLD_NOW | RTLD_LOCAL);
}

// The entry Name of Library as a function of type TFunction; null when the
// library or the entry is missing.
template <class TFunction> TFunction BuiltEntry(void* Library, const char* Name) {
  return Library ? reinterpret_cast<TFunction>(dlsym(Library, Name)) : nullptr;
}

}  // namespace morvotest
