// The player library's decoder, driven through IDecoderEx as the system
// drives it, on real files made by ffmpeg, flac and lame.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int64_t k100ns = 10'000'000;

int64_t SampleAt(int64_t Position100ns, int Rate) {
  return static_cast<int64_t>(std::llround(static_cast<double>(Position100ns) * Rate / k100ns));
}

TEST(LxPlayerLibrary, ExportsOnlyItsOrdinals) {
  const TPlayerLibrary& lib = TPlayerLibrary::Get();
  ASSERT_NE(lib.Handle, nullptr) << dlerror();
  EXPECT_NE(lib.Ordinal1, nullptr);
  EXPECT_NE(lib.Ordinal2, nullptr);
  EXPECT_NE(lib.Ordinal3, nullptr);
  EXPECT_NE(lib.Ordinal6, nullptr);
  const auto symbols =
      morvotest::RunTool("nm -D --defined-only " MORVO_BIN_DIR
                         "/libLxPlayer.so | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort");
  ASSERT_EQ(symbols.ExitCode, 0) << symbols.Output;
  EXPECT_EQ(symbols.Output,
            "LxPlayerOrdinal1\nLxPlayerOrdinal2\nLxPlayerOrdinal3\nLxPlayerOrdinal6\n");
}

// --- Lossless sources: exact samples and exact seeks ------------------------

struct TLosslessCase {
  const char* Container;  // "wav" or "flac"
  int Bits;
};

void PrintTo(const TLosslessCase& c, std::ostream* os) {
  *os << c.Container << " " << c.Bits << "-bit";
}

std::string PrintCase(const testing::TestParamInfo<TLosslessCase>& Info) {
  return std::string(Info.param.Container) + std::to_string(Info.param.Bits);
}

class LosslessSource : public testing::TestWithParam<TLosslessCase> {
protected:
  static constexpr int kChannels = 2;
  static constexpr int64_t kSamples = 110250;  // 2.5 s

  void SetUp() override {
    const TLosslessCase c = GetParam();
    FBlock = c.Bits / 8 * kChannels;
    // The decoder hands out 8-bit PCM unsigned, as WAV stores it.
    FExpected = NoiseBytes(kSamples * FBlock, 77 + c.Bits);
    FPath = FDir / (std::string("source.") + c.Container);
    ASSERT_TRUE(Encode(c)) << "could not make " << FPath;
  }

  bool Encode(const TLosslessCase& c) {
    const fs::path raw = FDir / "source.raw";
    std::vector<uint8_t> rawBytes = FExpected;
    if (std::string(c.Container) == "flac") {
      if (c.Bits == 8)
        for (uint8_t& b : rawBytes)
          b ^= 0x80;  // flac reads signed 8-bit
      WriteBytes(raw, rawBytes);
      return RunCommand(
          "flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=" +
          std::to_string(c.Bits) + " --sample-rate=44100 -o " + Quote(FPath) + " " + Quote(raw));
    }
    WriteBytes(raw, rawBytes);
    const std::string format = c.Bits == 8 ? "u8" : "s" + std::to_string(c.Bits) + "le";
    const std::string codec = c.Bits == 8 ? "pcm_u8" : "pcm_s" + std::to_string(c.Bits) + "le";
    return RunCommand("ffmpeg -v error -y -f " + format + " -ar 44100 -ac 2 -i " + Quote(raw) +
                      " -c:a " + codec + " " + Quote(FPath));
  }

  std::vector<uint8_t> ExpectedFrom(int64_t Sample, size_t Bytes) const {
    const size_t start = std::min(FExpected.size(), static_cast<size_t>(Sample) * FBlock);
    const size_t end = std::min(FExpected.size(), start + Bytes);
    return std::vector<uint8_t>(FExpected.begin() + start, FExpected.begin() + end);
  }

  TTempDir FDir;
  fs::path FPath;
  size_t FBlock = 0;
  std::vector<uint8_t> FExpected;
};

