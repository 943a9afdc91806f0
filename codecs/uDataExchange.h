// Where the player is installed: the folder the running player publishes in
// its shared block "Local\MorvaDataExchange", else the one recorded in the
// "registry" (registry.ini in the user's configuration folder).
// Threading: any thread; each call reads the block and the file afresh.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {
class TSharedMemory;
}

// The player's data block; this system only reads it.
class TDataExchange {
public:
  static constexpr const char16_t* BlockName = u"Local\\MorvaDataExchange";
  static constexpr size_t BlockSize = 2106;
  static constexpr size_t FolderOffset = 26;
  static constexpr size_t FolderMaxUnits = 260;

  // Opens the block when the player has published it; never raises.
  TDataExchange();
  ~TDataExchange();
  TDataExchange(const TDataExchange&) = delete;
  TDataExchange& operator=(const TDataExchange&) = delete;

  bool Mapped() const;
  // The published folder with a trailing "/" when it names an existing
  // directory; empty otherwise (no block, empty field, not a directory).
  std::u16string GetPlayerFolder() const;

private:
  std::unique_ptr<platform::TSharedMemory> FBlock;
};

// The player folder with a trailing "/", or empty when neither the block nor
// the registry names one (the libraries are then looked for by bare name).
std::u16string GetPlayerInstallDir();

// The registry file: ${XDG_CONFIG_HOME:-$HOME/.config}/Morva/registry.ini.
std::u16string PlayerRegistryFile();
