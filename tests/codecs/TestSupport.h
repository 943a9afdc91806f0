// Shared helpers of the codecs tests: the player folder published the way
// the player does (shared block "MorvaDataExchange" or the registry file),
// and a look at which libraries the process has mapped. Files, folders and
// the file-backed IEncoderCallback come from tests/support.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "codecs/uEncodeIntf.h"
#include "tests/support/uFileCallback.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"

namespace platform {
class TSharedMemory;
}

namespace testing_codecs {

namespace fs = std::filesystem;

using morvotest::TFileCallback;
using morvotest::TTempDir;

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
  morvotest::TScopedEnv FConfigEnv{"XDG_CONFIG_HOME", FConfigHome.Path().string()};
};

// The folders the test libraries were built into.
fs::path FullPlayerDir();     // libcodecs.so and libLxPlayer.so with all entries
fs::path PartialPlayerDir();  // both present but lacking required entries

// Whether the process has the file mapped (a loaded library).
bool IsMapped(const fs::path& File);

}  // namespace testing_codecs
