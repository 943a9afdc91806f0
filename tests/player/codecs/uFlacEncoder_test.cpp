// The FLAC encoder driven as the worker drives it, judged by the flac and
// metaflac tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <tuple>

#include "tests/player/codecs/uCodecTestKit.h"

using namespace codectest;
namespace fs = std::filesystem;

namespace {

// The worker's parameter calls (level, then the expected count plus one
// percent unless told otherwise), then the encode.
TEncodeResult EncodeFlac(const TPcm& Pcm, const fs::path& Target, int32_t Level,
                         int64_t SampleCount = -1, size_t BlockBytes = 16384) {
  TFileCallback output(Target);  // outlives the encoder, which holds it
  TEncoderPair pair;
  EXPECT_TRUE(CreateLibraryEncoder(CLSID_FlacEncoder, pair));
  auto* flac = static_cast<IFlacEncoderParam*>(static_cast<void*>(pair.Param));
  flac->SetCompressionLevel(Level);
  flac->SetSampleCount(int32_t(SampleCount < 0 ? int64_t(Pcm.Frames()) * 101 / 100 : SampleCount));
  return Drive(pair.Encoder, output, Pcm, BlockBytes);
}

std::string MetaFlac(const fs::path& File, const std::string& Options) {
  return RunTool("metaflac " + Options + " " + Quote(File)).Output;
}

// flac -t checks every frame and the MD5 of the whole stream; decoding to
// WAV must then give back the source bytes exactly.
void ExpectLosslessFile(const fs::path& File, const TPcm& Pcm, const fs::path& Decoded) {
  const auto test = RunTool("flac -s -t " + Quote(File));
  EXPECT_EQ(test.ExitCode, 0) << test.Output;
  EXPECT_EQ(test.Output, "") << "warnings from flac -t";
  const auto decode = RunTool("flac -s -f -d -o " + Quote(Decoded) + " " + Quote(File));
  ASSERT_EQ(decode.ExitCode, 0) << decode.Output;
  const auto samples = ReadWavData(Decoded);
  ASSERT_EQ(samples.size(), Pcm.Bytes.size());
  EXPECT_TRUE(samples == Pcm.Bytes) << "decoded samples differ from the source";
  EXPECT_EQ(MetaFlac(File, "--show-total-samples"), std::to_string(Pcm.Frames()) + "\n");
}

using TLayout = std::tuple<int32_t, uint16_t, uint16_t>;  // level, bits, channels

class FlacRoundTrip : public testing::TestWithParam<TLayout> {};

TEST_P(FlacRoundTrip, IsLosslessAndVerified) {
  const auto [level, bits, channels] = GetParam();
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 4 + 1234, channels, bits, 44100);
  const auto result = EncodeFlac(pcm, dir / "t.flac", level);
  ASSERT_EQ(result.InitResult, 0);
  ASSERT_FALSE(result.EncodeFailed);
  ASSERT_EQ(result.FinishResult, 0);
  ExpectLosslessFile(dir / "t.flac", pcm, dir / "t.wav");
}

INSTANTIATE_TEST_SUITE_P(LevelsWidthsChannels, FlacRoundTrip,
                         testing::Combine(testing::Values(0, 5, 8),
                                          testing::Values<uint16_t>(16, 24),
                                          testing::Values<uint16_t>(1, 2)));

TEST(FlacEncoder, EightBitInputStaysLossless) {
  TTempDir dir;
  const TPcm pcm = MakePcm(48000 * 2 + 5, 2, 8, 48000);
  ASSERT_EQ(EncodeFlac(pcm, dir / "w.flac", 5).FinishResult, 0);
  ExpectLosslessFile(dir / "w.flac", pcm, dir / "w.wav");
  EXPECT_EQ(MetaFlac(dir / "w.flac", "--show-bps"), "8\n");
}

