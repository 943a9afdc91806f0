// The codec library's APE object end to end: real files on disk, checked
// against the published golden frame data and decoded by FFmpeg.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "player/codecs/ape/uApeEncoderObject.h"
#include "tests/player/codecs/ape/uApeTestSupport.h"

using namespace apetest;

namespace {

struct TGolden {
  const char* Signal;
  int Level;
  uint32_t FrameBytes;
  const char* FrameMd5;
};

// Frame data areas as the format's reference material gives them.
const TGolden kGoldens[] = {
    {"g16s", 1000, 218712, "921c4fe31e73ce6850b64e151bd6f3d5"},
    {"g16s", 2000, 217296, "6cd1fa827bf43c0676ce2cc7a3c6679d"},
    {"g16s", 3000, 216416, "cec4e5600033b7cba601fda9af3d449d"},
    {"g16s", 4000, 212712, "adc805ebb27de6b51c4f3b93c5d09490"},
    {"g16s", 5000, 210984, "823bfaffba8d1cd3ea404ae4dfdd3fc1"},
    {"g16m", 1000, 109176, "43740beab483ee7f76a6d111b1446d67"},
    {"g16m", 2000, 108132, "45ee4ac91a3a0f39294a7373f84fe8f8"},
    {"g16m", 5000, 105224, "955b1066ae0a39e5c10d35b8c38fde4a"},
    {"g8s", 2000, 95308, "0d3402621d155f447cec56c60aa6e7cb"},
    {"g8s", 4000, 92248, "0f749759eb249f6b6530bf8245ccf0bd"},
    {"g24s", 2000, 377788, "c80015e5bd531ed9b3fab64496c7bb63"},
    {"g24s", 3000, 377192, "23af865b1bf9ac94ec2eeaf6b7d7f696"},
    {"g24s", 5000, 378604, "dbbe5554aabe631dc9b3699aee6dcfc9"},
    {"g24m", 4000, 187296, "32c628fcc80b60a54d86306376d023dd"},
    {"g24m", 5000, 188388, "55fe09bc0c4a82dde515c16db0de7d94"},
    {"gspecial16", 2000, 99620, "519af81fd13696526b5d4495b0976d04"},
    {"gspecial16", 4000, 145796, "dcb6b747f42ddfd0ae63576d9ccb3980"},
    {"gnoise24s", 1000, 372008, "a1814833f25998ca3b96371a52520c73"},
    {"gnoise24s", 5000, 367132, "42698989f9925911fe1938c38938d86d"},
};

TPcm Signal(const std::string& name) {
  if (name == "g16s") return MakeTri(16, 2, 44100, 80000, 12345);
  if (name == "g16m") return MakeTri(16, 1, 44100, 80000, 12345);
  if (name == "g8s") return MakeTri(8, 2, 22050, 80000, 12345);
  if (name == "g24s") return MakeTri(24, 2, 96000, 80000, 12345);
  if (name == "g24m") return MakeTri(24, 1, 96000, 80000, 12345);
  if (name == "gspecial16") return MakeSpecial16();
  return MakeNoise(24, 2, 48000, 60000, 99);
}

// Encodes, checks that FFmpeg gives back exactly the input, returns the file.
std::vector<uint8_t> EncodeAndVerify(const TPcm& pcm, int level, const std::string& name,
                                     size_t chunk = 16384) {
  const std::string path = TempDir() + "/" + name + ".ape";
  const TEncodeResult result = EncodeFile(pcm, level, path, chunk);
  EXPECT_EQ(result.InitResult, 0);
  EXPECT_EQ(result.EncodeResult, 0);
  EXPECT_EQ(result.FinishResult, 0);
  EXPECT_EQ(result.RefsAfterRelease, 0);
  std::vector<uint8_t> decoded;
  std::string errors;
  EXPECT_TRUE(FFmpegDecode(path, pcm.Bits, decoded, errors)) << name << ": " << errors;
  EXPECT_TRUE(decoded == pcm.Bytes)
      << name << ": decoded " << decoded.size() << " bytes of " << pcm.Bytes.size();
  return ReadFile(path);
}

}  // namespace

TEST(ApeEncoderObject, FrameDataMatchesGoldenValuesAndDecodes) {
  for (const TGolden& g : kGoldens) {
    SCOPED_TRACE(std::string(g.Signal) + " level " + std::to_string(g.Level));
    const TPcm pcm = Signal(g.Signal);
    const std::vector<uint8_t> file =
        EncodeAndVerify(pcm, g.Level, std::string(g.Signal) + "_" + std::to_string(g.Level));
    ASSERT_GT(file.size(), 76u);
    const uint32_t seekBytes = Le32(file, 16);
    const uint32_t dataBytes = Le32(file, 24);
    EXPECT_EQ(dataBytes, g.FrameBytes);
    ASSERT_GE(file.size(), 76u + seekBytes + dataBytes);
    EXPECT_EQ(Md5Hex(file.data() + 76 + seekBytes, dataBytes), g.FrameMd5);
  }
}

