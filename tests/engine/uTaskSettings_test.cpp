#include "engine/uTaskSettings.h"

#include <gtest/gtest.h>

#include "tests/support/uPlayerSetup.h"

namespace {

TEST(TaskSettingsTest, WithoutAFileNothingIsReadOrCreated) {
  TPlayerSetup Setup(false);
  const TScopedEnv Home("HOME", "/home/someone");
  EXPECT_EQ(DefaultTargetFolder(), u"/home/someone/Morva/Convert/");
  std::u16string DestPath = DefaultTargetFolder();
  int32_t TipShow = 0;
  LoadTaskSettings(DestPath, TipShow);
  EXPECT_EQ(DestPath, u"/home/someone/Morva/Convert/");
  EXPECT_EQ(TipShow, 0);
  EXPECT_FALSE(std::filesystem::exists(Setup.ConfigFile()));
}

TEST(TaskSettingsTest, SavedSettingsComeBackAndOtherKeysStay) {
  TPlayerSetup Setup(false);
  WriteBytes(Setup.ConfigFile(), "[General]\r\nDelAftSucc=1\r\n[MP3]\r\nMp3Mode=2\r\n");
  ASSERT_TRUE(SaveTaskSettings(u"/data/音乐/", 1));
  EXPECT_EQ(
      ReadBytes(Setup.ConfigFile()),
      "[General]\r\nDelAftSucc=1\r\nDestPath=/data/音乐/\r\nTipShow=1\r\n[MP3]\r\nMp3Mode=2\r\n");
  std::u16string DestPath = u"unused";
  int32_t TipShow = 0;
  LoadTaskSettings(DestPath, TipShow);
  EXPECT_EQ(DestPath, u"/data/音乐/");
  EXPECT_EQ(TipShow, 1);
}

TEST(TaskSettingsTest, MissingKeysKeepTheDefaultsAndAFailedSaveDoesNotRaise) {
  TPlayerSetup Setup(false);
  WriteBytes(Setup.ConfigFile(), "[General]\nTipShow=0x1\n");
  std::u16string DestPath = u"/default/";
  int32_t TipShow = 0;
  LoadTaskSettings(DestPath, TipShow);
  EXPECT_EQ(DestPath, u"/default/");
  EXPECT_EQ(TipShow, 1);

  std::filesystem::remove(Setup.ConfigFile());
  std::filesystem::create_directory(Setup.ConfigFile());
  EXPECT_FALSE(SaveTaskSettings(u"/x/", 1));
}

}  // namespace
