#include "codecs/uEncodeImple.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/codecs/TestSupport.h"
#include "tests/support/uTestTools.h"

using namespace testing_codecs;
using morvotest::Quote;
using morvotest::RunCommand;
using morvotest::RunTool;
using morvotest::TCommandResult;

namespace {

// Little-endian packing of test samples; an 8-bit sample is given as its
// unsigned byte.
std::vector<uint8_t> Pack(int Bits, const std::vector<int64_t>& Samples) {
  std::vector<uint8_t> out;
  for (int64_t s : Samples)
    for (int i = 0; i < Bits / 8; ++i)
      out.push_back(uint8_t(uint64_t(s) >> (8 * i)));
  return out;
}

int64_t Unpack(int Bits, const uint8_t* p) {
  if (Bits == 8) return p[0];
  uint64_t u = 0;
  for (int i = 0; i < Bits / 8; ++i)
    u |= uint64_t(p[i]) << (8 * i);
  const int shift = 64 - Bits;
  return int64_t(u << shift) >> shift;
}

constexpr uint8_t kCanary = 0xA5;

// Converts and checks that nothing beyond the expected output was touched.
std::vector<int64_t> Convert(int SourceBits, int DestBits, const std::vector<int64_t>& Samples) {
  const std::vector<uint8_t> in = Pack(SourceBits, Samples);
  std::vector<uint8_t> out(Samples.size() * DestBits / 8 + 8, kCanary);
  ConvertSampleFormat(in.data(), out.data(), int32_t(in.size()), DestBits, SourceBits);
  for (size_t i = out.size() - 8; i < out.size(); ++i)
    EXPECT_EQ(out[i], kCanary) << "wrote past the samples";
  std::vector<int64_t> values;
  for (size_t i = 0; i < Samples.size(); ++i)
    values.push_back(Unpack(DestBits, out.data() + i * DestBits / 8));
  return values;
}

struct TPairCase {
  int SourceBits;
  int DestBits;
  std::vector<int64_t> Input;
  std::vector<int64_t> Expected;
};

class ConvertSampleFormatPairs : public ::testing::TestWithParam<TPairCase> {};

TEST_P(ConvertSampleFormatPairs, ScalesTruncatesAndClamps) {
  const TPairCase& c = GetParam();
  EXPECT_EQ(Convert(c.SourceBits, c.DestBits, c.Input), c.Expected);
}

constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    AllTwelve, ConvertSampleFormatPairs,
    ::testing::Values(
        TPairCase{8, 16, {0, 1, 127, 128, 255}, {-32768, -32512, -256, 0, 32512}},
        TPairCase{8, 24, {0, 127, 128, 255}, {-8388608, -65536, 0, 8323072}},
        // Byte 0 would be -2^31; the 32-bit clamp stops one above.
        TPairCase{8, 32, {0, 1, 128, 255}, {-2147483647, -2130706432, 0, 2130706432}},
        // Division truncates toward zero: -129 and -255 give 0, -256 and -257 give -1.
        TPairCase{16,
                  8,
                  {-32768, -257, -256, -255, -129, -1, 0, 255, 256, 32767},
                  {0, 127, 127, 128, 128, 128, 128, 128, 129, 255}},
        TPairCase{16, 24, {-32768, -1, 1, 32767}, {-8388608, -256, 256, 8388352}},
        TPairCase{16, 32, {-32768, -1, 1, 32767}, {-2147483647, -65536, 65536, 2147418112}},
        TPairCase{24,
                  8,
                  {-8388608, -65537, -65536, -65535, 65535, 65536, 8388607},
                  {0, 127, 127, 128, 128, 129, 255}},
        TPairCase{24,
                  16,
                  {-8388608, -257, -256, -255, -1, 255, 256, 8388607},
                  {-32768, -1, -1, 0, 0, 0, 1, 32767}},
        TPairCase{24, 32, {-8388608, -1, 8388607}, {-2147483647, -256, 2147483392}},
        TPairCase{32,
                  8,
                  {kMin32, -16777217, -16777216, -16777215, 16777215, kMax32},
                  {0, 127, 127, 128, 128, 255}},
        TPairCase{32,
                  16,
                  {kMin32, -65537, -65536, -65535, -1, 65535, kMax32},
                  {-32768, -1, -1, 0, 0, 0, 32767}},
        TPairCase{
            32, 24, {kMin32, -257, -255, 255, 256, kMax32}, {-8388608, -1, 0, 0, 1, 8388607}}),
    [](const auto& info) {
      return std::to_string(info.param.SourceBits) + "to" + std::to_string(info.param.DestBits);
    });

