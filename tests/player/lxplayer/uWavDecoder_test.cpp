// Plain PCM WAVE files are read without FFmpeg. Whatever path a WAVE file
// takes, the library must deliver what FFmpeg's decoder delivers for it:
// the same format words, the same samples, the same seeks. FFmpeg's side is
// its module of the player library, driven directly; the files come from
// the ffmpeg tool, some of them reshaped by hand.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "player/lxplayer/uFFmpegModule.h"
#include "tests/support/uBuiltLibrary.h"
#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TSourceDecoder> NewFFmpegOnly() {
  static void* const module = morvotest::OpenBuiltLibrary("libLxFFmpeg.so");
  const auto create = morvotest::BuiltEntry<TLxFFmpegNewDecoder>(module, kLxFFmpegNewDecoderName);
  return std::unique_ptr<TSourceDecoder>(create ? create() : nullptr);
}

std::vector<uint8_t> ReadAll(TSourceDecoder& Decoder, int32_t BlockSize) {
  std::vector<uint8_t> all, block(BlockSize);
  for (int32_t got; (got = Decoder.ReadInto(block.data(), BlockSize)) > 0;)
    all.insert(all.end(), block.begin(), block.begin() + got);
  return all;
}

std::vector<uint8_t> ReadSome(TSourceDecoder& Decoder, size_t Count) {
  std::vector<uint8_t> bytes(Count);
  size_t done = 0;
  for (int32_t got;
       done < Count &&
       (got = Decoder.ReadInto(bytes.data() + done, static_cast<int32_t>(Count - done))) > 0;)
    done += got;
  bytes.resize(done);
  return bytes;
}

std::string Describe(const TDecoderInfo& I) {
  std::ostringstream out;
  out << I.BitsPerSample << " bits, " << I.Channels << " ch, " << I.SampleRate << " Hz, "
      << I.Bitrate << " kbps, flags " << std::hex << I.Flags << ", error " << I.ReadError
      << std::dec << ", " << I.Duration << " x 100 ns";
  return out.str();
}

uint32_t Le32At(const std::vector<uint8_t>& B, size_t At) {
  return B[At] | B[At + 1] << 8 | B[At + 2] << 16 | static_cast<uint32_t>(B[At + 3]) << 24;
}
void PutLe32(std::vector<uint8_t>& B, size_t At, uint32_t V) {
  for (int i = 0; i < 4; ++i)
    B[At + i] = static_cast<uint8_t>(V >> (8 * i));
}

// Where the chunk Id starts in a RIFF file (the first one).
size_t ChunkAt(const std::vector<uint8_t>& B, const char* Id) {
  for (size_t at = 12; at + 8 <= B.size(); at += 8 + Le32At(B, at + 4) + (Le32At(B, at + 4) & 1))
    if (std::memcmp(B.data() + at, Id, 4) == 0) return at;
  return std::string::npos;
}

class WavPaths : public testing::Test {
protected:
  static void SetUpTestSuite() {
    Dir = std::make_unique<TTempDir>();
    const fs::path raw = Dir->Path() / "noise.raw";
    WriteBytes(raw, NoiseBytes((3 * 44100 + 777) * 8, 11));
    const std::string in = " -f s32le -ar 44100 -ac 2 -i " + Quote(raw) + " -fflags +bitexact ";
    for (const auto& [name, args] : std::vector<std::pair<std::string, std::string>>{
             {"u8_mono_8k.wav", "-ar 8000 -ac 1 -c:a pcm_u8"},
             {"s16_stereo.wav", "-c:a pcm_s16le"},
             {"s24_stereo_96k.wav", "-ar 96000 -c:a pcm_s24le"},
             {"s32_mono_48k.wav", "-ar 48000 -ac 1 -c:a pcm_s32le"},
             {"s16_rf64.wav", "-c:a pcm_s16le -rf64 always"},
             {"s16_tagged.wav", "-ar 22050 -c:a pcm_s16le -metadata title=Tagged"},
             {"f32_stereo.wav", "-c:a pcm_f32le"},
             {"s16_six.wav", "-ac 6 -c:a pcm_s16le"}})
      ASSERT_TRUE(RunCommand("ffmpeg -v error -y" + in + args + " " + Quote(Dir->Path() / name)));
    std::vector<uint8_t> plain = ReadBytes(Dir->Path() / "s16_stereo.wav");
    // A chunk after the data that the data must not run into.
    std::vector<uint8_t> trailing = plain;
    const std::string list = std::string("LIST\x06\0\0\0INFOab", 14);
    trailing.insert(trailing.end(), list.begin(), list.end());
    PutLe32(trailing, 4, static_cast<uint32_t>(trailing.size() - 8));
    WriteBytes(Dir->Path() / "trailing_chunk.wav", trailing);
    // An odd-sized chunk, padded, before the data.
    std::vector<uint8_t> odd = plain;
    const std::string junk = std::string("junk\x03\0\0\0xyz\0", 12);
    odd.insert(odd.begin() + static_cast<std::ptrdiff_t>(ChunkAt(plain, "data")), junk.begin(),
               junk.end());
    PutLe32(odd, 4, static_cast<uint32_t>(odd.size() - 8));
    WriteBytes(Dir->Path() / "odd_chunk.wav", odd);
    // A header whose byte rate does not match its format.
    std::vector<uint8_t> rate = plain;
    PutLe32(rate, ChunkAt(plain, "fmt ") + 16, 1000);
    WriteBytes(Dir->Path() / "odd_byte_rate.wav", rate);
  }
  static void TearDownTestSuite() { Dir.reset(); }
  static inline std::unique_ptr<TTempDir> Dir;
};

