// Test folders and files, and environment variables for one scope.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"

using TTestDir = morvotest::TTempDir;
using morvotest::ReadBytes;
using morvotest::WriteBytes;

// A path as the platform's wide file functions take it.
inline std::u16string WidePath(const std::filesystem::path& Path) {
  return platform::Utf8ToWide(Path.string());
}

// Sets an environment variable for one scope and puts the old value back.
class TScopedEnv {
public:
  TScopedEnv(const char* Name, const std::string& Value) : FName(Name) {
    if (const char* Old = std::getenv(Name))
      FOld = Old, FHadOld = true;
    ::setenv(Name, Value.c_str(), 1);
  }
  ~TScopedEnv() {
    if (FHadOld)
      ::setenv(FName, FOld.c_str(), 1);
    else
      ::unsetenv(FName);
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  const char* FName;
  std::string FOld;
  bool FHadOld = false;
};
