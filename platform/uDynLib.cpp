#include "platform/uDynLib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <string>

#include "platform/uCodePage.h"
#include "platform/uProgramDir.h"

namespace platform {

namespace {

thread_local std::string LastError;

bool EndsWithDll(std::string_view Name) {
  if (Name.size() < 4) return false;
  const std::string_view Tail = Name.substr(Name.size() - 4);
  return Tail[0] == '.' && (Tail[1] | 0x20) == 'd' && (Tail[2] | 0x20) == 'l' &&
         (Tail[3] | 0x20) == 'l';
}

bool IsRegularFile(const std::string& Path) {
  struct stat St;
  return stat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

void RememberDlError(const std::string& Context) {
  // dlerror's text is kept per thread.
  const char* Reason = dlerror();  // NOLINT(concurrency-mt-unsafe)
  LastError = Context + ": " + (Reason ? Reason : "unknown error");
}

}  // namespace

std::string NativeLibraryName(std::string_view FileName) {
  const size_t Slash = FileName.find_last_of("/\\");
  const size_t NameStart = Slash == std::string_view::npos ? 0 : Slash + 1;
  const std::string_view Folder = FileName.substr(0, NameStart);
  const std::string_view Name = FileName.substr(NameStart);
  if (!EndsWithDll(Name)) return std::string(FileName);
  return std::string(Folder) + "lib" + std::string(Name.substr(0, Name.size() - 4)) + ".so";
}

TLibHandle LoadLibraryA(const std::string& FileName) { return LoadLibraryW(AnsiToWide(FileName)); }

TLibHandle LoadLibraryW(const std::u16string& FileName) {
  const std::string Native = NativeLibraryName(WideToPath(FileName));
  if (Native.empty()) {
    LastError = "empty library name";
    return nullptr;
  }
  std::string Candidate = Native;
  if (Native.find('/') == std::string::npos) {
    // A bare name: the executable's folder comes before the system's loader.
    const std::string Beside = WideToPath(ExecutableDir()) + Native;
    if (IsRegularFile(Beside)) Candidate = Beside;
  }
  dlerror();  // NOLINT(concurrency-mt-unsafe): clears this thread's text
  void* Handle = dlopen(Candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!Handle) RememberDlError("dlopen " + Candidate);
  return Handle;
}

void* GetProcAddress(TLibHandle Library, const char* Name) {
  if (!Library || !Name) {
    LastError = "no library or no name";
    return nullptr;
  }
  dlerror();  // NOLINT(concurrency-mt-unsafe): clears this thread's text
  void* Address = dlsym(Library, Name);
  if (!Address) RememberDlError(std::string("dlsym ") + Name);
  return Address;
}

std::string LibraryFolderOf(const void* Address) {
  Dl_info Info{};
  if (dladdr(Address, &Info) == 0 || !Info.dli_fname) return {};
  const std::string Path = Info.dli_fname;
  const size_t Slash = Path.find_last_of('/');
  return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

void* GetProcAddressByOrdinal(TLibHandle Library, int Ordinal) {
  const std::string Name = "LxPlayerOrdinal" + std::to_string(Ordinal);
  return GetProcAddress(Library, Name.c_str());
}

bool FreeLibrary(TLibHandle Library) {
  if (!Library) return false;
  if (dlclose(Library) == 0) return true;
  RememberDlError("dlclose");
  return false;
}

std::string LastLibraryError() { return LastError; }

}  // namespace platform
