// Shared helpers of the codecs tests: a real file behind IEncoderCallback,
// temporary folders, the player folder published the way the player does
// (shared block "MorvaDataExchange" or the registry file), and a look at
// which libraries the process has mapped.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "codecs/uEncodeIntf.h"

namespace platform {
class TSharedMemory;
}

namespace testing_codecs {

namespace fs = std::filesystem;

// The engine's output object stands on a real file in the same way.
class TFileCallback final : public IEncoderCallback {
public:
  static TComPtr<TFileCallback> Create(const fs::path& Path);

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;
  uint32_t MORVO_STDCALL AddRef() override { return ++FRefs; }
  uint32_t MORVO_STDCALL Release() override;
  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) override;

  void Close();

private:
  explicit TFileCallback(std::FILE* File) : FFile(File) {}
  ~TFileCallback() { Close(); }
  std::atomic<uint32_t> FRefs{1};
  std::FILE* FFile;
};

// A fresh folder under the system's temporary folder, removed at the end.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const fs::path& Path() const { return FPath; }

private:
  fs::path FPath;
};

// Publishes a folder in the player's shared block and/or the registry file
// (XDG_CONFIG_HOME pointed at a temporary folder) for one test; puts back
// what was there before when it ends.
class TPlayerFolder {
public:
  TPlayerFolder();
  ~TPlayerFolder();
  // Writes Folder (UTF-16, up to 260 units) at byte 26 of the block.
  void PublishInBlock(const std::u16string& Folder);
  void PublishInBlockRaw(const std::vector<char16_t>& Units);
  // Writes registry.ini with Morva8=Value.
  void PublishInRegistry(const std::string& Value);

private:
  std::unique_ptr<platform::TSharedMemory> FBlock;
  std::vector<uint8_t> FSavedBlock;
  TTempDir FConfigHome;
  std::optional<std::string> FSavedXdg;
};

// The folders the test libraries were built into.
fs::path FullPlayerDir();    // libcodecs.so and libLxPlayer.so with all entries
fs::path PartialPlayerDir(); // both present but lacking required entries

// Whether the process has the file mapped (a loaded library).
bool IsMapped(const fs::path& File);

std::vector<uint8_t> ReadFileBytes(const fs::path& Path);

} // namespace testing_codecs