namespace {

TPcm Concat(TPcm a, const TPcm& b) {
  a.Bytes.insert(a.Bytes.end(), b.Bytes.begin(), b.Bytes.end());
  return a;
}

// 24-bit PCM as lossless 32-bit input: each sample above a zero low byte.
TPcm Widen(const TPcm& narrow) {
  TPcm wide = narrow;
  wide.Bits = 32;
  wide.Bytes.clear();
  for (size_t i = 0; i < narrow.Bytes.size(); i += 3)
    wide.Bytes.insert(wide.Bytes.end(),
                      {0, narrow.Bytes[i], narrow.Bytes[i + 1], narrow.Bytes[i + 2]});
  return wide;
}

// Encodes 32-bit input; FFmpeg must give back the 24-bit samples.
std::vector<uint8_t> EncodeWideAndVerify(const TPcm& narrow, int level, const std::string& name,
                                         size_t chunk) {
  const std::string path = TempDir() + "/" + name + ".ape";
  const TEncodeResult result = EncodeFile(Widen(narrow), level, path, chunk);
  EXPECT_EQ(result.EncodeResult, 0);
  EXPECT_EQ(result.FinishResult, 0);
  EXPECT_EQ(result.RefsAfterRelease, 0);
  std::vector<uint8_t> decoded;
  std::string errors;
  EXPECT_TRUE(FFmpegDecode(path, 24, decoded, errors)) << name << ": " << errors;
  EXPECT_TRUE(decoded == narrow.Bytes)
      << name << ": decoded " << decoded.size() << " bytes of " << narrow.Bytes.size();
  return ReadFile(path);
}

}  // namespace

// Every width, channel count and level on signals that stress different
// stages: noise (large residuals), a sine (small ones), silence (special
// codes), and frame-boundary lengths.
TEST(ApeEncoderObject, DecodesBitExactAcrossWidthsChannelsAndLevels) {
  for (int bits : {8, 16, 24})
    for (int channels : {1, 2})
      for (int level = 1000; level <= 5000; level += 1000) {
        SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(channels) + " ch, level " +
                     std::to_string(level));
        const std::string tag =
            std::to_string(bits) + "_" + std::to_string(channels) + "_" + std::to_string(level);
        // Noise, then a sine, then silence; one frame plus one block at the
        // small levels, so the last frame holds a single block.
        TPcm pcm = Concat(MakeNoise(bits, channels, 44100, 30000, 7 + level),
                          MakeSine(bits, channels, 44100, 30000, 0.9));
        pcm = Concat(pcm, MakeSilence(bits, channels, 73729 - 60000));
        EncodeAndVerify(pcm, level, "matrix_" + tag, 16384);
      }
}

TEST(ApeEncoderObject, EdgeLengthsDecodeAndFinalFrameIsRecorded) {
  struct TCase {
    size_t Blocks;
    uint32_t Frames;
    uint32_t FinalBlocks;
  } cases[] = {{1, 1, 1},         {3, 1, 3},     {73727, 1, 73727},
               {73728, 1, 73728}, {73729, 2, 1}, {147456, 2, 73728}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Blocks);
    const TPcm pcm = MakeTri(16, 2, 44100, c.Blocks, 5);
    // Odd chunk sizes split blocks between calls.
    const std::vector<uint8_t> file =
        EncodeAndVerify(pcm, 2000, "edge_" + std::to_string(c.Blocks), 16383);
    ASSERT_GE(file.size(), 76u);
    EXPECT_EQ(Le32(file, 64), c.Frames);
    EXPECT_EQ(Le32(file, 60), c.FinalBlocks);
    EXPECT_EQ(Le16(file, 52), 2000);
    // A file that fits in one frame gets an exact one-entry table.
    if (c.Frames == 1) {
      EXPECT_EQ(Le32(file, 16), 4u);
    }
  }
}

TEST(ApeEncoderObject, SilenceUsesSpecialCodesAndDecodes) {
  for (int channels : {1, 2}) {
    const TPcm pcm = MakeSilence(16, channels, 200000);
    const std::vector<uint8_t> file =
        EncodeAndVerify(pcm, 3000, "silence" + std::to_string(channels));
    // Three frames of 13 logical bytes each, plus padding.
    EXPECT_EQ(Le32(file, 24), 40u);
  }
}

TEST(ApeEncoderObject, RealMusicDecodesAtEveryLevel) {
  const std::string music = "/usr/share/games/wesnoth/1.16/data/core/music/elf-land.ogg";
  TPcm pcm;
  ASSERT_TRUE(FFmpegDecodeMusic(music, pcm, 8)) << "wesnoth-1.16-music is needed";
  size_t previous = SIZE_MAX;
  for (int level = 1000; level <= 5000; level += 1000) {
    SCOPED_TRACE(level);
    const std::vector<uint8_t> file = EncodeAndVerify(pcm, level, "music_" + std::to_string(level));
    EXPECT_LT(file.size(), pcm.Bytes.size() * 3 / 4);
    if (level <= 4000) {
      EXPECT_LT(file.size(), previous);  // each level up to 4000 gains
    }
    previous = file.size();
  }
}

