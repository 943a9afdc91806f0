#include "codecs/uDataExchange.h"

#include <algorithm>
#include <cstring>

#include "infra/uLxFileUtils.h"
#include "platform/uCodePage.h"
#include "platform/uProfile.h"
#include "platform/uProgramDir.h"
#include "platform/uSharedMemory.h"

namespace {

std::u16string FolderFromRegistry() {
  const std::string value =
      platform::GetPrivateProfileString("Software\\Morva", "Morva8", "", PlayerRegistryFile());
  // A value without a folder part would send the library lookup to the
  // root of the file system; the bare-name lookup is the better fallback.
  return WideExtractFilePath(platform::AnsiToWide(value));
}

}  // namespace

// Only an existing block is opened: a block made here would hold no folder
// and, on this platform, outlive the process.
TDataExchange::TDataExchange()
    : FBlock(platform::TSharedMemory::OpenExisting(BlockName, BlockSize)) {}

TDataExchange::~TDataExchange() = default;

bool TDataExchange::Mapped() const { return FBlock != nullptr; }

std::u16string TDataExchange::GetPlayerFolder() const {
  if (!FBlock) return {};
  std::u16string folder(FolderMaxUnits, u'\0');
  std::memcpy(folder.data(), FBlock->Data() + FolderOffset, FolderMaxUnits * sizeof(char16_t));
  folder.resize(std::min(folder.find(u'\0'), FolderMaxUnits));  // zero-terminated when shorter
  if (folder.empty() || !WideDirectoryExists(folder)) return {};
  return WideIncludeTrailingBackslash(folder);
}

std::u16string PlayerRegistryFile() { return platform::UserConfigDir() + u"Morva/registry.ini"; }

std::u16string GetPlayerInstallDir() {
  std::u16string folder = TDataExchange().GetPlayerFolder();
  if (!folder.empty()) return folder;
  return FolderFromRegistry();
}