TEST_P(LosslessSource, ReportsFormatAndDeliversTheOriginalSamples) {
  TComPtr<IDecoderEx> decoder(OpenDecoder(FPath));
  ASSERT_TRUE(decoder);
  const TDecoderInfo info = InfoOf(decoder.Get());
  EXPECT_EQ(info.BitsPerSample, GetParam().Bits);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.SampleRate, kRate);
  EXPECT_EQ(info.Duration, kSamples * k100ns / kRate);
  const double fileKbps = fs::file_size(FPath) * 8.0 / 2.5 / 1000;
  const double pcmKbps = kRate * 2.0 * GetParam().Bits / 1000;
  EXPECT_NEAR(info.Bitrate, std::string(GetParam().Container) == "wav" ? pcmKbps : fileKbps,
              0.02 * pcmKbps);

  // An odd block size makes the decoder cut whole samples inside its buffers.
  const int32_t oddBlock = static_cast<int32_t>(FBlock * 1001 + 1);
  const std::vector<uint8_t> pcm = ReadToEnd(decoder.Get(), oddBlock);
  ASSERT_EQ(pcm.size(), FExpected.size());
  EXPECT_TRUE(pcm == FExpected) << "decoded PCM differs from the source samples";
  EXPECT_EQ(decoder->Read(std::vector<uint8_t>(64).data(), 60), 0)
      << "a finished source keeps reporting its end";
}

TEST_P(LosslessSource, SeeksLandOnTheExactSample) {
  TComPtr<IDecoderEx> decoder(OpenDecoder(FPath));
  ASSERT_TRUE(decoder);
  // Forward, backward, onto a frame edge (4096), one past it, near the end.
  for (int64_t position :
       {12'345'678LL, 1'000'000LL, 928'798LL, 929'024LL, 0LL, 24'990'000LL, 5'000'001LL}) {
    decoder->Seek(position);
    const int64_t sample = SampleAt(position, kRate);
    const std::vector<uint8_t> got = ReadBytesFrom(decoder.Get(), 4096 * FBlock);
    EXPECT_TRUE(got == ExpectedFrom(sample, 4096 * FBlock))
        << "seek to " << position << " (sample " << sample << ")";
  }
  // After a seek the rest of the source follows without a gap.
  decoder->Seek(17'000'000);
  const std::vector<uint8_t> tail = ReadToEnd(decoder.Get());
  EXPECT_TRUE(tail == ExpectedFrom(SampleAt(17'000'000, kRate), FExpected.size()));
  decoder->Seek(30'000'000);  // beyond the end
  EXPECT_EQ(decoder->Read(std::vector<uint8_t>(4096).data(), 4096), 0);
}

INSTANTIATE_TEST_SUITE_P(WavAndFlac, LosslessSource,
                         testing::Values(TLosslessCase{"wav", 8}, TLosslessCase{"wav", 16},
                                         TLosslessCase{"wav", 24}, TLosslessCase{"wav", 32},
                                         TLosslessCase{"flac", 8}, TLosslessCase{"flac", 16},
                                         TLosslessCase{"flac", 24}),
                         PrintCase);

// --- Float sources become 24-bit integers -----------------------------------

TEST(FloatSource, WavAndAifcFloatArriveAs24BitIntegers) {
  TTempDir dir;
  // Values that 24 bits hold exactly: k / 2^23, including both extremes.
  const int kSamples = 44100;
  std::vector<float> samples(kSamples);
  std::vector<int32_t> expected(kSamples);
  for (int i = 0; i < kSamples; ++i) {
    expected[i] = (i * 7919) % (1 << 24) - (1 << 23);
    if (i == 1) expected[i] = (1 << 23) - 1;
    samples[i] = static_cast<float>(expected[i]) / (1 << 23);
  }
  std::vector<uint8_t> raw(samples.size() * 4);
  std::memcpy(raw.data(), samples.data(), raw.size());
  WriteBytes(dir / "float.raw", raw);
  for (const std::string target : {"float.wav", "float.aifc"}) {
    const std::string codec = target == "float.wav" ? "pcm_f32le" : "pcm_f32be -f aiff";
    ASSERT_TRUE(RunCommand("ffmpeg -v error -y -f f32le -ar 44100 -ac 1 -i " +
                           Quote(dir / "float.raw") + " -c:a " + codec + " " +
                           Quote(dir / target)));
    TComPtr<IDecoderEx> decoder(OpenDecoder(dir / target));
    ASSERT_TRUE(decoder) << target;
    const TDecoderInfo info = InfoOf(decoder.Get());
    EXPECT_EQ(info.BitsPerSample, 24) << target;
    EXPECT_EQ(info.Channels, 1) << target;
    const std::vector<uint8_t> pcm = ReadToEnd(decoder.Get());
    ASSERT_EQ(pcm.size(), expected.size() * 3) << target;
    int mismatches = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const int32_t got = static_cast<int32_t>(static_cast<uint32_t>(pcm[3 * i]) << 8 |
                                               static_cast<uint32_t>(pcm[3 * i + 1]) << 16 |
                                               static_cast<uint32_t>(pcm[3 * i + 2]) << 24) >>
                          8;
      mismatches += got != expected[i];
    }
    EXPECT_EQ(mismatches, 0) << target;
  }
}