TEST(ApeEncoderObject, LoudTwentyFourBitStereoAtInsaneUsesExactArithmetic) {
  // Full-scale noise wraps the 32-bit sums; FFmpeg reads such stereo frames
  // at level 5000 with exact sums only.
  const TPcm pcm = MakeNoise(24, 2, 48000, 200000, 3);
  EncodeAndVerify(pcm, 5000, "loud24s");
}

TEST(ApeEncoderObject, FallsBackToFastWhenNoEncodingSatisfiesBothDecoders) {
  // Full-scale 24-bit mono noise: that frame's rounding and prediction
  // wraps cannot be read alike by both decoders, so the file is written
  // again at level 1000, behind the frames written so far (then moved to
  // the front) or, when the first frame fails, in place. Input goes on
  // after the failing frame.
  const TPcm noise = MakeNoise(24, 1, 96000, 150000, 12);
  const TPcm quiet = MakeTri(24, 1, 96000, 1179648, 13);
  const TPcm late = Concat(Concat(MakeTri(24, 1, 96000, 1179648 + 5000, 11), noise), quiet);
  const TPcm early = Concat(noise, quiet);
  // 32-bit input is stored as 24 bits: the input after the fallback must
  // still be read as 32-bit samples.
  const struct {
    const char* Name;
    const TPcm& Pcm;
    bool Wide;
  } cases[] = {
      {"fallback", late, false}, {"fallback32", late, true}, {"fallback_first", early, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> file = c.Wide ? EncodeWideAndVerify(c.Pcm, 5000, c.Name, 16388)
                                             : EncodeAndVerify(c.Pcm, 5000, c.Name, 16386);
    ASSERT_GE(file.size(), 76u);
    EXPECT_EQ(Le16(file, 52), 1000);
    EXPECT_EQ(Le32(file, 56), 73728u);
    EXPECT_EQ(Le32(file, 64), (c.Pcm.Blocks() + 73727) / 73728);
    // The stretch after the data that the first attempt left is zeroed.
    const size_t end = 76 + Le32(file, 16) + Le32(file, 24);
    for (size_t i = end; i < file.size(); ++i)
      ASSERT_EQ(file[i], 0) << i;
  }
}

TEST(ApeEncoderObject, ThirtyTwoBitInputIsStoredAsTwentyFourBitsWhenLossless) {
  const TPcm narrow = MakeTri(24, 2, 44100, 5000, 9);
  EXPECT_EQ(Le16(EncodeWideAndVerify(narrow, 2000, "wide", 1001), 68), 24);

  // One sample with a low bit set: refused, and no file is completed.
  const std::string path = TempDir() + "/wide.ape";
  TPcm wide = Widen(narrow);
  wide.Bytes[4 * 4000] = 1;
  const TEncodeResult lossy = EncodeFile(wide, 2000, path, 1001);
  EXPECT_LT(lossy.EncodeResult, 0);
  EXPECT_NE(lossy.FinishResult, 0);
  EXPECT_EQ(lossy.RefsAfterRelease, 0);
}

TEST(ApeEncoderObject, RefusesWhatNoTargetDecoderReads) {
  const std::string path = TempDir() + "/refused.ape";
  // No samples at all: Finish fails and nothing is written.
  const TEncodeResult empty = EncodeFile(MakeSilence(16, 2, 0), 2000, path);
  EXPECT_EQ(empty.InitResult, 0);
  EXPECT_NE(empty.FinishResult, 0);
  EXPECT_TRUE(ReadFile(path).empty());
  // Less than one block is no sample either.
  TPcm half = MakeSilence(16, 2, 0);
  half.Bytes = {1, 2};
  EXPECT_NE(EncodeFile(half, 2000, path).FinishResult, 0);

  TPcm surround = MakeSilence(16, 2, 10);
  surround.Channels = 6;
  EXPECT_NE(EncodeFile(surround, 2000, path).InitResult, 0);
  TPcm odd = MakeSilence(16, 2, 10);
  odd.Bits = 20;
  EXPECT_NE(EncodeFile(odd, 2000, path).InitResult, 0);
}

TEST(ApeEncoderObject, ParameterInterfaceAndCounting) {
  IEncoder* encoder = CreateApeEncoderObject();
  ASSERT_NE(encoder, nullptr);
  IApeEncoderParam* param = nullptr;
  ASSERT_EQ(encoder->QueryInterface(IID_IApeEncoderParam, reinterpret_cast<void**>(&param)), S_OK);
  EXPECT_EQ(param->SetCompressionLevel(4000), 0);
  EXPECT_NE(param->SetCompressionLevel(4500), 0);
  EXPECT_NE(param->SetCompressionLevel(6000), 0);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(param->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(encoder));
  void* other = nullptr;
  EXPECT_EQ(encoder->QueryInterface(IID_IFlacEncoderParam, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  unknown->Release();
  param->Release();
  EXPECT_EQ(encoder->Release(), 0u);
}
