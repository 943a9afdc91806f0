// A program folder (MORVO_PROGRAM_DIR) and a player folder published through
// the registry file (XDG_CONFIG_HOME), both temporary, with or without a
// codec library (the codec tests' stand-in); every codec library load is
// undone before and after.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "codecs/uDataExchange.h"
#include "codecs/uEncodeIntf.h"
#include "tests/support/uTestDir.h"

class TPlayerSetup {
public:
  explicit TPlayerSetup(bool WithCodecs)
      : FProgramEnv("MORVO_PROGRAM_DIR", FProgram.Path().string()),
        FConfigEnv("XDG_CONFIG_HOME", FConfig.Path().string()) {
    FinalizeCodecLibraries();
    std::filesystem::create_directories(FConfig / "Morva");
    WriteBytes(FConfig / "Morva/registry.ini",
               "[Software\\Morva]\nMorva8=" + (FPlayer / "Morva.exe").string() + "\n");
    if (WithCodecs) std::filesystem::copy_file(MORVO_TEST_CODECS_LIBRARY, FPlayer / "libcodecs.so");
  }
  ~TPlayerSetup() { FinalizeCodecLibraries(); }

  // A player block left by another process would take precedence.
  bool PlayerFolderIsOurs() const {
    return GetPlayerInstallDir() == platform::Utf8ToWide(FPlayer.Path().string() + "/");
  }
  std::filesystem::path ConfigFile() const { return FProgram / "EncodeConfig.ini"; }
  std::u16string WideConfigFile() const { return WidePath(FProgram / "EncodeConfig.ini"); }
  const TTestDir& Program() const { return FProgram; }

private:
  TTestDir FProgram;
  TTestDir FConfig;
  TTestDir FPlayer;
  TScopedEnv FProgramEnv;
  TScopedEnv FConfigEnv;
};
