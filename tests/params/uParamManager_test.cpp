#include "params/uParamManager.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/uPlayerSetup.h"

namespace {

TEST(ParamManagerTest, EveryFormatRegistersWhenTheCodecLibraryIsThere) {
  TPlayerSetup Player(true);
  ASSERT_TRUE(Player.PlayerFolderIsOurs());
  WriteBytes(Player.ConfigFile(), "[FLAC]\nQulity=6\n");
  TParamManager Manager;
  EXPECT_TRUE(Manager.FMp3Available && Manager.FApeAvailable && Manager.FFlacAvailable &&
              Manager.FWavAvailable);
  std::vector<TFormatType> Told;
  Manager.FOnChanged = [&](TFormatType Type) { Told.push_back(Type); };
  for (const char* Ext : {".mp3", ".ape", ".wav", ".flac"})
    EXPECT_TRUE(Manager.Register(Ext)) << Ext;
  EXPECT_FALSE(Manager.Register(".ogg"));

  EXPECT_EQ(Manager.FindIdByExtension(".mp3"), 0);
  EXPECT_EQ(Manager.FindIdByExtension(".APE"), 1);
  EXPECT_EQ(Manager.FindIdByExtension(".Wav"), 2);
  EXPECT_EQ(Manager.FindIdByExtension(".flac"), 3);
  EXPECT_EQ(Manager.FindIdByExtension(".ogg"), -1);
  EXPECT_EQ(Manager.FindById(-1), nullptr);
  EXPECT_EQ(Manager.FindById(4), nullptr);
  TEncodeParam* Mp3 = Manager.FindByExtension(".MP3");
  ASSERT_NE(dynamic_cast<TMp3Param*>(Mp3), nullptr);
  EXPECT_EQ(Mp3, Manager.FindById(0));
  EXPECT_EQ(dynamic_cast<TFlacParam*>(Manager.FindById(3))->FQuality,
            6);  // read from the program folder

  EXPECT_TRUE(Manager.Register(".MP3"));  // a second MP3 entry with the next id
  EXPECT_EQ(Manager.FEntries.back().Id, 4);
  EXPECT_EQ(Manager.FEntries.back().Extension, ".mp3");
  EXPECT_NE(Manager.FindById(4), Mp3);
  EXPECT_EQ(Manager.FindByExtension(".mp3"), Mp3);
  EXPECT_EQ(Manager.FindIdByExtension(".mp3"), 0);

  Mp3->Changed();
  Manager.FindById(1)->Changed();
  EXPECT_EQ(Told, (std::vector<TFormatType>{ftMP3, ftAPE}));
}

TEST(ParamManagerTest, WithoutTheCodecLibraryOnlyWavRegisters) {
  TPlayerSetup Player(false);
  ASSERT_TRUE(Player.PlayerFolderIsOurs());
  TParamManager Manager;
  EXPECT_FALSE(Manager.FMp3Available || Manager.FApeAvailable || Manager.FFlacAvailable);
  EXPECT_TRUE(Manager.FWavAvailable);
  EXPECT_FALSE(TMp3Param::IsEncoderAvailable());
  EXPECT_TRUE(TWavParam::Class().IsEncoderAvailable());
  EXPECT_FALSE(TEncodeParam::Class().IsEncoderAvailable());
  for (const char* Ext : {".mp3", ".ape", ".flac"})
    EXPECT_FALSE(Manager.Register(Ext)) << Ext;
  EXPECT_TRUE(Manager.Register(u".wav"));
  EXPECT_EQ(Manager.FindIdByExtension(".wav"), 0);
  EXPECT_NE(dynamic_cast<TWavParam*>(Manager.FindById(0)), nullptr);
  EXPECT_EQ(Manager.FindByExtension(".mp3"), nullptr);
  EXPECT_EQ(Manager.FindIdByExtension(".flac"), -1);
}

TEST(ParamManagerTest, ClassesAndAvailabilityByExtension) {
  TPlayerSetup Player(true);
  ASSERT_TRUE(Player.PlayerFolderIsOurs());
  EXPECT_TRUE(TApeParam::IsEncoderAvailable());
  const TParamManager Manager;
  EXPECT_EQ(TParamManager::ClassForExtension(".FLAC"), &TFlacParam::Class());
  EXPECT_EQ(TParamManager::ClassForExtension("mp3"), nullptr);
  EXPECT_TRUE(Manager.IsFormatAvailable(".Mp3"));
  EXPECT_FALSE(Manager.IsFormatAvailable(".ogg"));
  EXPECT_EQ(TParamManager::ConfigFile(), Player.WideConfigFile());
}

}  // namespace