// --- Multichannel sources -----------------------------------------------------

int16_t Sample16(const std::vector<uint8_t>& Pcm, size_t Index) {
  return static_cast<int16_t>(Pcm[2 * Index] | Pcm[2 * Index + 1] << 8);
}

TEST(MultichannelSource, FiveOneArrivesAsStereoWithTheCentreInBothSides) {
  TTempDir dir;
  // A tone on the centre channel only: copying the first two channels would
  // give silence, a proper mixdown puts it on both sides.
  const std::string tone =
      "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -af pan='5.1|FC=c0'";
  ASSERT_TRUE(RunCommand("ffmpeg -v error -y " + tone + " -c:a flac " + Quote(dir / "six.flac")));
  ASSERT_TRUE(
      RunCommand("ffmpeg -v error -y " + tone + " -c:a ac3 -b:a 384k " + Quote(dir / "six.ac3")));
  for (const std::string name : {"six.flac", "six.ac3"}) {
    TComPtr<IDecoderEx> decoder(OpenDecoder(dir / name));
    ASSERT_TRUE(decoder) << name;
    const TDecoderInfo info = InfoOf(decoder.Get());
    EXPECT_EQ(info.Channels, 2) << name;
    EXPECT_EQ(info.BitsPerSample, 16) << name;
    EXPECT_EQ(info.SampleRate, 48000) << name;
    const std::vector<uint8_t> pcm = ReadToEnd(decoder.Get());
    ASSERT_NEAR(static_cast<double>(pcm.size()) / 4, 96000, 3000) << name;
    int peak = 0;
    int sideDifference = 0;
    for (size_t i = 0; i < pcm.size() / 4; ++i) {
      peak = std::max(peak, std::abs(static_cast<int>(Sample16(pcm, 2 * i))));
      sideDifference =
          std::max(sideDifference, std::abs(Sample16(pcm, 2 * i) - Sample16(pcm, 2 * i + 1)));
    }
    EXPECT_GT(peak, 500) << name;
    EXPECT_LE(sideDifference, 1) << name;
  }
}

// --- Lossy and other sources --------------------------------------------------

struct TFormatCase {
  const char* File;
  const char* Encoder;  // ffmpeg output options
  int Bits;
  int Rate;
  bool KnownLength;  // the container states the sample count
};

int32_t SampleValue(const std::vector<uint8_t>& Pcm, size_t Index, int Bits) {
  const size_t bytes = Bits / 8;
  uint32_t value = 0;
  for (size_t b = 0; b < bytes; ++b)
    value |= static_cast<uint32_t>(Pcm[Index * bytes + b]) << (32 - 8 * bytes + 8 * b);
  return static_cast<int32_t>(value) >> (32 - Bits);
}

// Largest difference between Got and Straight from sample Offset on.
int32_t MaxDifference(const std::vector<uint8_t>& Got, const std::vector<uint8_t>& Straight,
                      size_t Offset, int Bits) {
  int32_t worst = 0;
  const size_t bytes = Bits / 8;
  for (size_t i = 0; i < Got.size() / bytes; ++i)
    worst = std::max(worst,
                     std::abs(SampleValue(Got, i, Bits) - SampleValue(Straight, Offset + i, Bits)));
  return worst;
}

void PrintTo(const TFormatCase& c, std::ostream* os) { *os << c.File << " (" << c.Encoder << ")"; }

