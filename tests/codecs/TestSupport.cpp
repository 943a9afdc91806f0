#include "tests/codecs/TestSupport.h"

#include <cstring>
#include <fstream>

#include "codecs/uDataExchange.h"
#include "platform/uSharedMemory.h"

namespace testing_codecs {

TPlayerFolder::TPlayerFolder()
    : FBlock(platform::TSharedMemory::CreateOrOpen(TDataExchange::BlockName,
                                                   TDataExchange::BlockSize)) {
  if (FBlock && !FBlock->Created())
    FSavedBlock.assign(FBlock->Data(), FBlock->Data() + FBlock->Size());
  // An empty folder field: the block says nothing until a test publishes.
  PublishInBlock(u"");
}

TPlayerFolder::~TPlayerFolder() {
  if (!FBlock) return;
  if (FBlock->Created())
    platform::TSharedMemory::Remove(TDataExchange::BlockName);
  else
    std::memcpy(FBlock->Data(), FSavedBlock.data(), FSavedBlock.size());
}

void TPlayerFolder::PublishInBlock(const std::u16string& Folder) {
  std::vector<char16_t> units(Folder.begin(), Folder.end());
  units.push_back(u'\0');
  PublishInBlockRaw(units);
}

void TPlayerFolder::PublishInBlockRaw(const std::vector<char16_t>& Units) {
  if (!FBlock) return;
  std::memset(FBlock->Data() + TDataExchange::FolderOffset, 0, TDataExchange::FolderMaxUnits * 2);
  std::memcpy(FBlock->Data() + TDataExchange::FolderOffset, Units.data(),
              std::min(Units.size(), TDataExchange::FolderMaxUnits) * 2);
}

void TPlayerFolder::PublishInRegistry(const std::string& Value) {
  fs::create_directories(FConfigHome.Path() / "Morva");
  std::ofstream(FConfigHome.Path() / "Morva" / "registry.ini")
      << "[Software\\Morva]\nMorva8=" << Value << "\n";
}

fs::path FullPlayerDir() { return fs::path(MORVO_TEST_PLAYER_DIR) / "full"; }
fs::path PartialPlayerDir() { return fs::path(MORVO_TEST_PLAYER_DIR) / "partial"; }

bool IsMapped(const fs::path& File) {
  const std::string wanted = fs::weakly_canonical(File).string();
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.size() >= wanted.size() &&
        line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0)
      return true;
  return false;
}

}  // namespace testing_codecs
