#include "platform/uFileIdentity.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"

using morvotest::TTempDir;
using namespace platform;
namespace fs = std::filesystem;

namespace {

std::u16string W(const std::string& Path) { return PathToWide(Path); }

void Touch(const std::string& Path, const std::string& Text = "x") {
  std::ofstream(Path, std::ios::binary) << Text;
}

}  // namespace

TEST(FileIdentity, LetterCaseAndMissingFilesAreNotTheSame) {
  TTempDir Dir;
  Touch(Dir / "A.wav", "upper");
  Touch(Dir / "a.wav", "lower");
  EXPECT_FALSE(SameFile(W(Dir / "A.wav"), W(Dir / "a.wav")));
  // Two names that reach nothing are not one file.
  EXPECT_FALSE(SameFile(W(Dir / "none1"), W(Dir / "none1")));
  EXPECT_FALSE(FileIdentity(W(Dir / "none1")).has_value());
}

TEST(FileIdentity, ABindMountShowsTheSameFile) {
  TTempDir Dir;
  fs::create_directories(Dir / "real");
  fs::create_directories(Dir / "bound");
  Touch(Dir / "real/a.wav");
  if (mount((Dir / "real").c_str(), (Dir / "bound").c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind-mount here";
  EXPECT_TRUE(SameFile(W(Dir / "real/a.wav"), W(Dir / "bound/a.wav")));
  umount((Dir / "bound").c_str());
}

TEST(FileIdentity, AnOpenFileKeepsItsIdentity) {
  TTempDir Dir;
  Touch(Dir / "a.wav");
  const THandle Handle =
      CreateFileW(W(Dir / "a.wav"), GENERIC_READ, FILE_SHARE_READ, TDisposition::OpenExisting);
  ASSERT_NE(Handle, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(IsSameFile(HandleIdentity(Handle), FileIdentity(W(Dir / "a.wav"))));
  fs::rename(Dir / "a.wav", Dir / "b.wav");
  EXPECT_TRUE(IsSameFile(HandleIdentity(Handle), FileIdentity(W(Dir / "b.wav"))));
  CloseHandle(Handle);
}

TEST(FileIdentity, NameLimitOfTheFolderFileSystem) {
  TTempDir Dir;
  EXPECT_EQ(MaxFileNameBytes(W(Dir.Path().string())), 255);
  EXPECT_EQ(MaxFileNameBytes(W(Dir / "missing/folder")), 255);  // cannot ask: the usual limit
}
