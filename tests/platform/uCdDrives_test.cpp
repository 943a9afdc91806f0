// CD drives through libcdio's image drivers: disc images named in
// MORVO_CD_DRIVES stand for drives; the table of contents and the CD-TEXT
// read back must be the ones the image was made with.
#include "platform/uCdDrives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/uCodePage.h"
#include "tests/support/uCdImage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

namespace fs = std::filesystem;
using namespace morvotest;
using platform::TCdDisc;

namespace {

std::u16string W(const fs::path& Path) { return platform::PathToWide(Path.string()); }

class CdDrives : public ::testing::Test {
protected:
  // The drive list becomes the devices and Entries.
  void UseDrives(const std::string& Entries) {
    FEnv.reset();
    FEnv.emplace("MORVO_CD_DRIVES", Entries);
    platform::RefreshCdDrives();
  }
  void TearDown() override {
    FEnv.reset();
    platform::RefreshCdDrives();
  }
  // The drives after the system's own devices (a test machine may have some).
  std::vector<std::u16string> ImageDrives(size_t Count) {
    const std::vector<std::u16string> All = platform::CdDrives();
    if (All.size() < Count) return All;
    return std::vector<std::u16string>(All.end() - long(Count), All.end());
  }

  TTempDir FDir;
  std::optional<TScopedEnv> FEnv;
};

TEST_F(CdDrives, ImagesFollowTheDevicesInTheirOrderOnceEachAndAbsolute) {
  UseDrives((FDir / "b.cue").string() + ":" + (FDir / "a.cue").string() +
            "::" + (FDir / "b.cue").string() + "/");
  EXPECT_EQ(ImageDrives(2), (std::vector<std::u16string>{W(FDir / "b.cue"), W(FDir / "a.cue")}));
  EXPECT_TRUE(platform::IsCdDrive(W(FDir / "a.cue")));
  EXPECT_FALSE(platform::IsCdDrive(W(FDir / "c.cue")));

  // A relative entry is taken from the working folder of the moment the
  // drives are listed.
  const fs::path Before = fs::current_path();
  fs::current_path(FDir.Path());
  UseDrives("rel.cue");
  const std::vector<std::u16string> Relative = ImageDrives(1);
  fs::current_path(Before);
  EXPECT_EQ(Relative, std::vector<std::u16string>{W(FDir / "rel.cue")});
}

TEST_F(CdDrives, DriveNamesSortByTheValueOfTheirNumbers) {
  using platform::CdDriveNameLess;
  EXPECT_TRUE(CdDriveNameLess(u"/dev/sr2", u"/dev/sr10"));
  EXPECT_FALSE(CdDriveNameLess(u"/dev/sr10", u"/dev/sr2"));
  EXPECT_TRUE(CdDriveNameLess(u"/dev/scd1", u"/dev/sr0"));
  EXPECT_TRUE(CdDriveNameLess(u"/dev/sr0", u"/dev/sr00"));  // equal values: a strict, total order
  EXPECT_FALSE(CdDriveNameLess(u"/dev/sr1", u"/dev/sr1"));
}

TEST_F(CdDrives, ATableOfContentsAndItsCdTextReadBackAsMade) {
  // The sheet is UTF-8, as a Chinese user's cue sheets are.
  TScopedLocale Desktop("zh_CN.UTF-8", "65001");
  const TCdImage Image = MakeCdImage(
      FDir.Path(), "album", {{160, "Singer A", "First"}, {250, "", "第二首"}, {175, "歌手", ""}}, 1,
      "The Band", "Best Of");
  UseDrives(Image.Cue.string());
  const std::shared_ptr<const TCdDisc> Disc = platform::ReadCdDisc(W(Image.Cue));
  ASSERT_TRUE(Disc->Ready());
  ASSERT_EQ(Disc->Tracks.size(), 3u);
  const int32_t Sectors[] = {160, 250, 175};
  for (size_t I = 0; I < 3; ++I) {
    EXPECT_EQ(Disc->Tracks[I].Number, int32_t(I + 1));
    EXPECT_EQ(Disc->Tracks[I].FirstSector, int32_t(Image.FirstSector[I]));
    EXPECT_EQ(Disc->Tracks[I].SectorCount, Sectors[I]);
    EXPECT_TRUE(Disc->Tracks[I].Readable);
  }
  EXPECT_EQ(Disc->LeadOut, 160 + 250 + 175);
  EXPECT_TRUE(Disc->HasCdText);
  EXPECT_EQ(Disc->Performer, u"The Band");
  EXPECT_EQ(Disc->Title, u"Best Of");
  EXPECT_EQ(Disc->Tracks[0].Performer, u"Singer A");
  EXPECT_EQ(Disc->Tracks[1].Title, u"第二首");
  EXPECT_EQ(Disc->Tracks[1].Performer, u"");
  EXPECT_EQ(Disc->Tracks[2].Performer, u"歌手");
  EXPECT_TRUE(Disc->IsFirstTrack(1));
  EXPECT_TRUE(Disc->IsLastTrack(3));
  EXPECT_FALSE(Disc->IsLastTrack(2));
}

TEST_F(CdDrives, AGbkSheetReadsRightOnAChineseDesktop) {
  TScopedLocale Desktop("zh_CN.UTF-8", "65001");
  MakeCdImage(FDir.Path(), "gbk", PlainTracks({150}), 2);
  // 歌手 in GBK.
  WriteBytes(FDir / "gbk.cue", "PERFORMER \"\xB8\xE8\xCA\xD6\"\nFILE \"gbk.bin\" BINARY\n"
                               "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  UseDrives((FDir / "gbk.cue").string());
  EXPECT_EQ(platform::ReadCdDisc(W(FDir / "gbk.cue"))->Performer, u"歌手");
}

TEST_F(CdDrives, APlainDiscHasNoCdTextAndAMissingOneIsNotReady) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "plain", PlainTracks({150, 151}), 3);
  WriteBytes(FDir / "notes.txt", "not a disc image\n");
  UseDrives(Image.Cue.string() + ":" + (FDir / "gone.cue").string() + ":" +
            (FDir / "notes.txt").string());
  const std::shared_ptr<const TCdDisc> Plain = platform::ReadCdDisc(W(Image.Cue));
  EXPECT_TRUE(Plain->Ready());
  EXPECT_FALSE(Plain->HasCdText);
  EXPECT_EQ(Plain->Tracks[0].Title, u"");
  EXPECT_FALSE(platform::ReadCdDisc(W(FDir / "gone.cue"))->Ready());
  EXPECT_FALSE(platform::ReadCdDisc(W(FDir / "notes.txt"))->Ready());
}

