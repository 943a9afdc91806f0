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
  EXPECT_EQ(TCueParser::ParseCueTime("xx:10:15"), 10200);  // a field that is no number counts 0
  EXPECT_EQ(TCueParser::ParseCueTime(""), 0);
}

TEST(CueTime, BlanksAndTabsAroundTheFieldsAreIgnored) {
  EXPECT_EQ(TCueParser::ParseCueTime(" 01:02:00"), 62000);
  EXPECT_EQ(TCueParser::ParseCueTime("\t01 : 02 :\t00 "), 62000);
  EXPECT_EQ(TCueParser::ParseCueFrames("  03:25:40\t"), (3 * 60 + 25) * 75 + 40);
}

TEST(CueTime, FramesAreExactBeyondTheLowEightBits) {
  EXPECT_EQ(TCueParser::ParseCueFrames("03:25:40"), 15415);
  EXPECT_EQ(TCueParser::ParseCueFrames("300:00:00"), 300 * 60 * 75);
  EXPECT_EQ(TCueParser::ParseCueFrames("00:00:74"), 74);
  EXPECT_EQ(TCueParser::ParseCueFrames("-1:00:10"), 10);
  EXPECT_EQ(TCueParser::ParseCueFrames(""), 0);
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

TEST_F(CueParserTest, CutsAreInFramesAndTheFirstTrackTakesThePregap) {
  MakeImage("image.wav");
  const auto Cue = WriteSheet("htoa.cue", "FILE \"image.wav\" WAVE\n"
                                          "TRACK 01 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:00:33\n"
                                          "TRACK 02 AUDIO\nINDEX 00 00:01:20\nINDEX 01  00:01:37\n"
                                          "TRACK 03 AUDIO\nINDEX\t01\t00:03:05\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  ASSERT_EQ(FParser.TrackCount(), 3);
  // Milliseconds as shown; the cut in frames, from the start of the file.
  EXPECT_EQ(FParser.Track(1).StartMs, 440);
  EXPECT_EQ(FParser.Track(1).StartFrame, 0);
  EXPECT_EQ(FParser.Track(1).EndFrame, 75 + 37);
  EXPECT_EQ(FParser.Track(2).StartMs, 1493);
  EXPECT_EQ(FParser.Track(2).StartFrame, 75 + 37);
  EXPECT_EQ(FParser.Track(2).EndFrame, 3 * 75 + 5);
  EXPECT_EQ(FParser.Track(3).StartFrame, 3 * 75 + 5);
  EXPECT_EQ(FParser.Track(3).EndFrame, -1);
  EXPECT_EQ(FParser.Track(3).EndMs, 3500);
  for (int N = 1; N <= 3; ++N)
    EXPECT_EQ(FParser.Track(N).FileName, FDir.Wide() + u"image.wav");
}

// EAC's "gaps appended" layout: the next FILE comes between a track's
// INDEX 00 and its INDEX 01; the gap stays with the track before.
TEST_F(CueParserTest, EachTrackLiesInTheFileOfItsIndexOne) {
  MakeImage("01.wav", 2.5);
  MakeImage("02.wav", 3.0);
  FDir.Write("03.wav", "not audio");
  const auto Cue = WriteSheet("eac.cue", "PERFORMER \"P\"\r\n"
                                         "FILE \"01.wav\" WAVE\r\n"
                                         "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                         "  TRACK 02 AUDIO\r\n    INDEX 01 00:01:10\r\n"
                                         "  TRACK 03 AUDIO\r\n    INDEX 00 00:02:00\r\n"
                                         "FILE \"02.wav\" WAVE\r\n    INDEX 01 00:00:00\r\n"
                                         "  TRACK 04 AUDIO\r\n    INDEX 00 00:01:50\r\n"
                                         "    INDEX 01 00:02:00\r\n"
                                         "FILE \"03.wav\" WAVE\r\n  TRACK 05 AUDIO\r\n"
                                         "    INDEX 01 00:00:00\r\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  ASSERT_EQ(FParser.TrackCount(), 5);
  const std::u16string Files[] = {u"01.wav", u"01.wav", u"02.wav", u"02.wav", u"03.wav"};
  const int64_t Starts[] = {0, 85, 0, 150, 0};
  const int64_t Ends[] = {85, -1, 150, -1, -1};
  for (int N = 1; N <= 5; ++N) {
    EXPECT_EQ(FParser.Track(N).FileName, FDir.Wide() + Files[N - 1]) << N;
    EXPECT_EQ(FParser.Track(N).StartFrame, Starts[N - 1]) << N;
    EXPECT_EQ(FParser.Track(N).EndFrame, Ends[N - 1]) << N;
    EXPECT_EQ(FParser.Track(N).Performer, u"P");
  }
  EXPECT_EQ(FParser.FileName(), FDir.Wide() + u"01.wav");
  // Milliseconds end within each file: the last track of a file at the
  // file's duration (none for a file the decoder cannot open).
  EXPECT_EQ(FParser.Track(1).EndMs, 1133);
  EXPECT_EQ(FParser.Track(2).EndMs, 2500);
  EXPECT_EQ(FParser.Track(3).StartMs, 0);
  EXPECT_EQ(FParser.Track(3).EndMs, 2000);
  EXPECT_EQ(FParser.Track(4).EndMs, 3000);
  EXPECT_EQ(FParser.Track(5).EndMs, 0);
}

TEST_F(CueParserTest, DiscsCountingFromOneAgainKeepEveryTrack) {
  FDir.Write("cd1.wav", "x");
  FDir.Write("cd2.wav", "x");
  const auto Cue = WriteSheet("2cd.cue", "FILE \"cd1.wav\" WAVE\n"
                                         "TRACK 01 AUDIO\nTITLE \"a\"\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nTITLE \"b\"\nINDEX 01 01:00:00\n"
                                         "FILE \"cd2.wav\" WAVE\n"
                                         "TRACK 01 AUDIO\nTITLE \"c\"\nINDEX 01 00:00:00\n"
                                         "TRACK 02 AUDIO\nTITLE \"d\"\nINDEX 01 02:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  ASSERT_EQ(FParser.TrackCount(), 4);
  EXPECT_EQ(FParser.Track(3).Title, u"c");
  EXPECT_EQ(FParser.Track(3).FileName, FDir.Wide() + u"cd2.wav");
  EXPECT_EQ(FParser.Track(3).StartFrame, 0);
  EXPECT_EQ(FParser.Track(3).EndFrame, 2 * 60 * 75);
  EXPECT_EQ(FParser.Track(2).EndFrame, -1);
  EXPECT_EQ(FParser.Track(4).Title, u"d");
}

TEST_F(CueParserTest, TracksWithoutIndexOneAndFilesNotFound) {
  FDir.Write("a.wav", "x");
  FDir.Write("c.wav", "x");
  const auto Cue =
      WriteSheet("odd.cue", "FILE \"a.wav\" WAVE\n"
                            "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                            "TRACK 02 AUDIO\nINDEX 00 00:01:00\n"
                            "TRACK 03 AUDIO\nINDEX 01 00:02:00\n"
                            "FILE \"b.wav\" WAVE\nTRACK 04 AUDIO\nINDEX 01 00:00:00\n"
                            "FILE \"c.wav\" WAVE\nTRACK 05 AUDIO\nINDEX 00 00:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  ASSERT_EQ(FParser.TrackCount(), 5);
  // A track without INDEX 01 after another of its file has no position;
  // the track before it runs on to the next one that has.
  EXPECT_EQ(FParser.Track(2).StartFrame, -1);
  EXPECT_EQ(FParser.Track(1).EndFrame, 150);
  EXPECT_EQ(FParser.Track(3).StartFrame, 150);
  // A file that is missing leaves its tracks without file.
  EXPECT_EQ(FParser.Track(4).FileName, u"");
  // The first track of a file starts at its beginning, INDEX 01 or not.
  EXPECT_EQ(FParser.Track(5).FileName, FDir.Wide() + u"c.wav");
  EXPECT_EQ(FParser.Track(5).StartFrame, 0);
  EXPECT_EQ(FParser.Track(5).EndFrame, -1);
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

TEST_F(CueParserTest, PathsFromAnotherMachineFallBackToTheBareNameBesideTheSheet) {
  FDir.Write("x.wav", "x");
  FDir.Write("Other.FLAC", "x");
  FDir.Write("y.ape", "x");
  const struct {
    const char* Named;
    const char16_t* Found;
  } Cases[] = {{"D:\\Rips\\x.wav", u"x.wav"},
               {"Sub/x.wav", u"x.wav"},
               {"C:\\Music\\Album\\OTHER.flac", u"Other.FLAC"},
               {"D:y.wav", u"y.ape"},
               {"\\\\server\\share\\Y.WAV", u"y.ape"}};
  for (const auto& Case : Cases) {
    const auto Cue = WriteSheet("s.cue", std::string("FILE \"") + Case.Named +
                                             "\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
    TCueParser Parser;
    ASSERT_TRUE(Parser.Parse(Cue)) << Case.Named;
    EXPECT_EQ(Parser.FileName(), FDir.Wide() + Case.Found) << Case.Named;
  }
}

TEST_F(CueParserTest, TheSheetsOwnNameStandsOnlyForASheetOfOneFile) {
  FDir.Write("album.wav", "x");
  auto Cue = WriteSheet("album.cue", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                     "FILE \"b.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  EXPECT_FALSE(FParser.Parse(Cue));
  Cue = WriteSheet("album.cue", "FILE \"a.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                "TRACK 02 AUDIO\nINDEX 01 00:01:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  EXPECT_EQ(FParser.Track(2).FileName, FDir.Wide() + u"album.wav");
}

// Every FILE line starts its file anew, also when it names a file named
// before; each file of several may have been compressed to APE.
TEST_F(CueParserTest, FilesNamedAgainAndFilesCompressedToApe) {
  FDir.Write("track.wav", "x");
  FDir.Write("02.ape", "x");
  auto Cue =
      WriteSheet("again.cue", "FILE \"track.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                              "FILE \"track.wav\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  ASSERT_TRUE(FParser.Parse(Cue));
  for (int N = 1; N <= 2; ++N) {
    EXPECT_EQ(FParser.Track(N).FileName, FDir.Wide() + u"track.wav");
    EXPECT_EQ(FParser.Track(N).StartFrame, 0);
    EXPECT_EQ(FParser.Track(N).EndFrame, -1);
  }
  Cue = WriteSheet("ape.cue", "FILE \"track.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                              "FILE \"02.dummy\" WAVE\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n");
  TCueParser Second;
  ASSERT_TRUE(Second.Parse(Cue));
  EXPECT_EQ(Second.Track(2).FileName, FDir.Wide() + u"02.ape");
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

void PrintTo(const TSheetEncoding& Encoding, std::ostream* Out) { *Out << Encoding.Name; }

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
    u"    TITLE \"学习\"\r\n"  // its GBK bytes alone would pass for UTF-8
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

}  // namespace