std::string PrintFormat(const testing::TestParamInfo<TFormatCase>& Info) {
  std::string name = Info.param.File;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

class OtherFormat : public testing::TestWithParam<TFormatCase> {};

// Opens, reports, decodes the whole length, and a seek lands on the same
// sample as decoding straight through from the start. Lossy decoders that
// start again a little before the target may differ from the straight run
// by a rounding step; a one-sample shift of the 1 kHz tone differs by
// hundreds.
TEST_P(OtherFormat, DecodesAndSeeksLikeAStraightRun) {
  const TFormatCase c = GetParam();
  TTempDir dir;
  const fs::path path = dir / c.File;
  ASSERT_TRUE(RunCommand(
      "ffmpeg -v error -y -f lavfi -i sine=frequency=1000:sample_rate=" + std::to_string(c.Rate) +
      ":duration=3 -ac 2 " + c.Encoder + " " + Quote(path)));
  TComPtr<IDecoderEx> decoder(OpenDecoder(path));
  ASSERT_TRUE(decoder);
  const TDecoderInfo info = InfoOf(decoder.Get());
  EXPECT_EQ(info.BitsPerSample, c.Bits);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.SampleRate, c.Rate);
  EXPECT_NEAR(info.Duration, 3 * k100ns, 0.1 * k100ns);
  EXPECT_GT(info.Bitrate, 0);

  const size_t block = c.Bits / 8 * 2;
  const std::vector<uint8_t> straight = ReadToEnd(decoder.Get());
  if (c.KnownLength)
    EXPECT_EQ(static_cast<int64_t>(straight.size() / block), SampleAt(info.Duration, c.Rate));
  else
    EXPECT_NEAR(static_cast<double>(straight.size() / block), 3.0 * c.Rate, 0.05 * c.Rate);
  for (int64_t position : {21'234'567LL, 4'000'000LL}) {
    decoder->Seek(position);
    const size_t offset = SampleAt(position, c.Rate) * 2;
    const std::vector<uint8_t> got = ReadBytesFrom(decoder.Get(), 8192 * block);
    ASSERT_EQ(got.size(), std::min<size_t>(8192 * block, straight.size() - offset * block / 2));
    EXPECT_LE(MaxDifference(got, straight, offset, c.Bits), 2) << "seek to " << position;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OtherFormat,
    testing::Values(TFormatCase{"tone.mp2", "-c:a mp2 -b:a 192k", 16, 44100, false},
                    TFormatCase{"tone.ogg", "-c:a libvorbis -q:a 4", 16, 44100, true},
                    TFormatCase{"tone.m4a", "-c:a aac -b:a 128k", 16, 44100, true},
                    TFormatCase{"tone.aac", "-c:a aac -b:a 128k -f adts", 16, 44100, false},
                    TFormatCase{"tone.wma", "-c:a wmav2 -b:a 128k", 16, 44100, false},
                    TFormatCase{"tone.ac3", "-c:a ac3 -b:a 192k", 16, 48000, false},
                    TFormatCase{"tone.dts", "-strict -2 -c:a dca -b:a 768k", 16, 48000, false},
                    TFormatCase{"tone.aiff", "-c:a pcm_s16be", 16, 44100, true},
                    TFormatCase{"tone.au", "-c:a pcm_s16be", 16, 22050, true},
                    TFormatCase{"tone_alaw.wav", "-c:a pcm_alaw", 16, 8000, true},
                    // Not plain samples: a WAV that FFmpeg must analyse.
                    TFormatCase{"tone_adpcm.wav", "-c:a adpcm_ms", 16, 44100, false},
                    TFormatCase{"tone.m4a.alac", "-c:a alac -sample_fmt s32p -f ipod", 24, 44100,
                                true},
                    TFormatCase{"tone.wv", "-c:a wavpack", 16, 44100, true}),
    PrintFormat);

// --- MP3 from lame --------------------------------------------------------------

// Lag of Decoded against Original (16-bit stereo, left channel) that
// matches best within +-MaxLag samples.
int BestLag(const std::vector<uint8_t>& Original, const std::vector<uint8_t>& Decoded, int MaxLag) {
  int best = 0;
  double bestError = -1;
  for (int lag = -MaxLag; lag <= MaxLag; ++lag) {
    double error = 0;
    for (size_t i = 40000; i < 48000; i += 4) {
      const double d = Sample16(Original, 2 * i) - Sample16(Decoded, 2 * (i + lag));
      error += d * d;
    }
    if (bestError < 0 || error < bestError) {
      bestError = error;
      best = lag;
    }
  }
  return best;
}

TEST(Mp3Source, ReportsTheStreamAndSeeksOntoTheStraightRunSample) {
  TTempDir dir;
  ASSERT_TRUE(RunCommand(
      "ffmpeg -v error -y -f lavfi -i anoisesrc=color=pink:amplitude=0.3:sample_rate=44100:"
      "duration=3 -ac 2 " +
      Quote(dir / "noise.wav")));
  ASSERT_TRUE(RunCommand("lame --quiet -b 128 " + Quote(dir / "noise.wav") + " " +
                         Quote(dir / "noise.mp3")));
  TComPtr<IDecoderEx> original(OpenDecoder(dir / "noise.wav"));
  ASSERT_TRUE(original);
  const std::vector<uint8_t> source = ReadToEnd(original.Get());
  TComPtr<IDecoderEx> decoder(OpenDecoder(dir / "noise.mp3"));
  ASSERT_TRUE(decoder);
  const TDecoderInfo info = InfoOf(decoder.Get());
  EXPECT_EQ(info.BitsPerSample, 16);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.SampleRate, kRate);
  EXPECT_EQ(info.Bitrate, 128);
  const std::vector<uint8_t> straight = ReadToEnd(decoder.Get());
  // lame writes its delay and padding into its info tag and the decoder
  // trims both: the straight run has the source's length and lines up with
  // it sample for sample.
  EXPECT_EQ(straight.size(), source.size());
  EXPECT_EQ(BestLag(source, straight, 1200), 0);
  // The duration comes from the frame count less the delay; the padding at
  // the end is known to the demuxer only, so up to one frame may be left.
  EXPECT_NEAR(info.Duration, 3 * k100ns, 1152 * k100ns / kRate);

  for (int64_t position : {15'000'000LL, 123'457LL, 26'122'449LL, 0LL}) {
    decoder->Seek(position);
    const size_t offset = SampleAt(position, kRate) * 4;
    const std::vector<uint8_t> got = ReadBytesFrom(decoder.Get(), 4096 * 4);
    ASSERT_LE(offset + got.size(), straight.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), straight.begin() + offset))
        << "seek to " << position;
  }
}

