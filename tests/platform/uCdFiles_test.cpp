// A drive's audio tracks as files: names, attributes, sizes and directory
// searches through the platform's file primitives, and the drive type.
#include "platform/uCdFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/uCdDrives.h"
#include "platform/uCodePage.h"
#include "platform/uDriveType.h"
#include "platform/uFileIO.h"
#include "platform/uFileTime.h"
#include "tests/support/uCdImage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

namespace fs = std::filesystem;
using namespace morvotest;

namespace {

std::u16string W(const std::string& Utf8) { return platform::PathToWide(Utf8); }

TEST(CdTrackPaths, SplitIntoDriveAndNumberWhateverTheLetterCase) {
  std::u16string Drive;
  int32_t Number = 0;
  ASSERT_TRUE(platform::SplitCdTrackPath(u"/dev/sr0/Track07.cda", Drive, Number));
  EXPECT_EQ(Drive, u"/dev/sr0");
  EXPECT_EQ(Number, 7);
  ASSERT_TRUE(platform::SplitCdTrackPath(u"/m/a.cue//TRACK12.CDA", Drive, Number));
  EXPECT_EQ(Drive, u"/m/a.cue");
  EXPECT_EQ(Number, 12);
  ASSERT_TRUE(platform::SplitCdTrackPath(u"/dev/sr0\\track99.cda", Drive, Number));
  EXPECT_EQ(Number, 99);
  for (const char16_t* Bad :
       {u"/dev/sr0/Track00.cda", u"/dev/sr0/Track1.cda", u"/dev/sr0/Track123.cda",
        u"/dev/sr0/Track01.wav", u"/dev/sr0/Tracks1.cda", u"Track01.cda", u"/Track01.cda",
        u"/dev/sr0/Track0x.cda"})
    EXPECT_FALSE(platform::SplitCdTrackPath(Bad, Drive, Number)) << platform::WideToUtf8(Bad);
  EXPECT_EQ(platform::CdTrackFileName(3), u"Track03.cda");
  EXPECT_EQ(platform::CdDriveRoot(u"/dev/sr1"), u"/dev/sr1/");
}

class CdFiles : public ::testing::Test {
protected:
  void SetUp() override {
    FImage = MakeCdImage(FDir.Path(), "disc", PlainTracks({150, 226, 175}), 11);
    FDrive = W(FImage.Cue.string());
    FEnv.emplace("MORVO_CD_DRIVES", FImage.Cue.string() + ":" + (FDir / "empty.cue").string());
    platform::RefreshCdDrives();
  }
  void TearDown() override {
    FEnv.reset();
    platform::RefreshCdDrives();
  }

  TTempDir FDir;
  TCdImage FImage;
  std::u16string FDrive;
  std::optional<TScopedEnv> FEnv;
};

TEST_F(CdFiles, TrackFilesHaveTheirAudioAsSizeAndTheRootIsAFolder) {
  EXPECT_EQ(platform::GetFileAttributesW(FDrive + u"/"),
            platform::FILE_ATTRIBUTE_DIRECTORY | platform::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(platform::GetFileAttributesW(FDrive + u"/Track02.cda"),
            platform::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(platform::GetFileAttributesW(FDrive + u"/track03.CDA"),
            platform::FILE_ATTRIBUTE_READONLY);
  // The image itself stays the file it is.
  EXPECT_EQ(platform::GetFileAttributesW(FDrive) & platform::FILE_ATTRIBUTE_DIRECTORY, 0u);

  EXPECT_EQ(platform::GetFileAttributesW(FDrive + u"/Track04.cda"),
            platform::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::GetFileAttributesW(FDrive + u"/Track01.wav"),
            platform::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_PATH_NOT_FOUND);
  // A drive without a disc has no root folder.
  EXPECT_EQ(platform::GetFileAttributesW(W((FDir / "empty.cue").string()) + u"/"),
            platform::INVALID_FILE_ATTRIBUTES);
}

TEST_F(CdFiles, ASearchOfTheRootListsTheTracksInOrder) {
  platform::TFindData Data;
  auto Search = platform::TFindSearch::FindFirst(FDrive + u"/*.*", Data);
  ASSERT_NE(Search, nullptr);
  std::vector<std::u16string> Names;
  std::vector<uint64_t> Sizes;
  do {
    Names.push_back(Data.Name);
    Sizes.push_back(Data.Size);
    EXPECT_EQ(Data.Attributes, platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_GT(Data.LastWriteTime, platform::FileTimeUnixEpoch);
  } while (Search->FindNext(Data));
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_NO_MORE_FILES);
  EXPECT_EQ(Names, (std::vector<std::u16string>{u"Track01.cda", u"Track02.cda", u"Track03.cda"}));
  EXPECT_EQ(Sizes,
            (std::vector<uint64_t>{150 * CdSectorBytes, 226 * CdSectorBytes, 175 * CdSectorBytes}));

  EXPECT_NE(platform::TFindSearch::FindFirst(FDrive + u"/track02.*", Data), nullptr);
  EXPECT_EQ(Data.Name, u"Track02.cda");
  EXPECT_EQ(platform::TFindSearch::FindFirst(FDrive + u"/*.mp3", Data), nullptr);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_FILE_NOT_FOUND);
}

TEST_F(CdFiles, PathsBelowAFileThatIsNoDriveStayMissing) {
  WriteBytes(FDir / "plain.txt", "text");
  const std::u16string Below = W((FDir / "plain.txt").string()) + u"/Track01.cda";
  EXPECT_EQ(platform::GetFileAttributesW(Below), platform::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_PATH_NOT_FOUND);
  platform::TFindData Data;
  EXPECT_EQ(platform::TFindSearch::FindFirst(W((FDir / "plain.txt").string()) + u"/*.*", Data),
            nullptr);
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_PATH_NOT_FOUND);
}

TEST_F(CdFiles, TheDriveItsRootAndItsTracksAreOnACdRomDrive) {
  EXPECT_EQ(platform::CdDriveOfPath(FDrive + u"/Track01.cda"), FDrive);
  EXPECT_EQ(platform::CdDriveOfPath(FDrive + u"x/Track01.cda"), u"");
  EXPECT_EQ(platform::GetDriveTypeW(FDrive + u"/Track01.cda"), platform::DRIVE_CDROM);
  EXPECT_EQ(platform::GetDriveTypeW(FDrive + u"/"), platform::DRIVE_CDROM);
  EXPECT_EQ(platform::GetDriveTypeW(FDrive), platform::DRIVE_CDROM);
  // The folder that holds the image is whatever it was.
  EXPECT_NE(platform::GetDriveTypeW(W(FDir.Path().string()) + u"/"), platform::DRIVE_CDROM);
}

}  // namespace