TEST(ConvertSampleFormat, IgnoresTrailingBytesOfAPartSample) {
  const std::vector<uint8_t> in = {0x00, 0x7F, 0x12};  // one 16-bit sample and one stray byte
  uint8_t out[3] = {kCanary, kCanary, kCanary};
  ConvertSampleFormat(in.data(), out, 3, 8, 16);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], kCanary);

  const std::vector<uint8_t> in24 = Pack(24, {-1, 8388607});
  std::vector<uint8_t> wide(in24.begin(), in24.end());
  wide.push_back(0x55);  // seven bytes: two samples and one stray byte
  std::vector<uint8_t> out16(6, kCanary);
  ConvertSampleFormat(wide.data(), out16.data(), 7, 16, 24);
  EXPECT_EQ(Unpack(16, out16.data()), 0);
  EXPECT_EQ(Unpack(16, out16.data() + 2), 32767);
  EXPECT_EQ(out16[4], kCanary);
}

TEST(ConvertSampleFormat, WritesNothingForEqualOrUnknownWidths) {
  const std::vector<uint8_t> in = Pack(16, {1000, -1000});
  for (auto [dest, source] : {std::pair{16, 16}, {12, 16}, {16, 12}, {0, 16}, {16, 0}, {40, 32}}) {
    std::vector<uint8_t> out(16, kCanary);
    ConvertSampleFormat(in.data(), out.data(), int32_t(in.size()), dest, source);
    EXPECT_EQ(out, std::vector<uint8_t>(16, kCanary)) << source << " -> " << dest;
  }
}

// ---------------------------------------------------------------------------
// TWavEncoder through a real file

WAVEFORMATEX PcmFormat(uint16_t Channels, uint32_t Rate, uint16_t Bits) {
  const auto align = uint16_t(Channels * Bits / 8);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, Channels, Rate, align * Rate, align, Bits, 0};
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

struct TWavEncoderFile : ::testing::Test {
  TTempDir Dir;
  fs::path File = Dir.Path() / "out.wav";
  TFileCallback Callback{File};
  TComPtr<IEncoder> Encoder{CreateWavEncoder()};

  IWavEncoderParam* Param() {
    void* p = nullptr;
    Encoder->QueryInterface(IID_IWavEncoderParam, &p);
    auto* param = static_cast<IWavEncoderParam*>(p);
    param->Release();  // the encoder itself keeps the object alive
    return param;
  }
  std::vector<uint8_t> Written() {
    Callback.Close();
    return morvotest::ReadBytes<std::vector<uint8_t>>(File);
  }
};

TEST_F(TWavEncoderFile, SameWidthKeepsTheSamplesAndFinishWritesTheHeader) {
  const WAVEFORMATEX format = PcmFormat(2, 44100, 16);
  const std::vector<uint8_t> pcm = Pack(16, {1, -2, 3, -4, 32767, -32768});
  ASSERT_EQ(Encoder->Init(&Callback, &format), 0);
  ASSERT_EQ(Encoder->Encode(pcm.data(), int32_t(pcm.size())), 0);
  ASSERT_EQ(Encoder->Finish(), 0);
  const std::vector<uint8_t> file = Written();
  ASSERT_EQ(file.size(), 44 + pcm.size());
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(Le32(file, 16), 16u);
  EXPECT_EQ(Le16(file, 20), 1);
  EXPECT_EQ(Le16(file, 22), 2);
  EXPECT_EQ(Le32(file, 24), 44100u);
  EXPECT_EQ(Le32(file, 28), 176400u);
  EXPECT_EQ(Le16(file, 32), 4);
  EXPECT_EQ(Le16(file, 34), 16);
  EXPECT_EQ(std::memcmp(file.data() + 36, "data", 4), 0);
  EXPECT_EQ(Le32(file, 40), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), file.begin() + 44));
}

