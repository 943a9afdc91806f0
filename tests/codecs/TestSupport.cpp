#include "tests/codecs/TestSupport.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "codecs/uDataExchange.h"
#include "platform/uSharedMemory.h"

namespace testing_codecs {

TComPtr<TFileCallback> TFileCallback::Create(const fs::path& Path) {
  std::FILE* file = std::fopen(Path.c_str(), "w+b");
  return TComPtr<TFileCallback>(file ? new TFileCallback(file) : nullptr);
}

HRESULT MORVO_STDCALL TFileCallback::QueryInterface(const TGUID& iid, void** obj) {
  if (iid == IID_IUnknown || iid == IID_IEncoderCallback) {
    *obj = static_cast<IEncoderCallback*>(this);
    AddRef();
    return S_OK;
  }
  *obj = nullptr;
  return E_NOINTERFACE;
}

uint32_t MORVO_STDCALL TFileCallback::Release() {
  const uint32_t left = --FRefs;
  if (left == 0)
    delete this;
  return left;
}

int32_t MORVO_STDCALL TFileCallback::Read(void* Buffer, int32_t Count) {
  if (!FFile || !Buffer)
    return -1;
  std::fread(Buffer, 1, size_t(Count), FFile);
  return 0;
}

int32_t MORVO_STDCALL TFileCallback::Write(const void* Buffer, int32_t Count) {
  if (!FFile || !Buffer)
    return -1;
  return std::fwrite(Buffer, 1, size_t(Count), FFile) == size_t(Count) ? 0 : -1;
}

int32_t MORVO_STDCALL TFileCallback::Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) {
  if (!FFile)
    return -1;
  const int whence = Origin == 0 ? SEEK_SET : Origin == 1 ? SEEK_CUR : SEEK_END;
  if (std::fseek(FFile, long(Offset), whence) != 0)
    return -1;
  if (NewPosition)
    *NewPosition = std::ftell(FFile);
  return 0;
}

void TFileCallback::Close() {
  if (FFile)
    std::fclose(FFile);
  FFile = nullptr;
}

TTempDir::TTempDir() {
  std::random_device random;
  FPath = fs::temp_directory_path() /
          ("morvo-codecs-" + std::to_string(random()) + std::to_string(random()));
  fs::create_directories(FPath);
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

TPlayerFolder::TPlayerFolder()
    : FBlock(platform::TSharedMemory::CreateOrOpen(TDataExchange::BlockName,
                                                   TDataExchange::BlockSize)) {
  if (FBlock && !FBlock->Created())
    FSavedBlock.assign(FBlock->Data(), FBlock->Data() + FBlock->Size());
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
    FSavedXdg = xdg;
  setenv("XDG_CONFIG_HOME", FConfigHome.Path().c_str(), 1);
  // An empty folder field: the block says nothing until a test publishes.
  PublishInBlock(u"");
}

TPlayerFolder::~TPlayerFolder() {
  if (FSavedXdg)
    setenv("XDG_CONFIG_HOME", FSavedXdg->c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (!FBlock)
    return;
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
  if (!FBlock)
    return;
  std::memset(FBlock->Data() + TDataExchange::FolderOffset, 0, TDataExchange::FolderMaxUnits * 2);
  std::memcpy(FBlock->Data() + TDataExchange::FolderOffset, Units.data(),
              std::min(Units.size(), TDataExchange::FolderMaxUnits) * 2);
}

void TPlayerFolder::PublishInRegistry(const std::string& Value) {
  fs::create_directories(FConfigHome.Path() / "Morva");
  std::ofstream(FConfigHome.Path() / "Morva" / "registry.ini")
      << "[Software\\Morva]\nMorva8=" << Value << "\n";
}

fs::path FullPlayerDir() {
  return fs::path(MORVO_TEST_PLAYER_DIR) / "full";
}
fs::path PartialPlayerDir() {
  return fs::path(MORVO_TEST_PLAYER_DIR) / "partial";
}

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

std::vector<uint8_t> ReadFileBytes(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace testing_codecs
