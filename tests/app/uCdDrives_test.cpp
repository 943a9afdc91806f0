// The CD commands on disc images: reading the drives into the list, the
// names of the targets with and without CD-TEXT, the track files as the
// file utilities see them, listing and ejecting.
#include "app/uCdDrives.h"

#include <gtest/gtest.h>

#include "app/uSourceAdding.h"
#include "infra/uLxFileUtils.h"
#include "tests/app/uCdTestEnv.h"
#include "tests/support/uTagOracle.h"

using namespace cuetest;
using morvotest::Field;
using morvotest::MakeCdImage;
using morvotest::PlainTracks;
using morvotest::ReadTagsWithMutagen;
using morvotest::TCdImage;

namespace {

class CdDrivesTest : public TCdManagerTest {
protected:
  void SetUp() override {
    TCdManagerTest::SetUp();
    FAlbum = MakeCdImage(FDir.Path(), "album",
                         {{160, "Singer A", "First"}, {150, "", "第二首"}, {150, "", ""}}, 51,
                         "The Band", "Best");
    FPlain = MakeCdImage(FDir.Path(), "plain", PlainTracks({150, 151}), 52);
    FGone = (FDir.Path() / "gone.cue").string();
    UseDrives({FAlbum.Cue.string(), FGone, FPlain.Cue.string()});
  }