TEST_F(TWavEncoderFile, WideningSetsAlignRateAndLengthsFromTheOutputWidth) {
  const WAVEFORMATEX format = PcmFormat(2, 44100, 16);
  Param()->SetOutputBits(3, 16);
  const std::vector<uint8_t> pcm = Pack(16, {100, -100, 200, -200});
  ASSERT_EQ(Encoder->Init(&Callback, &format), 0);
  ASSERT_EQ(Encoder->Encode(pcm.data(), int32_t(pcm.size())), 0);
  ASSERT_EQ(Encoder->Encode(pcm.data(), int32_t(pcm.size())), 0);
  Encoder->Finish();
  const std::vector<uint8_t> file = Written();
  ASSERT_EQ(file.size(), 44u + 2 * 12);
  EXPECT_EQ(Le16(file, 32), 6);
  EXPECT_EQ(Le32(file, 28), 264600u);
  EXPECT_EQ(Le16(file, 34), 24);
  EXPECT_EQ(Le32(file, 40), file.size() - 44);
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(Unpack(24, file.data() + 44 + 3), -25600);
}

TEST_F(TWavEncoderFile, FinishWithoutSamplesLeavesAnEmptyDataChunk) {
  const WAVEFORMATEX format = PcmFormat(1, 8000, 8);
  ASSERT_EQ(Encoder->Init(&Callback, &format), 0);
  Encoder->Finish();
  const std::vector<uint8_t> file = Written();
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(Le32(file, 4), 36u);
  EXPECT_EQ(Le32(file, 40), 0u);
}

TEST_F(TWavEncoderFile, OddByteCountConvertsWholeSamplesOnly) {
  const WAVEFORMATEX format = PcmFormat(1, 8000, 16);
  Param()->SetOutputBits(1, 16);
  const std::vector<uint8_t> pcm = {0x00, 0x80, 0x33};  // -32768 and a stray byte
  ASSERT_EQ(Encoder->Init(&Callback, &format), 0);
  ASSERT_EQ(Encoder->Encode(pcm.data(), 3), 0);
  Encoder->Finish();
  const std::vector<uint8_t> file = Written();
  ASSERT_EQ(file.size(), 45u);
  EXPECT_EQ(file[44], 0);
  EXPECT_EQ(Le16(file, 34), 8);
}

TEST_F(TWavEncoderFile, RefusesWorkWithoutCallbackOrWithUnusableWidths) {
  const WAVEFORMATEX format = PcmFormat(1, 8000, 16);
  const std::vector<uint8_t> pcm = Pack(16, {1, 2});
  EXPECT_EQ(Encoder->Encode(pcm.data(), 4), -1);
  EXPECT_EQ(Encoder->Finish(), -1);
  EXPECT_EQ(Encoder->Init(nullptr, &format), -1);
  EXPECT_EQ(Encoder->Encode(pcm.data(), 4), -1);

  const WAVEFORMATEX noBits = PcmFormat(1, 8000, 0);
  ASSERT_EQ(Encoder->Init(&Callback, &noBits), 0);
  EXPECT_EQ(Encoder->Encode(pcm.data(), 4), -1);
  ASSERT_EQ(Encoder->Init(&Callback, &format), 0);
  Param()->SetOutputBits(0, 12);  // a fallback width the header could not describe
  EXPECT_EQ(Encoder->Encode(pcm.data(), 4), -1);
  EXPECT_EQ(Encoder->Encode(pcm.data(), -4), -1);
  EXPECT_EQ(Written().size(), 88u) << "two placeholders, no samples";
}

