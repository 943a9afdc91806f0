// A fresh temporary folder per test, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/uCodePage.h"

class TTestDir {
public:
  TTestDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "morvo-params-XXXXXX").string();
    FPath = ::mkdtemp(Pattern.data());
  }
  ~TTestDir() {
    std::error_code Ignored;
    std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, Ignored);
    std::filesystem::remove_all(FPath, Ignored);
  }
  TTestDir(const TTestDir&) = delete;
  TTestDir& operator=(const TTestDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path File(const std::string& Name) const { return FPath / Name; }
  std::u16string WideFile(const std::string& Name) const {
    return platform::Utf8ToWide(File(Name).string());
  }

private:
  std::filesystem::path FPath;
};

inline void WriteBytes(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out << Bytes;
}

inline std::string ReadBytes(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
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
