// TCueParser on real sheets and real audio files; the last track's end comes
// from the player library's decoder built beside the test.
#include "text/uCueParser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/uCodePage.h"
#include "tests/support/uCueTestFiles.h"
#include "tests/support/uFifoWatch.h"

using namespace cuetest;

namespace {

class CueParserTest : public ::testing::Test {
protected:
  std::u16string WriteSheet(const std::string& Name, const std::string& Bytes) {
    return FDir.Write(Name, Bytes);
  }
  void MakeImage(const std::string& Name, double Seconds = 3.5) {
    MakeNoiseWav(FDir.Path() / Name, Seconds);
  }

  TChineseUtf8Desktop FDesktop;
  TTempDir FDir;
  TCueParser FParser;
};

TEST(CueTime, FramesAreSeventyFifthsAndFieldsKeepTheirLowEightBits) {
  EXPECT_EQ(TCueParser::ParseCueTime("03:25:40"), 205533);
  EXPECT_EQ(TCueParser::ParseCueTime("00:00:00"), 0);
  EXPECT_EQ(TCueParser::ParseCueTime("00:00:74"), 986);
  EXPECT_EQ(TCueParser::ParseCueTime("300:00:00"), 2640000);
  EXPECT_EQ(TCueParser::ParseCueTime("xx:10:15"), 10200); // a field that is no number counts 0
  EXPECT_EQ(TCueParser::ParseCueTime(""), 0);
}

TEST_F(CueParserTest, AlbumAndTrackLevelsAndBoundsUpToTheDecodersDuration) {
  MakeImage("image.wav");
  const auto Cue = WriteSheet("album.cue", "REM GENRE Pop\r\n"
                                           "PERFORMER \" Album Artist\"\r\n"
                                           "TITLE \" Album Title \"\r\n"
                                           "CATALOG 0123456789012\r\n"
                                           "FILE \"image.wav\" WAVE\r\n"
                                           "  TRACK 01 AUDIO\r\n"
                                           "    TITLE \" One \"\r\n"
                                           "    PERFORMER \"First Artist\"\r\n"
                                           "    INDEX 01 00:00:00\r\n"
                                           "  TRACK 02 AUDIO\r\n"
                                           "    TITLE \"Two\"\r\n"
                                           "    INDEX 00 00:01:00\r\n"
                                           "    INDEX 01 00:01:40\r\n"
                                           "    INDEX 02 00:02:00\r\n"
                                           "  track 03 audio\r\n"
                                           "    title \"lower case is not a keyword\"\r\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 2);
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"image.wav");
  EXPECT_EQ(FParser.FileType(), u"WAVE");
  EXPECT_EQ(FParser.Title(), u"Album Title");
  EXPECT_EQ(FParser.Performer(), u" Album Artist");
  EXPECT_EQ(FParser.Catalog(), u"0123456789012");

  EXPECT_EQ(FParser.Track(1).Title, u" One ");
  EXPECT_EQ(FParser.Track(1).Performer, u"First Artist");
  EXPECT_EQ(FParser.Track(1).StartMs, 0);
  EXPECT_EQ(FParser.Track(1).EndMs, 1533);
  EXPECT_EQ(FParser.Track(2).Title, u"Two");
  EXPECT_EQ(FParser.Track(2).Performer, u" Album Artist");
  EXPECT_EQ(FParser.Track(2).StartMs, 1533);
  EXPECT_EQ(FParser.Track(2).EndMs, 3500);
}

TEST_F(CueParserTest, GapsInTrackNumbersLeaveEmptyTracks) {
  MakeImage("image.wav");
  const auto Cue = WriteSheet("gaps.cue", "PERFORMER \"Artist\"\n"
                                          "FILE \"image.wav\" WAVE\n"
                                          "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                          "TRACK 02 AUDIO\nINDEX 01 00:01:00\n"
                                          "TRACK 05 AUDIO\nINDEX 01 00:02:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 5);
  EXPECT_EQ(FParser.Track(1).EndMs, 1000);
  EXPECT_EQ(FParser.Track(2).StartMs, 1000);
  EXPECT_EQ(FParser.Track(2).EndMs, 0);
  EXPECT_EQ(FParser.Track(3).StartMs, 0);
  EXPECT_EQ(FParser.Track(3).Performer, u"Artist");
  EXPECT_EQ(FParser.Track(4).EndMs, 2000);
  EXPECT_EQ(FParser.Track(4).Performer, u"Artist");
  EXPECT_EQ(FParser.Track(5).StartMs, 2000);
  EXPECT_EQ(FParser.Track(5).EndMs, 3500);
}

TEST_F(CueParserTest, TrackNumbersOutsideTheTableAreDroppedWithTheirLines) {
  MakeImage("image.wav");
  const auto Cue = WriteSheet("range.cue", "FILE \"image.wav\" WAVE\n"
                                           "TRACK 00 AUDIO\nTITLE \"zero\"\nINDEX 01 00:00:30\n"
                                           "TRACK 01 AUDIO\nTITLE \"one\"\nINDEX 01 00:00:00\n"
                                           "TRACK 101 AUDIO\nTITLE \"too far\"\nINDEX 01 00:01:00\n"
                                           "TRACK 02 AUDIO\nTITLE \"two\"\nINDEX 01 00:02:00\n"
                                           "TRACK -3 AUDIO\nINDEX 01 00:03:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 2);
  EXPECT_EQ(FParser.Title(), u"");
  EXPECT_EQ(FParser.Track(1).Title, u"one");
  EXPECT_EQ(FParser.Track(1).StartMs, 0);
  EXPECT_EQ(FParser.Track(1).EndMs, 2000);
  EXPECT_EQ(FParser.Track(2).Title, u"two");
  EXPECT_EQ(FParser.Track(2).EndMs, 3500);
}

TEST_F(CueParserTest, MalformedIndexAndTrackLines) {
  MakeImage("image.wav");
  // The number of TRACK is only taken before a blank: "TRACK 05" is track 1.
  auto Cue =
      WriteSheet("t.cue", "FILE \"image.wav\" WAVE\nTRACK 05\nTITLE \"x\"\nINDEX 01 00:01:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 1);
  EXPECT_EQ(FParser.Track(1).Title, u"x");

  Cue = WriteSheet("n.cue", "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nINDEX AB 00:00:00\n");
  EXPECT_FALSE(TCueParser().Parse(Cue));
  Cue = WriteSheet("w.cue", "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01\n");
  EXPECT_FALSE(TCueParser().Parse(Cue));
}

TEST_F(CueParserTest, AudioFileLookupFallsBackToTheSheetsOwnName) {
  MakeImage("Live.ape");
  // FILE names a WAV that is gone; the image beside the sheet was compressed.
  auto Cue = WriteSheet("Live.cue", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"Live.ape");

  // The sheet was renamed together with its image: the FILE's extension.
  MakeImage("Renamed.flac");
  Cue =
      WriteSheet("Renamed.cue", "FILE \"Original.flac\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  TCueParser Second;
  ASSERT_TRUE(Second.Parse(Cue));
  EXPECT_EQ(Second.FileName(), FDir.Wide() + u"Renamed.flac");
}

TEST_F(CueParserTest, AudioFileNamedInOtherLetterCaseOrWithBackslashesIsFound) {
  fs::create_directories(FDir.Path() / "CD1");
  MakeImage("CD1/Image.wav");
  auto Cue =
      WriteSheet("case.cue", "FILE \"cd1\\IMAGE.WAV\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  // The sub-folder's case must match: only the file name is looked up
  // without regard to case.
  EXPECT_FALSE(FParser.Parse(Cue));
  Cue = WriteSheet("case.cue", "FILE \"CD1\\IMAGE.WAV\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"CD1/Image.wav");
  EXPECT_EQ(FParser.Track(1).EndMs, 3500);
}

TEST_F(CueParserTest, MissingAudioFileFailsAndClearsTheTimes) {
  const auto Cue =
      WriteSheet("gone.cue", "FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                             "TRACK 02 AUDIO\nINDEX 01 00:01:00\n");
  EXPECT_FALSE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 2);
  EXPECT_EQ(FParser.Track(2).StartMs, 0);
  EXPECT_EQ(FParser.Track(1).EndMs, 0);
}

TEST_F(CueParserTest, AFifoNamedLikeTheImageIsNoImage) {
  ASSERT_EQ(::mkfifo((FDir.Path() / "pipe.wav").c_str(), 0600), 0);
  morvotest::TFifoWatch Watch(FDir.Path() / "pipe.wav");
  const auto Cue =
      WriteSheet("pipe.cue", "FILE \"pipe.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  EXPECT_FALSE(FParser.Parse(Cue));
  EXPECT_FALSE(FParser.ParseFailed()) << "the audio file is missing, the sheet is fine";
  EXPECT_FALSE(Watch.Stop()) << "the FIFO was opened for reading";
}

TEST_F(CueParserTest, SheetWithoutTracksLooksForNoFile) {
  const auto Cue = WriteSheet("empty.cue", "TITLE \"Nothing\"\nFILE \"gone.wav\" WAVE\n");
  EXPECT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.TrackCount(), 0);
  EXPECT_EQ(FParser.Title(), u"Nothing");
  EXPECT_EQ(FParser.FileName(), u"gone.wav");
}

TEST_F(CueParserTest, UnquotedFileNameIsTakenUpToTheType) {
  MakeImage("plain.wav");
  const auto Cue =
      WriteSheet("plain.cue", "FILE plain.wav WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"plain.wav");
  EXPECT_EQ(FParser.FileType(), u"WAVE");
}

TEST_F(CueParserTest, UnreadableSheetRaises) {
  EXPECT_ANY_THROW(FParser.Parse(FDir.Wide() + u"no such.cue"));
}

// Every encoding a sheet arrives in gives the same Chinese texts and finds
// the audio file that FILE names in Chinese.
struct TSheetEncoding {
  const char* Name;
  std::string (*Encode)(const std::u16string&);
};

void PrintTo(const TSheetEncoding& Encoding, std::ostream* Out) {
  *Out << Encoding.Name;
}

class CueEncodingTest : public CueParserTest,
                        public ::testing::WithParamInterface<TSheetEncoding> {};

const std::u16string ChineseSheet =
    u"PERFORMER \"周杰伦\"\r\n"
    u"TITLE \"七里香\"\r\n"
    u"FILE \"七里香 专辑.wav\" WAVE\r\n"
    u"  TRACK 01 AUDIO\r\n"
    u"    TITLE \"我的地盘\"\r\n"
    u"    INDEX 01 00:00:00\r\n"
    u"  TRACK 02 AUDIO\r\n"
    u"    TITLE \"学习\"\r\n" // its GBK bytes alone would pass for UTF-8
    u"    PERFORMER \"周杰伦、费玉清\"\r\n"
    u"    INDEX 01 00:02:00\r\n";

TEST_P(CueEncodingTest, ChineseTitlesAndFileName) {
  MakeImage("七里香 专辑.wav");
  const auto Cue = WriteSheet("sheet.cue", GetParam().Encode(ChineseSheet));
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"七里香 专辑.wav");
  EXPECT_EQ(FParser.Title(), u"七里香");
  ASSERT_EQ(FParser.TrackCount(), 2);
  EXPECT_EQ(FParser.Track(1).Title, u"我的地盘");
  EXPECT_EQ(FParser.Track(1).Performer, u"周杰伦");
  EXPECT_EQ(FParser.Track(2).Title, u"学习");
  EXPECT_EQ(FParser.Track(2).Performer, u"周杰伦、费玉清");
  EXPECT_EQ(FParser.Track(1).EndMs, 2000);
  EXPECT_EQ(FParser.Track(2).EndMs, 3500);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, CueEncodingTest,
    ::testing::Values(
        TSheetEncoding{
            "Utf8WithMark",
            [](const std::u16string& S) { return "\xEF\xBB\xBF" + platform::WideToUtf8(S); }},
        TSheetEncoding{"Utf8", [](const std::u16string& S) { return platform::WideToUtf8(S); }},
        TSheetEncoding{"Utf16LE", [](const std::u16string& S) { return Utf16Le(S); }},
        TSheetEncoding{"Utf16BE", [](const std::u16string& S) { return Utf16Be(S); }},
        TSheetEncoding{
            "Gbk", [](const std::u16string& S) { return platform::WideToCharset("CP936", S); }}),
    [](const auto& Info) { return std::string(Info.param.Name); });

} // namespace
