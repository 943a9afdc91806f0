// Run-time libraries: dlopen/dlsym behind the original loader's names.
// A Windows file name "X.dll" stands for "libX.so"; a bare name is looked
// for in the executable's folder first, then by the system's loader.
// Export ordinal N of the player library is the C symbol LxPlayerOrdinalN.
#pragma once

#include <string>
#include <string_view>

namespace platform {

using TLibHandle = void*;

TLibHandle LoadLibraryW(const std::u16string& FileName);
TLibHandle LoadLibraryA(const std::string& FileName);  // system code page
void* GetProcAddress(TLibHandle Library, const char* Name);
void* GetProcAddressByOrdinal(TLibHandle Library, int Ordinal);
bool FreeLibrary(TLibHandle Library);
// Why the last load or lookup on this thread failed (for the log).
std::string LastLibraryError();
// The folder, with a trailing slash, of the loaded executable or library
// that holds Address (a function or constant of its own); empty when none
// does.
std::string LibraryFolderOf(const void* Address);
// "codecs.dll" -> "libcodecs.so" (folder part kept); other names unchanged.
std::string NativeLibraryName(std::string_view FileName);

}  // namespace platform