  TCdImage FAlbum, FPlain;
  std::string FGone;
};

TEST_F(CdDrivesTest, ReadingTheDrivesAddsEveryReadyDiscsTracksAsCdTasks) {
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(u".mp3");
  EXPECT_EQ(ReadCdDrives(Adder), 2);
  EXPECT_TRUE(Adder.Refused().empty());
  const std::vector<TTaskItem*> Added = Tasks();
  ASSERT_EQ(Added.size(), 5u);
  const std::u16string Sources[] = {Track(FAlbum, 1), Track(FAlbum, 2), Track(FAlbum, 3),
                                    Track(FPlain, 1), Track(FPlain, 2)};
  // With CD-TEXT as a cue track is named (the album's performer for a track
  // without its own, the number for a track without title); without, by
  // the track file's name.
  const std::u16string Targets[] = {u"Singer A - First.mp3", u"The Band - 第二首.mp3",
                                    u"The Band - 03.mp3", u"Track01.mp3", u"Track02.mp3"};
  for (size_t I = 0; I < Added.size(); ++I) {
    EXPECT_EQ(Added[I]->FSource, Sources[I]);
    EXPECT_EQ(Added[I]->FTargetName, Targets[I]);
    EXPECT_EQ(Added[I]->FKind, tkWholeFile);
    EXPECT_EQ(Added[I]->FSourceClass, scOptical);
  }
  // Reading again adds nothing twice.
  ReadCdDrives(Adder);
  EXPECT_EQ(FManager->TaskCount(), 5);
  EXPECT_EQ(Adder.Refused().size(), 5u);
}

TEST_F(CdDrivesTest, ABatchThatStartsOnACdIsACdBatch) {
  const std::u16string Wav = FDir.Write("x.wav", "not really audio");
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(u".flac");
  Adder.AddSources({Track(FPlain, 2), Wav}, TSourceAdder::ModeUser);
  Adder.AddSources({Wav, Track(FAlbum, 1)}, TSourceAdder::ModeUser);
  const std::vector<TTaskItem*> Added = Tasks();
  ASSERT_EQ(Added.size(), 3u);
  EXPECT_EQ(Added[0]->FSourceClass, scOptical);
  EXPECT_EQ(Added[1]->FSourceClass, scOptical);
  EXPECT_EQ(Added[2]->FSourceClass, scOther);
  EXPECT_EQ(Added[2]->FTargetName, u"Singer A - First.flac");
}

TEST_F(CdDrivesTest, TheFileUtilitiesSeeTheTracksOfAReadyDrive) {
  const std::u16string Root = W(FAlbum.Cue.string()) + u"/";
  EXPECT_TRUE(WideFileExists(Track(FAlbum, 2)));
  EXPECT_FALSE(WideFileExists(Track(FAlbum, 4)));
  EXPECT_FALSE(WideFileExists(W(FGone) + u"/Track01.cda"));
  EXPECT_TRUE(WideDirectoryExists(Root));
  EXPECT_FALSE(WideFileExists(Root));
  EXPECT_FALSE(WideDirectoryExists(Track(FAlbum, 1)));

  TSearchRecW Rec;
  std::vector<std::u16string> Names;
  ASSERT_EQ(WideFindFirst(Root + u"*.*", faAnyFile, Rec), 0u);
  do {
    Names.push_back(Rec.Name);
    EXPECT_EQ(Rec.Size, int64_t(150 + (Names.size() == 1 ? 10 : 0)) * 2352);
  } while (WideFindNext(Rec) == 0);
  WideFindClose(Rec);
  EXPECT_EQ(Names, (std::vector<std::u16string>{u"Track01.cda", u"Track02.cda", u"Track03.cda"}));

  EXPECT_TRUE(IsDriveReady(Root));
  EXPECT_TRUE(IsDriveReady(W(FPlain.Cue.string())));
  EXPECT_FALSE(IsDriveReady(W(FGone) + u"/"));
  EXPECT_FALSE(IsDriveReady(FDir.Wide()));
}

TEST_F(CdDrivesTest, ListingShowsEveryDriveAndEjectingLeavesImagesAlone) {
  const std::vector<TCdDriveState> Drives = ListCdDrives();
  ASSERT_GE(Drives.size(), 3u);
  const TCdDriveState* Album = &Drives[Drives.size() - 3];
  EXPECT_EQ(Album->Drive, W(FAlbum.Cue.string()));
  EXPECT_EQ(Album->Root, W(FAlbum.Cue.string()) + u"/");
  EXPECT_TRUE(Album->Ready);
  EXPECT_EQ(Album->TrackCount, 3);
  EXPECT_EQ(Album->Performer, u"The Band");
  EXPECT_EQ(Album->Title, u"Best");
  EXPECT_FALSE(Drives[Drives.size() - 2].Ready);
  EXPECT_TRUE(Drives.back().Ready);
  EXPECT_EQ(Drives.back().Performer, u"");

  const std::string Bin = ReadBytes(FAlbum.Bin);
  EjectCdDrives();
  EXPECT_EQ(ReadBytes(FAlbum.Bin), Bin);
  EXPECT_TRUE(IsDriveReady(W(FAlbum.Cue.string())));
}

// CD-TEXT travels into the targets' tags as a cue sheet's values do, read
// back by mutagen; a disc without CD-TEXT gives its targets no tags.
TEST_F(CdDrivesTest, CdTextBecomesTheTargetsTagsAndAPlainDiscGivesNone) {
  const TCdImage Rich = MakeCdImage(
      FDir.Path(), "rich", {{150, "Singer A", "First"}, {151, "", "第二首"}}, 53, "The Band",
      "Best", "SONGWRITER \"Album Writer\"\nGENRE \"Jazz\"\nUPC_EAN \"0724384960650\"\n",
      {"    COMPOSER \"Track Composer\"\n    ISRC \"USRC17607839\"\n", ""});
  UseDrives({Rich.Cue.string(), FPlain.Cue.string()});
  const fs::path Out = FDir.Path() / "out";
  fs::create_directories(Out);
  for (const std::u16string Ext : {u".flac", u".mp3"}) {
    SCOPED_TRACE(platform::WideToUtf8(Ext));
    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(Ext);
    ASSERT_EQ(ReadCdDrives(Adder), 2);
    FManager->SetDestPath(W(Out.string() + "/"));
    FManager->FExistPolicy = epOverwrite;
    RunConversion();
    const std::string Suffix = platform::WideToUtf8(Ext);

    const nlohmann::json First = ReadTagsWithMutagen(Out / ("Singer A - First" + Suffix));
    EXPECT_EQ(Field(First, "title"), "First");
    EXPECT_EQ(Field(First, "artist"), "Singer A");
    EXPECT_EQ(Field(First, "album"), "Best");
    EXPECT_EQ(Field(First, "albumartist"), "The Band");
    EXPECT_EQ(Field(First, "track"), "1");
    EXPECT_EQ(Field(First, "tracktotal"), "2");
    EXPECT_EQ(Field(First, "composer"), "Track Composer");
    EXPECT_EQ(Field(First, "genre"), "Jazz");
    EXPECT_EQ(Field(First, "isrc"), "USRC17607839");
    if (Ext == u".flac") {
      EXPECT_EQ(Field(First, "catalog"), "0724384960650");
    }
    // The album's performer and songwriter stand in for the track's.
    const nlohmann::json Second = ReadTagsWithMutagen(Out / ("The Band - 第二首" + Suffix));
    EXPECT_EQ(Field(Second, "title"), "第二首");
    EXPECT_EQ(Field(Second, "artist"), "The Band");
    EXPECT_EQ(Field(Second, "composer"), "Album Writer");
    EXPECT_EQ(Field(Second, "track"), "2");
    EXPECT_EQ(Field(Second, "isrc"), "");

    const nlohmann::json Plain = ReadTagsWithMutagen(Out / ("Track01" + Suffix));
    for (const char* Name : {"title", "artist", "album", "track"})
      EXPECT_EQ(Field(Plain, Name), "") << Name;
    for (TTaskItem* Task : Tasks())
      FManager->RemoveTask(Task->FId);
  }
}

}  // namespace