TEST(TWavEncoder, AnswersBothInterfacesAndHoldsItsCallbackUntilReleased) {
  TTempDir dir;
  TFileCallback callback(dir.Path() / "x.wav");
  IEncoder* encoder = CreateWavEncoder();
  void* param = nullptr;
  ASSERT_EQ(encoder->QueryInterface(IID_IWavEncoderParam, &param), S_OK);
  void* again = nullptr;
  ASSERT_EQ(static_cast<IWavEncoderParam*>(param)->QueryInterface(IID_IEncoder, &again), S_OK);
  EXPECT_EQ(again, static_cast<void*>(encoder));
  void* none = nullptr;
  EXPECT_EQ(encoder->QueryInterface(IID_IEncoderCallback, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  const WAVEFORMATEX format = PcmFormat(1, 8000, 16);
  encoder->Init(&callback, &format);
  EXPECT_EQ(callback.AddRef(), 3u);  // ours, the encoder's, this one
  callback.Release();
  EXPECT_EQ(encoder->Reserved1(7), 0);
  EXPECT_EQ(encoder->Reserved4(7, 8), 0);
  EXPECT_EQ(static_cast<IEncoder*>(again)->Release(), 2u);
  EXPECT_EQ(static_cast<IWavEncoderParam*>(param)->Release(), 1u);
  EXPECT_EQ(encoder->Release(), 0u);
  EXPECT_EQ(callback.AddRef(), 2u) << "the encoder let go of its callback";
  callback.Release();
}

// Sizes of a RIFF file are 32-bit: a target that would pass 4 GiB must fail
// instead of being written with wrapped lengths. The data goes to /dev/null.
TEST(TWavEncoder, RefusesDataThatWouldWrapTheRiffSizes) {
  TFileCallback sink("/dev/null");  // throws when it cannot be opened
  TComPtr<IEncoder> encoder(CreateWavEncoder());
  const WAVEFORMATEX format = PcmFormat(2, 44100, 16);
  ASSERT_EQ(encoder->Init(&sink, &format), 0);
  const uint32_t block = 64u << 20;
  std::vector<uint8_t> pcm(block);
  for (int i = 0; i < 63; ++i)
    ASSERT_EQ(encoder->Encode(pcm.data(), int32_t(block)), 0) << i;
  EXPECT_LT(encoder->Encode(pcm.data(), int32_t(block)), 0);
  const uint32_t room = std::numeric_limits<uint32_t>::max() - (63 * block + 44);
  // Converting 2 bytes to 32 bits would need 4 bytes more than there is room.
  ASSERT_EQ(encoder->Encode(pcm.data(), int32_t(room - 2)), 0);
  void* param = nullptr;
  encoder->QueryInterface(IID_IWavEncoderParam, &param);
  static_cast<IWavEncoderParam*>(param)->SetOutputBits(4, 16);
  EXPECT_LT(encoder->Encode(pcm.data(), 2), 0);
  static_cast<IWavEncoderParam*>(param)->SetOutputBits(2, 16);
  static_cast<IWavEncoderParam*>(param)->Release();
  EXPECT_EQ(encoder->Encode(pcm.data(), 2), 0) << "the last two bytes still fit";
  EXPECT_LT(encoder->Encode(pcm.data(), 1), 0);
}

// ---------------------------------------------------------------------------
// Files read back by ffmpeg

struct TRoundTrip {
  int InBits;
  int OutBits;
  int Channels;
};

// ffmpeg's reading of a WAV file, as 32-bit samples.
std::vector<int32_t> DecodeToS32(const fs::path& Wav, const fs::path& Out) {
  EXPECT_TRUE(RunCommand("ffmpeg -nostdin -v error -y -i " + Quote(Wav) +
                         " -f s32le -acodec pcm_s32le " + Quote(Out)));
  const std::vector<uint8_t> bytes = morvotest::ReadBytes<std::vector<uint8_t>>(Out);
  std::vector<int32_t> samples(bytes.size() / 4);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
  return samples;
}

std::string Probe(const fs::path& Wav) {
  const std::string command =
      "ffprobe -v error -show_entries stream=codec_name,channels,sample_rate -of default=nw=1 " +
      Quote(Wav);
  const TCommandResult result = RunTool(command);
  EXPECT_EQ(result.ExitCode, 0) << command << "\n" << result.Output;
  return result.Output;
}

class WavReadByFfmpeg : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(WavReadByFfmpeg, SamplesMatchTheSourceWithinOneOutputStep) {
  const TRoundTrip p = GetParam();
  TTempDir dir;
  // Full-scale extremes, the values around the truncation steps, then noise.
  std::vector<int64_t> samples;
  const int64_t top = (int64_t(1) << (p.InBits - 1)) - 1;
  for (int64_t v :
       {-top - 1, top, int64_t(-1), int64_t(0), int64_t(1), int64_t(-257), int64_t(-65537)})
    samples.push_back(std::max(-top - 1, v));
  std::mt19937 random(p.InBits * 100 + p.OutBits * 10 + p.Channels);
  std::uniform_int_distribution<int64_t> any(-top - 1, top);
  while (samples.size() < size_t(4410 * p.Channels))
    samples.push_back(any(random));
  const std::vector<uint8_t> pcm = Pack(p.InBits, samples);

  TFileCallback callback(dir.Path() / "out.wav");
  TComPtr<IEncoder> encoder(CreateWavEncoder());
  void* param = nullptr;
  encoder->QueryInterface(IID_IWavEncoderParam, &param);
  static_cast<IWavEncoderParam*>(param)->SetOutputBits(p.OutBits / 8, 16);
  static_cast<IWavEncoderParam*>(param)->Release();
  const WAVEFORMATEX format = PcmFormat(uint16_t(p.Channels), 44100, uint16_t(p.InBits));
  ASSERT_EQ(encoder->Init(&callback, &format), 0);
  const size_t frame = size_t(p.Channels * p.InBits / 8);
  for (size_t at = 0; at < pcm.size();) {  // uneven reads, whole frames each
    const size_t n = std::min(pcm.size() - at, frame * (97 + at % 3));
    ASSERT_EQ(encoder->Encode(pcm.data() + at, int32_t(n)), 0);
    at += n;
  }
  ASSERT_EQ(encoder->Finish(), 0);
  callback.Close();

  const std::string probe = Probe(dir.Path() / "out.wav");
  const std::string codec = p.OutBits == 8 ? "pcm_u8" : "pcm_s" + std::to_string(p.OutBits) + "le";
  EXPECT_NE(probe.find("codec_name=" + codec + "\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("sample_rate=44100\n"), std::string::npos) << probe;
  EXPECT_NE(probe.find("channels=" + std::to_string(p.Channels) + "\n"), std::string::npos)
      << probe;

  const std::vector<int32_t> written = DecodeToS32(dir.Path() / "out.wav", dir.Path() / "out.s32");
  ASSERT_EQ(written.size(), samples.size());
  const int64_t step = int64_t(1) << (32 - p.OutBits);
  for (size_t i = 0; i < samples.size(); ++i) {
    const int64_t s = samples[i] * (int64_t(1) << (32 - p.InBits)), w = written[i];
    if (p.OutBits >= p.InBits) {
      // Exact, except the lowest 32-bit value, which is clamped one up.
      EXPECT_TRUE(w == s || (s == kMin32 && w == kMin32 + 1)) << i << ": " << s << " -> " << w;
    } else {
      // Truncation toward zero: never louder, less than one output step off.
      EXPECT_LE(std::abs(w), std::abs(s)) << i;
      EXPECT_LT(std::abs(s - w), step) << i;
    }
  }
}

std::vector<TRoundTrip> AllRoundTrips() {
  std::vector<TRoundTrip> all;
  for (int in : {16, 24})
    for (int out : {8, 16, 24, 32})
      for (int channels : {1, 2})
        all.push_back({in, out, channels});
  return all;
}

INSTANTIATE_TEST_SUITE_P(WidthsAndChannels, WavReadByFfmpeg, ::testing::ValuesIn(AllRoundTrips()),
                         [](const auto& info) {
                           return std::to_string(info.param.InBits) + "to" +
                                  std::to_string(info.param.OutBits) +
                                  (info.param.Channels == 1 ? "Mono" : "Stereo");
                         });

}  // namespace
