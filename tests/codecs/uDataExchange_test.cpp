#include "codecs/uDataExchange.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/uSharedMemory.h"
#include "tests/codecs/TestSupport.h"

using namespace testing_codecs;

namespace {

std::u16string WithSlash(const fs::path& Folder) { return Folder.u16string() + u"/"; }

struct PlayerInstallDir : ::testing::Test {
  TPlayerFolder Player;
  TTempDir Install;
};

TEST_F(PlayerInstallDir, TheBlockComesFirstAndGetsATrailingDelimiter) {
  Player.PublishInBlock(Install.Path().u16string());
  Player.PublishInRegistry("/somewhere/else/Morva");
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path()));
  Player.PublishInBlock(WithSlash(Install.Path()));
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path())) << "no second delimiter";
}

TEST_F(PlayerInstallDir, ABlockFolderThatIsNoDirectoryFallsBackToTheRegistry) {
  const fs::path file = Install.Path() / "Morva";
  std::ofstream(file) << "x";
  Player.PublishInRegistry(file.string());
  Player.PublishInBlock(file.u16string());
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path()));
  Player.PublishInBlock((Install.Path() / "gone").u16string());
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path()));
  Player.PublishInBlock(u"");
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path()));
}

TEST_F(PlayerInstallDir, AFolderFillingAllUnitsWithoutTerminatorIsReadToUnit260) {
  // 259 units of the folder name plus its trailing "/" fill the field exactly.
  fs::path deep = Install.Path();
  const size_t wanted = TDataExchange::FolderMaxUnits - 1;
  while (deep.u16string().size() + 2 + 50 <= wanted)
    deep /= std::string(50, 'd');
  deep /= std::string(wanted - deep.u16string().size() - 1, 'e');
  fs::create_directories(deep);
  std::u16string field = WithSlash(deep);
  ASSERT_EQ(field.size(), TDataExchange::FolderMaxUnits);
  std::vector<char16_t> units(field.begin(), field.end());
  units.push_back(u'X');  // beyond the field: must not be read
  Player.PublishInBlockRaw(units);
  EXPECT_EQ(TDataExchange().GetPlayerFolder(), field);
}

TEST_F(PlayerInstallDir, TheRegistryGivesTheFolderOfTheRecordedFile) {
  Player.PublishInRegistry(Install.Path().string() + "/Morva.exe");
  EXPECT_EQ(GetPlayerInstallDir(), WithSlash(Install.Path()));
}

// A value without a folder would point the library lookup at the root of
// the file system; the bare-name lookup beside the executable is used instead.
TEST_F(PlayerInstallDir, NothingUsableGivesAnEmptyFolder) {
  EXPECT_EQ(GetPlayerInstallDir(), u"");
  Player.PublishInRegistry("");
  EXPECT_EQ(GetPlayerInstallDir(), u"");
  Player.PublishInRegistry("Morva.exe");
  EXPECT_EQ(GetPlayerInstallDir(), u"");
}

TEST(TDataExchange, AMissingBlockIsNotCreated) {
  // Only when no player (or other test) has published the block.
  if (auto existing =
          platform::TSharedMemory::OpenExisting(TDataExchange::BlockName, TDataExchange::BlockSize))
    GTEST_SKIP() << "the block is published by someone else";
  TDataExchange exchange;
  EXPECT_FALSE(exchange.Mapped());
  EXPECT_EQ(exchange.GetPlayerFolder(), u"");
  EXPECT_FALSE(
      platform::TSharedMemory::OpenExisting(TDataExchange::BlockName, TDataExchange::BlockSize));
}

}  // namespace