TEST_F(CdDrives, ACutShortBinMakesTheTracksItLacksUnreadable) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "cut", PlainTracks({150, 300, 200}), 4);
  // Half of track 2 and all of track 3 are gone.
  fs::resize_file(Image.Bin, (150 + 120) * CdSectorBytes + 1000);
  UseDrives(Image.Cue.string());
  const std::shared_ptr<const TCdDisc> Disc = platform::ReadCdDisc(W(Image.Cue));
  ASSERT_EQ(Disc->Tracks.size(), 3u);
  EXPECT_TRUE(Disc->Tracks[0].Readable);
  EXPECT_FALSE(Disc->Tracks[1].Readable);
  EXPECT_EQ(Disc->Tracks[1].SectorCount, 300);  // as the table of contents says
  EXPECT_FALSE(Disc->Tracks[2].Readable);
}

TEST_F(CdDrives, TheCatalogKeepsADiscUntilItIsReadAgain) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "kept", PlainTracks({150, 150}), 5);
  UseDrives(Image.Cue.string());
  ASSERT_EQ(platform::CatalogCdDisc(W(Image.Cue))->Tracks.size(), 2u);
  fs::remove(Image.Cue);
  // Answered without going to the drive.
  EXPECT_EQ(platform::CatalogCdDisc(W(Image.Cue))->Tracks.size(), 2u);
  EXPECT_FALSE(platform::ReadCdDisc(W(Image.Cue))->Ready());
  EXPECT_FALSE(platform::CatalogCdDisc(W(Image.Cue))->Ready());
  EXPECT_EQ(platform::CatalogCdDisc(W(FDir / "other.cue")), nullptr);
}

TEST_F(CdDrives, EjectingAnImageLeavesItsFilesAsTheyWereAndForgetsTheDisc) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "tray", PlainTracks({150}), 6);
  UseDrives(Image.Cue.string());
  const std::string Cue = ReadBytes(Image.Cue), Bin = ReadBytes(Image.Bin);
  ASSERT_TRUE(platform::CatalogCdDisc(W(Image.Cue))->Ready());
  EXPECT_FALSE(platform::EjectCdDrive(W(Image.Cue)));  // an image has no tray
  EXPECT_EQ(ReadBytes(Image.Cue), Cue);
  EXPECT_EQ(ReadBytes(Image.Bin), Bin);
  fs::remove(Image.Cue);
  EXPECT_FALSE(platform::CatalogCdDisc(W(Image.Cue))->Ready());
}

TEST_F(CdDrives, ASourceOpensTheDiscForAReader) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "src", PlainTracks({150, 160}), 7);
  const std::unique_ptr<platform::TCdSource> Source = platform::TCdSource::Open(W(Image.Cue));
  ASSERT_NE(Source, nullptr);
  EXPECT_NE(Source->Handle(), nullptr);
  EXPECT_EQ(Source->ReadDisc().Tracks.size(), 2u);
  EXPECT_EQ(platform::TCdSource::Open(W(FDir / "none.cue")), nullptr);
}

}  // namespace
