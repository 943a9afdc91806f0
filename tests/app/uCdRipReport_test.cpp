// Ripping disc images with the real engine: every track to WAV and FLAC,
// compared byte for byte with the PCM the image was made of, and the rip
// report's checksums against the test's own computation of them.
#include "app/uCdRipReport.h"

#include <gtest/gtest.h>

#include "app/uCdDrives.h"
#include "app/uSourceAdding.h"
#include "tests/app/uCdOracle.h"
#include "tests/app/uCdTestEnv.h"

using namespace cuetest;
using morvotest::MakeCdImage;
using morvotest::PlainTracks;
using morvotest::TCdImage;

namespace {

using cdoracle::Hex;
using cdoracle::TrackLines;
using cdoracle::TReportLine;

class CdRipTest : public TCdManagerTest {
protected:
  // Reads the drives into the list for Ext and converts what is new into
  // Out with a rip log listening; returns the reports written there.
  std::vector<std::u16string> Rip(const std::u16string& Ext, const fs::path& Out) {
    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(Ext);
    ReadCdDrives(Adder);
    FManager->SetDestPath(W(Out.string() + "/"));
    FManager->FExistPolicy = epOverwrite;
    TCdRipLog Log;
    FManager->FPcmTapFactory = Log.TapFactory();
    RunConversion();
    FManager->FPcmTapFactory = nullptr;
    return Log.WriteReports(W(Out.string()));
  }

  std::string FlacPcm(const fs::path& Flac) {
    const fs::path Wav = Flac.string() + ".decoded.wav";
    EXPECT_TRUE(RunCommand("flac -d -s -f -o " + Quote(Wav) + " " + Quote(Flac)));
    return WavData(ReadBytes(Wav));
  }

  static std::string Bytes(const std::vector<uint8_t>& Pcm) {
    return std::string(Pcm.begin(), Pcm.end());
  }
};

TEST_F(CdRipTest, EveryTrackRipsToWavAndFlacAsTheDiscHoldsItAndTheReportAgrees) {
  const TCdImage Image = MakeCdImage(
      FDir.Path(), "album", {{160, "A", "One"}, {229, "B", "Two"}, {301, "C", "Three"}}, 61);
  UseDrives({Image.Cue.string()});
  const fs::path Out = FDir.Path() / "out";

  const std::vector<std::u16string> Reports = Rip(u".wav", Out);
  const std::string Names[] = {"A - One", "B - Two", "C - Three"};
  for (size_t I = 0; I < 3; ++I) {
    const std::string Wav = ReadBytes(Out / (Names[I] + ".wav"));
    ASSERT_FALSE(Wav.empty()) << Names[I];
    EXPECT_TRUE(WavData(Wav) == Bytes(Image.TrackPcm[I])) << Names[I];
  }
  ASSERT_EQ(Reports.size(), 1u);
  const std::string Report = ReadBytes(fs::path(Reports[0]));
  EXPECT_NE(Report.find("Drive        : " + Image.Cue.string() + "\n"), std::string::npos);
  EXPECT_NE(Report.find("full paranoia"), std::string::npos);
  const std::map<std::string, TReportLine> Lines = TrackLines(Report);
  ASSERT_EQ(Lines.size(), 3u);
  const char* Numbers[] = {"01", "02", "03"};
  for (size_t I = 0; I < 3; ++I) {
    SCOPED_TRACE(Numbers[I]);
    const TReportLine& Line = Lines.at(Numbers[I]);
    const cdoracle::TAccurateRip Sum = cdoracle::AccurateRipOf(Image.TrackPcm[I], I == 0, I == 2);
    EXPECT_EQ(Line.Crc32, Hex(cdoracle::BitwiseCrc32(Image.TrackPcm[I])));
    EXPECT_EQ(Line.V1, Hex(Sum.V1));
    EXPECT_EQ(Line.V2, Hex(Sum.V2));
    EXPECT_EQ(Line.Status, "ok, " + Names[I] + ".wav");
  }

  // The same disc to FLAC, checked with the flac tool.
  const std::vector<std::u16string> FlacReports = Rip(u".flac", Out);
  for (size_t I = 0; I < 3; ++I)
    EXPECT_TRUE(FlacPcm(Out / (Names[I] + ".flac")) == Bytes(Image.TrackPcm[I])) << Names[I];
  ASSERT_EQ(FlacReports.size(), 1u);
  EXPECT_NE(FlacReports[0], Reports[0]);  // a report of its own, the first one kept
  EXPECT_EQ(TrackLines(ReadBytes(fs::path(FlacReports[0]))).at("02").Crc32, Lines.at("02").Crc32);
}

TEST_F(CdRipTest, ADamagedImageFailsTheTracksItLacksAndTheReportSaysSo) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "cut", PlainTracks({150, 300, 200}), 62);
  std::filesystem::resize_file(Image.Bin, (150 + 100) * morvotest::CdSectorBytes + 17);
  UseDrives({Image.Cue.string()});
  const fs::path Out = FDir.Path() / "out";
  const std::vector<std::u16string> Reports = Rip(u".wav", Out);

  const std::vector<TTaskItem*> Ripped = Tasks();
  ASSERT_EQ(Ripped.size(), 3u);
  EXPECT_EQ(Ripped[0]->FResult, rcSucceeded);
  EXPECT_TRUE(WavData(ReadBytes(Out / "Track01.wav")) == Bytes(Image.TrackPcm[0]));
  for (int I : {1, 2}) {
    EXPECT_EQ(Ripped[I]->FState, tsFailed);
    EXPECT_EQ(Ripped[I]->FResult, rcReadFailed);
    EXPECT_FALSE(fs::exists(Out / fs::path(Ripped[I]->FTargetName)));
  }
  ASSERT_EQ(Reports.size(), 1u);
  const std::map<std::string, TReportLine> Lines = TrackLines(ReadBytes(fs::path(Reports[0])));
  EXPECT_EQ(Lines.at("01").Status, "ok, Track01.wav");
  EXPECT_EQ(Lines.at("02").Crc32, "-");
  EXPECT_EQ(Lines.at("02").Status, "failed: 读取文件失败");
  EXPECT_EQ(Lines.at("03").Status, "failed: 读取文件失败");
}

TEST_F(CdRipTest, AReportShowsNoAccurateRipForATrackReadIncompletely) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "short", PlainTracks({150, 150}), 63);
  UseDrives({Image.Cue.string()});
  TCdDiscRip Rip;
  Rip.Disc = platform::ReadCdDisc(W(Image.Cue.string()));
  TCdTrackRip& Track = Rip.Tracks[2];
  Track.Number = 2;
  Track.ExpectedFrames = 150 * 588;
  Track.Frames = 150 * 588 - 1;
  Track.Crc32 = 0x12345678;
  Track.Result = rcSucceeded;
  Track.Target = u"/x/Track02.wav";
  const std::string Text = TCdRipLog::ReportText(Rip, "2024-01-02 03:04:05");
  const std::map<std::string, TReportLine> Lines = TrackLines(Text);
  EXPECT_EQ(Lines.at("01").Crc32, "not");  // "not ripped in this run"
  EXPECT_EQ(Lines.at("02").Crc32, "12345678");
  EXPECT_EQ(Lines.at("02").V1, "-");
  EXPECT_EQ(Lines.at("02").V2, "-");
  EXPECT_NE(Text.find("read 88199 of 88200 frames"), std::string::npos);
  EXPECT_NE(Text.find("Date         : 2024-01-02 03:04:05"), std::string::npos);
}

}  // namespace
