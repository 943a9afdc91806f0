#include "app/uTargetFolder.h"

#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "platform/uDriveType.h"

namespace {

// Local storage the user may write targets to. tmpfs counts as local on
// this platform: it holds /tmp and /run on many systems.
bool IsLocalFixedDrive(const std::u16string& Path) {
  const uint32_t Type = platform::GetDriveTypeW(Path);
  return Type == platform::DRIVE_FIXED || Type == platform::DRIVE_RAMDISK;
}

std::u16string Quoted(const std::u16string& Path) { return u"\" " + Path + u" \""; }

TTargetFolderCheck Refuse(const std::u16string& Path, std::u16string Message) {
  TTargetFolderCheck Result;
  Result.Path = Path;
  Result.Message = std::move(Message);
  Result.Caption = Tr(u"路径修改");
  return Result;
}

}  // namespace

TTargetFolderCheck CheckTargetFolder(const std::u16string& FolderText) {
  const std::u16string Text = WideTrim(FolderText);
  // An empty text would become "/" (the delimiter added to nothing) and
  // pass as the root folder: it names no folder at all.
  if (Text.empty()) return Refuse(Text, FormatText(Tr(u"%s为无效路径"), {Quoted(Text)}));
  const std::u16string Path = WideIncludeTrailingBackslash(WideExcludeTrailingBackslash(Text));
  const std::u16string Drive = WideTrim(WideExtractFileDrive(Path));
  if (Drive.empty() || !IsLocalFixedDrive(Path))
    return Refuse(Path, FormatText(Tr(u"%s为无效路径"), {Quoted(Path)}));
  // A failed creation is tried once more before the folder is refused (a
  // folder made meanwhile by someone else already counts as made).
  bool Created = false;
  for (int Attempt = 0; Attempt < 2 && !Created; ++Attempt) {
    try {
      Created = WideForceDirectories(Path);
    } catch (...) {
      Created = false;
    }
  }
  if (!Created) return Refuse(Path, FormatText(Tr(u"无法创建%s"), {Quoted(Path)}));
  TTargetFolderCheck Result;
  Result.Ok = true;
  Result.Path = Path;
  return Result;
}
