// The MP3 encoder driven as the worker drives it, judged by ffprobe/ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/player/codecs/uCodecTestKit.h"

using namespace codectest;
namespace fs = std::filesystem;

namespace {

struct TMp3Settings {
  int32_t ChannelMode = 0;
  int32_t BitrateMode = 0;
  int32_t Bitrate = 320;
  int32_t VbrPreset = 1004;
  int32_t SampleCount = -1;  // -1: the exact count
};

// The worker's parameter calls, in its order, then the encode.
TEncodeResult EncodeMp3(const TPcm& Pcm, const fs::path& Target, const TMp3Settings& Settings) {
  TFileCallback output(Target);  // outlives the encoder, which holds it
  TEncoderPair pair;
  EXPECT_TRUE(CreateLibraryEncoder(CLSID_Mp3Encoder, pair));
  auto* lame = static_cast<ILameStreamEncoder*>(static_cast<void*>(pair.Param));
  lame->SetChannelMode(Settings.ChannelMode);
  lame->SetBitrateMode(Settings.BitrateMode);
  if (Settings.BitrateMode == 2)
    lame->SetVbrPreset(Settings.VbrPreset);
  else
    lame->SetBitrate(Settings.Bitrate);
  lame->SetSampleCount(Settings.SampleCount < 0 ? int32_t(Pcm.Frames()) : Settings.SampleCount);
  return Drive(pair.Encoder, output, Pcm);
}

std::string Probe(const fs::path& File, const std::string& Entries) {
  return RunTool("ffprobe -v error -select_streams a:0 -show_entries " + Entries + " -of csv=p=0 " +
                 Quote(File))
      .Output;
}

std::set<int> PacketSizes(const fs::path& File) {
  std::istringstream lines(Probe(File, "packet=size"));
  std::set<int> sizes;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) sizes.insert(std::stoi(line));
  return sizes;
}

// Decodes with ffmpeg, which trims encoder delay and padding by the LAME
// information frame, to 16-bit PCM of the source's channel count.
TPcm Decode(const fs::path& File, uint16_t Channels, const fs::path& Scratch) {
  const auto result =
      RunTool("ffmpeg -v error -y -i " + Quote(File) + " -f s16le -acodec pcm_s16le -ac " +
              std::to_string(Channels) + " " + Quote(Scratch));
  EXPECT_EQ(result.ExitCode, 0) << result.Output;
  TPcm pcm;
  pcm.Format = {WAVE_FORMAT_PCM, Channels, 0, 0, uint16_t(2 * Channels), 16, 0};
  std::ifstream in(Scratch, std::ios::binary);
  pcm.Bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return pcm;
}

class Mp3Cbr : public testing::TestWithParam<int> {};

TEST_P(Mp3Cbr, IsConstantBitrateAtTheChosenRate) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 6, 2, 16, 44100);
  TMp3Settings settings;
  settings.Bitrate = GetParam();
  const auto result = EncodeMp3(pcm, dir / "cbr.mp3", settings);
  ASSERT_EQ(result.InitResult, 0);
  ASSERT_FALSE(result.EncodeFailed);
  ASSERT_EQ(result.FinishResult, 0);
  EXPECT_EQ(Probe(dir / "cbr.mp3", "stream=bit_rate"), std::to_string(GetParam() * 1000) + "\n");
  const auto sizes = PacketSizes(dir / "cbr.mp3");
  ASSERT_FALSE(sizes.empty());
  EXPECT_LE(*sizes.rbegin() - *sizes.begin(), 1) << "frames differ only by the padding byte";
}

INSTANTIATE_TEST_SUITE_P(Bitrates, Mp3Cbr, testing::Values(320, 128));

class Mp3Vbr : public testing::TestWithParam<int> {};

TEST_P(Mp3Vbr, PresetGivesVariableFrames) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 6, 2, 16, 44100);
  TMp3Settings settings;
  settings.BitrateMode = 2;
  settings.VbrPreset = GetParam();
  const auto result = EncodeMp3(pcm, dir / "vbr.mp3", settings);
  ASSERT_EQ(result.FinishResult, 0);
  EXPECT_GT(PacketSizes(dir / "vbr.mp3").size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Presets, Mp3Vbr, testing::Values(1000, 1001, 1004, 1007));

TEST(Mp3Encoder, AverageBitrateLandsNearTheTarget) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 8, 2, 16, 44100);
  TMp3Settings settings;
  settings.BitrateMode = 1;
  settings.Bitrate = 192;
  ASSERT_EQ(EncodeMp3(pcm, dir / "abr.mp3", settings).FinishResult, 0);
  const double kbps = std::stod(Probe(dir / "abr.mp3", "format=bit_rate")) / 1000;
  EXPECT_GT(PacketSizes(dir / "abr.mp3").size(), 1u);
  EXPECT_NEAR(kbps, 192, 192 * 0.25);
}

TEST(Mp3Encoder, MonoModeGivesOneChannel) {
  TTempDir dir;
  TMp3Settings settings;
  settings.ChannelMode = 3;
  ASSERT_EQ(EncodeMp3(MakePcm(44100 * 2, 2, 16, 44100), dir / "down.mp3", settings).FinishResult,
            0);
  EXPECT_EQ(Probe(dir / "down.mp3", "stream=channels"), "1\n");
  settings.ChannelMode = 0;  // stereo asked, but the source has one channel
  ASSERT_EQ(EncodeMp3(MakePcm(44100 * 2, 1, 16, 44100), dir / "mono.mp3", settings).FinishResult,
            0);
  EXPECT_EQ(Probe(dir / "mono.mp3", "stream=channels"), "1\n");
}

// Every width the worker passes: the decoded file has exactly the source's
// length (the information frame carries delay and padding, whatever the
// sample count estimate said) and the source's loudness (the samples were
// read with the right width and sign).
class Mp3Widths : public testing::TestWithParam<uint16_t> {};

TEST_P(Mp3Widths, DecodesToTheSourceLengthAndLevel) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 3 + 777, 2, GetParam(), 44100);
  TMp3Settings settings;
  settings.SampleCount = int32_t(pcm.Frames() * 9 / 10);
  ASSERT_EQ(EncodeMp3(pcm, dir / "w.mp3", settings).FinishResult, 0);
  const TPcm decoded = Decode(dir / "w.mp3", 2, dir / "w.raw");
  EXPECT_EQ(decoded.Frames(), pcm.Frames());
  EXPECT_NEAR(MeanLevel(decoded), MeanLevel(pcm), 0.03);
}

INSTANTIATE_TEST_SUITE_P(Bits, Mp3Widths, testing::Values(8, 16, 24, 32));

TEST(Mp3Encoder, RatesMpegCannotCarryAreResampled) {
  TTempDir dir;
  const TPcm pcm = MakePcm(96000 * 2, 2, 24, 96000);
  ASSERT_EQ(EncodeMp3(pcm, dir / "hi.mp3", TMp3Settings{}).FinishResult, 0);
  EXPECT_EQ(Probe(dir / "hi.mp3", "stream=sample_rate"), "48000\n");
  const TPcm decoded = Decode(dir / "hi.mp3", 2, dir / "hi.raw");
  EXPECT_NEAR(decoded.Frames(), pcm.Frames() / 2.0, 48);
}

}  // namespace