// 32-bit input is stored with 24 bits by the system's rule (division by 256
// toward zero), so that FFmpeg-based players can decode the file.
TEST(FlacEncoder, ThirtyTwoBitInputIsStoredWith24Bits) {
  TTempDir dir;
  TPcm pcm = MakePcm(48000 + 3, 2, 32, 48000);
  pcm.Bytes[0] = 0x7F;  // sample 0 = -129: its low byte must not round it to -2
  pcm.Bytes[1] = pcm.Bytes[2] = pcm.Bytes[3] = 0xFF;
  ASSERT_EQ(EncodeFlac(pcm, dir / "w.flac", 5).FinishResult, 0);
  TPcm expected = MakePcm(0, 2, 24, 48000);
  for (size_t i = 0; i + 4 <= pcm.Bytes.size(); i += 4) {
    int32_t sample;
    std::memcpy(&sample, &pcm.Bytes[i], 4);
    const int32_t reduced = sample / 256;
    for (int b = 0; b < 3; ++b)
      expected.Bytes.push_back(uint8_t(uint32_t(reduced) >> (8 * b)));
  }
  ExpectLosslessFile(dir / "w.flac", expected, dir / "w.wav");
  EXPECT_EQ(MetaFlac(dir / "w.flac", "--show-bps"), "24\n");
}

TEST(FlacEncoder, BlocksSplittingSampleFramesAreJoined) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 2, 2, 24, 44100);
  ASSERT_EQ(EncodeFlac(pcm, dir / "odd.flac", 5, -1, 1001).FinishResult, 0);
  ExpectLosslessFile(dir / "odd.flac", pcm, dir / "odd.wav");
}

// The sample numbers of a SEEKTABLE listing's points (placeholders are not
// listed with one); Unfilled counts points that name no frame.
std::vector<uint64_t> SeekPoints(const std::string& Listing, uint64_t& Unfilled) {
  std::vector<uint64_t> points;
  Unfilled = 0;
  std::istringstream lines(Listing);
  for (std::string line; std::getline(lines, line);) {
    const size_t sample = line.find("sample_number=");
    const size_t frame = line.find("frame_samples=");
    if (sample == std::string::npos || frame == std::string::npos) continue;
    points.push_back(std::stoull(line.substr(sample + 14)));
    if (std::stoul(line.substr(frame + 14)) == 0) ++Unfilled;
  }
  return points;
}

// The worker's estimate is 101 % of the expected count, but a decoder may
// deliver more or less than it promised. The true count, the MD5 and a seek
// table whose points all lie inside the stream are written at the end,
// whatever the estimate was.
TEST(FlacEncoder, StreamInfoAndSeekTableFollowTheTrueLength) {
  TTempDir dir;
  const TPcm pcm = MakePcm(44100 * 35 + 99, 2, 16, 44100);
  const int64_t frames = pcm.Frames();
  for (int64_t estimate : {frames * 101 / 100, frames * 3 / 2, frames * 8 / 10, int64_t(0)}) {
    SCOPED_TRACE(estimate);
    ASSERT_EQ(EncodeFlac(pcm, dir / "e.flac", 5, estimate).FinishResult, 0);
    ExpectLosslessFile(dir / "e.flac", pcm, dir / "e.wav");
    EXPECT_NE(MetaFlac(dir / "e.flac", "--show-md5sum"), std::string(32, '0') + "\n");
    const std::string table = MetaFlac(dir / "e.flac", "--list --block-type=SEEKTABLE");
    uint64_t unfilled = 0;
    const auto points = SeekPoints(table, unfilled);
    EXPECT_EQ(unfilled, 0u) << table;
    for (uint64_t sample : points)
      EXPECT_LT(sample, uint64_t(frames)) << table;
    if (estimate > 0) {
      EXPECT_GE(points.size(), std::min<size_t>(3, size_t(estimate / 441000 + 1))) << table;
    }
    const auto seek = RunTool("flac -s -f -d --skip=1400000 --until=1400100 -o " +
                              Quote(dir / "s.wav") + " " + Quote(dir / "e.flac"));
    EXPECT_EQ(seek.ExitCode, 0) << seek.Output;
    EXPECT_EQ(ReadWavData(dir / "s.wav").size(), 100u * 4);
  }
}

}  // namespace
