#include "platform/uFileIdentity.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/uCodePage.h"

namespace platform {

namespace {

constexpr int32_t DefaultNameMax = 255;

}  // namespace

TMaybeIdentity FileIdentity(const std::u16string& Name) {
  TFileIdentity Identity;
  if (!GetFileIdentity(Name, Identity)) return std::nullopt;
  return Identity;
}

TMaybeIdentity HandleIdentity(THandle Handle) {
  struct stat St;
  if (Handle < 0 || fstat(Handle, &St) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  return TFileIdentity{static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
}

bool SameFile(const std::u16string& A, const std::u16string& B) {
  return IsSameFile(FileIdentity(A), FileIdentity(B));
}

int32_t MaxFileNameBytes(const std::u16string& Folder) {
  const std::string Path = WideToPath(Folder);
  const long Max = Path.empty() ? -1 : pathconf(Path.c_str(), _PC_NAME_MAX);
  return Max > 0 && Max < 0x10000 ? static_cast<int32_t>(Max) : DefaultNameMax;
}

}  // namespace platform