// --- Sources that must be refused cleanly ----------------------------------------

TEST(RefusedSource, TextEmptyTruncatedAndVideoOnlyFilesFailOpen) {
  TTempDir dir;
  const std::string text = "This is a play list, not audio.\n";
  WriteBytes(dir / "notes.txt", text);
  WriteBytes(dir / "notes.mp3", text);
  WriteBytes(dir / "empty.wav", "");
  WriteBytes(dir / "noise.raw", NoiseBytes(44100 * 4, 9));
  ASSERT_TRUE(RunCommand(
      "flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
      "--sample-rate=44100 -o " +
      Quote(dir / "whole.flac") + " " + Quote(dir / "noise.raw")));
  std::vector<uint8_t> flac = ReadBytes(dir / "whole.flac");
  ASSERT_GT(flac.size(), 100u);
  flac.resize(100);  // the stream header without any audio frame
  WriteBytes(dir / "header_only.flac", flac);
  ASSERT_TRUE(
      RunCommand("ffmpeg -v error -y -f lavfi -i testsrc=size=64x64:rate=5:duration=1 -c:v mjpeg " +
                 Quote(dir / "video.avi")));

  for (const std::string name :
       {"notes.txt", "notes.mp3", "empty.wav", "header_only.flac", "video.avi", "missing.wav"}) {
    TComPtr<IDecoderEx> decoder(NewDecoder());
    ASSERT_TRUE(decoder);
    const std::u16string wide = (dir / name).u16string();
    EXPECT_EQ(decoder->Open(wide.c_str()) & 0xFF, 0) << name;
    const TDecoderInfo info = InfoOf(decoder.Get());
    EXPECT_EQ(info.Channels, 0) << name;
    EXPECT_EQ(info.Duration, 0) << name;
    std::vector<uint8_t> buffer(4096);
    EXPECT_LT(decoder->Read(buffer.data(), 4096), 0) << name;
  }
  TComPtr<IDecoderEx> decoder(NewDecoder());
  EXPECT_EQ(decoder->Open(nullptr) & 0xFF, 0);
}

// --- Sources that state their length: cut or damaged ones fail -------------

// Reads to the end; the last Read's result is kept in Last.
std::vector<uint8_t> ReadAll(IDecoderEx* Decoder, int32_t& Last) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(16384);
  while ((Last = Decoder->Read(block.data(), 16384)) > 0)
    all.insert(all.end(), block.begin(), block.begin() + Last);
  return all;
}

