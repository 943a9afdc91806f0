// A fresh folder under the system's temporary folder for one test's files,
// removed with everything in it when the object goes. Owned by its creator
// and used by one thread at a time.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace morvotest {

class TTempDir {
public:
  TTempDir() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "morvo-test-XXXXXX").string();
    if (mkdtemp(Pattern.data()) == nullptr)
      throw std::runtime_error("cannot make a temporary folder from " + Pattern);
    FPath = Pattern;
  }
  ~TTempDir() {
    namespace fs = std::filesystem;
    std::error_code Ignored;
    // Tests of refused writes take the owner's rights away: give them back so
    // that the folder can go.
    fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, Ignored);
    fs::remove_all(FPath, Ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
  std::filesystem::path FPath;
};

}  // namespace morvotest
