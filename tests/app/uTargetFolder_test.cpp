// The target-folder check on a real disk.
#include "app/uTargetFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"

namespace {

std::u16string W(const std::filesystem::path& Path) { return platform::PathToWide(Path.string()); }

TEST(TargetFolder, AnEmptyTextIsNoFolder) {
  for (const char16_t* Text : {u"", u"  ", u"\t"}) {
    const TTargetFolderCheck Check = CheckTargetFolder(Text);
    EXPECT_FALSE(Check.Ok) << platform::WideToUtf8(Text);
    EXPECT_EQ(Check.Message, u"\"  \"为无效路径");
    EXPECT_EQ(Check.Caption, u"路径修改");
  }
}

TEST(TargetFolder, AFolderIsNormalisedAndMade) {
  morvotest::TTempDir Dir;
  const TTargetFolderCheck Check = CheckTargetFolder(u"  " + W(Dir / "a/b") + u"//");
  ASSERT_TRUE(Check.Ok) << platform::WideToUtf8(Check.Message);
  EXPECT_EQ(Check.Path, W(Dir / "a/b") + u"/");
  EXPECT_TRUE(std::filesystem::is_directory(Dir / "a/b"));

  const TTargetFolderCheck NoDrive = CheckTargetFolder(u"relative/dir");
  EXPECT_FALSE(NoDrive.Ok);
  EXPECT_EQ(NoDrive.Message, u"\" relative/dir/ \"为无效路径");
}

}  // namespace