class StatedLength : public testing::Test {
protected:
  void SetUp() override {
    FPcm = NoiseBytes(44100 * 4 * 3, 5);  // 3 s, 16-bit stereo
    WriteBytes(FDir / "s.raw", FPcm);
    const std::string raw = " -f s16le -ar 44100 -ac 2 -i " + Quote(FDir / "s.raw");
    ASSERT_TRUE(RunCommand("ffmpeg -v error -y" + raw + " " + Quote(FDir / "whole.wav")));
    ASSERT_TRUE(
        RunCommand("ffmpeg -v error -y" + raw + " -c:a pcm_s16be " + Quote(FDir / "whole.aiff")));
    ASSERT_TRUE(RunCommand(
        "flac -s -f --force-raw-format --endian=little --sign=signed --channels=2 --bps=16 "
        "--sample-rate=44100 -o " +
        Quote(FDir / "whole.flac") + " " + Quote(FDir / "s.raw")));
    ASSERT_TRUE(RunCommand("ffmpeg -v error -y" + raw + " -b:a 192k " + Quote(FDir / "whole.mp3")));
  }
  // The first Percent of Name's bytes (plus 3, to cut inside a sample).
  std::filesystem::path Cut(const std::string& Name, int Percent) {
    std::vector<uint8_t> bytes = ReadBytes(FDir / Name);
    bytes.resize(bytes.size() * Percent / 100 + 3);
    const fs::path cut = FDir / ("cut_" + Name);
    WriteBytes(cut, bytes);
    return cut;
  }
  TTempDir FDir;
  std::vector<uint8_t> FPcm;
};

TEST_F(StatedLength, WholeSourcesEndCleanlyAndSayTheirLengthIsStated) {
  for (const std::string name : {"whole.wav", "whole.aiff", "whole.flac"}) {
    TComPtr<IDecoderEx> decoder(OpenDecoder(FDir / name));
    ASSERT_TRUE(decoder) << name;
    EXPECT_EQ(DecoderInfoWord(InfoOf(decoder.Get()).Flags) & dfStatedLength, dfStatedLength)
        << name;
    int32_t last = 0;
    EXPECT_EQ(ReadAll(decoder.Get(), last).size(), FPcm.size()) << name;
    EXPECT_EQ(last, 0) << name;
  }
  // An MP3's length is an estimate: it states nothing.
  TComPtr<IDecoderEx> mp3(OpenDecoder(FDir / "whole.mp3"));
  ASSERT_TRUE(mp3);
  EXPECT_EQ(DecoderInfoWord(InfoOf(mp3.Get()).Flags) & dfStatedLength, 0);
}

TEST_F(StatedLength, CutSourcesDeliverWhatIsLeftThenFail) {
  for (const std::string name : {"whole.wav", "whole.aiff", "whole.flac"}) {
    TComPtr<IDecoderEx> decoder(OpenDecoder(Cut(name, 60)));
    ASSERT_TRUE(decoder) << name;
    int32_t last = 0;
    const std::vector<uint8_t> got = ReadAll(decoder.Get(), last);
    EXPECT_GT(got.size(), FPcm.size() / 3) << name;
    EXPECT_LT(got.size(), FPcm.size()) << name;
    EXPECT_EQ(got.size() % 4, 0u) << name;
    // Whatever arrives is the source's beginning.
    EXPECT_TRUE(std::equal(got.begin(), got.end(), FPcm.begin())) << name;
    EXPECT_LT(last, 0) << name << ": the end of a cut source is an error, not the end";
    EXPECT_EQ(DecoderInfoWord(InfoOf(decoder.Get()).ReadError), drEndsShort) << name;
    std::vector<uint8_t> block(64);
    EXPECT_LT(decoder->Read(block.data(), 64), 0) << name << ": keeps failing";
  }
  // A cut MP3 ends where its data ends, as before.
  TComPtr<IDecoderEx> mp3(OpenDecoder(Cut("whole.mp3", 60)));
  ASSERT_TRUE(mp3);
  int32_t last = -1;
  EXPECT_GT(ReadAll(mp3.Get(), last).size(), FPcm.size() / 3);
  EXPECT_EQ(last, 0);
}