TEST_F(WavPaths, EveryWaveFileDeliversWhatFFmpegDelivers) {
  for (const auto& entry : fs::directory_iterator(Dir->Path())) {
    if (entry.path().extension() != ".wav") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TComPtr<IDecoderEx> ours(OpenDecoder(entry.path()));
    std::unique_ptr<TSourceDecoder> theirs = NewFFmpegOnly();
    ASSERT_TRUE(ours);
    ASSERT_TRUE(theirs);
    std::string reason;
    ASSERT_TRUE(theirs->OpenFile(entry.path().string(), reason)) << reason;
    const TDecoderInfo info = InfoOf(ours.Get());
    EXPECT_EQ(Describe(info), Describe(theirs->Info()));
    const int32_t block = info.Channels * info.BitsPerSample / 8;
    ASSERT_GT(block, 0);
    // Blocks that hold no whole number of samples, then whole ones.
    const std::vector<uint8_t> all = ReadToEnd(ours.Get(), 1001);
    EXPECT_TRUE(all == ReadAll(*theirs, 1001)) << all.size() << " bytes";
    for (const int64_t position : {0LL, 1LL, 928'798LL, 12'345'678LL, 5'000'001LL, 29'990'000LL,
                                   40'000'000LL, 7'000'000LL}) {
      ours->Seek(position);
      ASSERT_EQ(theirs->SeekTo(position), 0);
      const std::vector<uint8_t> got = ReadBytesFrom(ours.Get(), 4096 * block);
      EXPECT_TRUE(got == ReadSome(*theirs, 4096 * block)) << "after a seek to " << position;
    }
    EXPECT_EQ(Describe(InfoOf(ours.Get())), Describe(theirs->Info())) << "after reading";
  }
}

// A rate beyond the format words' signed field is no plain file: it must not
// come back negative (seeks would then land inside the header).
TEST_F(WavPaths, AnImpossibleRateIsNeverReportedAsOne) {
  std::vector<uint8_t> bytes = ReadBytes(Dir->Path() / "u8_mono_8k.wav");
  const size_t fmt = ChunkAt(bytes, "fmt ");
  PutLe32(bytes, fmt + 12, 0x80000000u);  // rate
  PutLe32(bytes, fmt + 16, 0x80000000u);  // byte rate, consistent with it
  const fs::path path = Dir->Path() / "impossible_rate.bin";
  WriteBytes(path, bytes);
  TComPtr<IDecoderEx> decoder(NewDecoder());
  ASSERT_TRUE(decoder);
  if (decoder->Open(path.u16string().c_str()) & 0xFF) {
    EXPECT_GT(InfoOf(decoder.Get()).SampleRate, 0);
  }
}

bool Mapped(const std::string& Name) {
  std::ifstream maps("/proc/self/maps");
  const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
  return text.find(Name) != std::string::npos;
}

// A test of its own: it runs in a process of its own, where nothing loaded
// the module before. (A sanitizer build links FFmpeg into the test program
// itself; FFmpeg's own libraries are checked only where it does not.)
TEST_F(WavPaths, APlainWavLoadsNoFFmpegAndAnythingElseLoadsItOnce) {
  ASSERT_FALSE(Mapped("libLxFFmpeg.so"));
  const bool linkedIn = Mapped("libavcodec");
  TComPtr<IDecoderEx> plain(OpenDecoder(Dir->Path() / "s24_stereo_96k.wav"));
  ASSERT_TRUE(plain);
  EXPECT_FALSE(ReadToEnd(plain.Get()).empty());
  EXPECT_FALSE(Mapped("libLxFFmpeg.so"));
  if (!linkedIn) {
    EXPECT_FALSE(Mapped("libavcodec"));
  }
  TComPtr<IDecoderEx> fromFloat(OpenDecoder(Dir->Path() / "f32_stereo.wav"));
  ASSERT_TRUE(fromFloat);
  EXPECT_TRUE(Mapped("libLxFFmpeg.so"));
  EXPECT_TRUE(Mapped("libavcodec"));
}

}  // namespace