TEST_F(StatedLength, AWavCutByAPartOfOneSampleStillEndsCleanly) {
  // The header counts one more frame than the data holds: no real loss.
  std::vector<uint8_t> bytes = ReadBytes(FDir / "whole.wav");
  bytes.resize(bytes.size() - 2);
  WriteBytes(FDir / "short.wav", bytes);
  TComPtr<IDecoderEx> decoder(OpenDecoder(FDir / "short.wav"));
  ASSERT_TRUE(decoder);
  int32_t last = -1;
  EXPECT_EQ(ReadAll(decoder.Get(), last).size(), FPcm.size() - 4);
  EXPECT_EQ(last, 0);
}

TEST_F(StatedLength, ADamagedFlacFrameInTheMiddleFails) {
  std::vector<uint8_t> bytes = ReadBytes(FDir / "whole.flac");
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 32; ++i)
    bytes[i] ^= 0x5A;
  WriteBytes(FDir / "damaged.flac", bytes);
  // The flac tool agrees that the file is damaged, and that the original is not.
  ASSERT_TRUE(RunCommand("flac -s -t " + Quote(FDir / "whole.flac")));
  ASSERT_FALSE(RunCommand("flac -s -t " + Quote(FDir / "damaged.flac") + " 2>/dev/null"));
  TComPtr<IDecoderEx> decoder(OpenDecoder(FDir / "damaged.flac"));
  ASSERT_TRUE(decoder);
  int32_t last = 0;
  const std::vector<uint8_t> got = ReadAll(decoder.Get(), last);
  EXPECT_LT(got.size(), FPcm.size() * 6 / 10);
  EXPECT_LT(last, 0);
  EXPECT_EQ(DecoderInfoWord(InfoOf(decoder.Get()).ReadError), drDamaged);
}

TEST(CodecKind, LosslessCodecsSayTheyAreLossless) {
  TTempDir dir;
  const std::string input = "ffmpeg -v error -y -f lavfi -i sine=duration=0.5 ";
  const std::pair<const char*, bool> cases[] = {
      {"-c:a pcm_s16be a.aiff", true}, {"-c:a alac a.m4a", true},
      {"-c:a wavpack a.wv", true},     {"-c:a tta a.tta", true},
      {"-c:a flac a.flac", true},      {"-c:a pcm_mulaw mulaw.wav", false},
      {"-b:a 128k a.mp3", false},      {"-c:a aac a.aac", false},
      {"-c:a libvorbis a.ogg", false}};
  for (const auto& [arguments, lossless] : cases) {
    const std::string args = arguments;
    const std::string name = args.substr(args.rfind(' ') + 1);
    if (!RunCommand(input + args.substr(0, args.rfind(' ') + 1) + Quote(dir / name))) {
      ADD_FAILURE() << "ffmpeg could not make " << name;
      continue;
    }
    TComPtr<IDecoderEx> decoder(OpenDecoder(dir / name));
    ASSERT_TRUE(decoder) << name;
    EXPECT_EQ((DecoderInfoWord(InfoOf(decoder.Get()).Flags) & dfLosslessCodec) != 0, lossless)
        << name;
  }
}

TEST(CodecKind, WordsWithoutTheMarkSayNothing) {
  EXPECT_EQ(DecoderInfoWord(0), 0);
  EXPECT_EQ(DecoderInfoWord(0x12340003), 0);
  EXPECT_EQ(DecoderInfoWord(-1), 0);
  EXPECT_EQ(DecoderInfoWord(DecoderInfoTag | dfLosslessCodec), dfLosslessCodec);
}

TEST(SourcePath, WideNamesWithSpacesAndColonsOpen) {
  TTempDir dir;
  const fs::path path = dir / "音乐 测试:1.wav";
  ASSERT_TRUE(
      RunCommand("ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -c:a pcm_s16le " + Quote(path)));
  TComPtr<IDecoderEx> decoder(OpenDecoder(path));
  ASSERT_TRUE(decoder);
  EXPECT_EQ(InfoOf(decoder.Get()).Channels, 1);
  std::vector<uint8_t> buffer(3);
  EXPECT_LT(decoder->Read(buffer.data(), 1), 0) << "no whole sample fits in one byte";
  EXPECT_EQ(decoder->Read(buffer.data(), 3), 2);
}

}  // namespace
