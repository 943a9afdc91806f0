// MIDI sources through the player library's decoder, rendered with the
// SoundFont of Debian's timgm6mb-soundfont package and checked against the
// fluidsynth command-line tool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/support/uMidiWriter.h"
#include "tests/support/uScopedEnv.h"
#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;
using morvotest::TTestSong;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 4;  // 16-bit stereo
constexpr int64_t k100ns = 10'000'000;
// The decoder's fixed release tail after the song's end.
constexpr int64_t kTailFrames = 2 * kRate;
const char* const kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class MidiSource : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fs::is_regular_file(kSoundFont)) << "timgm6mb-soundfont is not installed";
    FMid = FDir / "song.mid";
    WriteBytes(FMid, TTestSong::Type1());
  }

  std::vector<uint8_t> DecodeAll(const fs::path& Path, int32_t Block = 16384) {
    TComPtr<IDecoderEx> decoder(OpenDecoder(Path));
    EXPECT_TRUE(decoder) << Path;
    return decoder ? ReadToEnd(decoder.Get(), Block) : std::vector<uint8_t>{};
  }

  TTempDir FDir;
  fs::path FMid;
  morvotest::TScopedEnv FSoundFont{"MORVO_SOUNDFONT", std::string(kSoundFont)};
};

int64_t ExpectedFrames() { return std::llround(TTestSong::Seconds() * kRate) + kTailFrames; }

TEST_F(MidiSource, LengthIsTheTempoMapPlusTheTailAndReadDeliversExactlyThat) {
  TComPtr<IDecoderEx> decoder(OpenDecoder(FMid));
  ASSERT_TRUE(decoder);
  const TDecoderInfo info = InfoOf(decoder.Get());
  EXPECT_EQ(info.BitsPerSample, 16);
  EXPECT_EQ(info.Channels, 2);
  EXPECT_EQ(info.SampleRate, kRate);
  // The rendered PCM's rate, so that any MP3 bitrate counts as lower.
  EXPECT_EQ(info.Bitrate, 1411);
  const int64_t frames = ExpectedFrames();
  EXPECT_EQ(info.Duration, std::llround(double(frames) * k100ns / kRate));

  // An odd block size makes the decoder cut whole samples inside its buffers.
  const std::vector<uint8_t> pcm = ReadToEnd(decoder.Get(), 4099);
  EXPECT_EQ(int64_t(pcm.size()), frames * kBlock);
  EXPECT_EQ(decoder->Read(std::vector<uint8_t>(64).data(), 64), 0)
      << "a finished source keeps reporting its end";
  // What the worker computes from the duration is the byte count delivered.
  EXPECT_EQ(std::llround(double(info.Duration) / k100ns * kRate) * kBlock, int64_t(pcm.size()));
}

TEST_F(MidiSource, RendersTheSameSamplesAsTheFluidSynthTool) {
  const fs::path wav = FDir / "tool.wav";
  // HOME points at an empty folder so that no user configuration of the
  // tool's own applies; /dev/null stands for its configuration file.
  ASSERT_TRUE(RunCommand("HOME=" + Quote(FDir.Path()) + " fluidsynth -q -ni -f /dev/null -F " +
                         Quote(wav) + " -r 44100 " + Quote(kSoundFont) + " " + Quote(FMid)));
  const auto tool = morvotest::ParseWav(ReadBytes(wav));
  ASSERT_TRUE(tool.Valid);
  ASSERT_EQ(tool.Bits, 16);
  ASSERT_EQ(tool.Channels, 2);
  const std::vector<uint8_t> ours = DecodeAll(FMid);

  // The tool plays on until every voice has ended plus two seconds; its
  // length therefore differs from ours. Both start at the same sample.
  const size_t common = std::min(ours.size(), tool.Pcm.size());
  ASSERT_GT(common, size_t(TTestSong::Seconds() * kRate * kBlock));
  size_t firstDifference = common;
  for (size_t i = 0; i < common; ++i)
    if (ours[i] != tool.Pcm[i]) {
      firstDifference = i;
      break;
    }
  EXPECT_EQ(firstDifference, common)
      << "first differing byte at frame " << firstDifference / kBlock;
  // The song is not silence.
  double energy = 0;
  for (size_t i = 0; i + 1 < common; i += 2)
    energy += std::abs(int16_t(ours[i] | ours[i + 1] << 8));
  EXPECT_GT(energy / (common / 2), 100.0);
}

TEST_F(MidiSource, EveryRenderingIsTheSameAndSeeksLandOnTheSampleAReadingFromTheStartGives) {
  const std::vector<uint8_t> whole = DecodeAll(FMid);
  ASSERT_EQ(int64_t(whole.size()), ExpectedFrames() * kBlock);
  EXPECT_TRUE(DecodeAll(FMid, 777 * kBlock) == whole) << "a second rendering differs";

  TComPtr<IDecoderEx> decoder(OpenDecoder(FMid));
  ASSERT_TRUE(decoder);
  const auto expectFrom = [&](int64_t Position, const char* What) {
    decoder->Seek(Position);
    const size_t start = size_t(std::llround(double(Position) * kRate / k100ns)) * kBlock;
    const std::vector<uint8_t> got = ReadBytesFrom(decoder.Get(), 20000 * kBlock);
    const std::vector<uint8_t> want(whole.begin() + start,
                                    whole.begin() + std::min(whole.size(), start + got.size()));
    EXPECT_EQ(got.size(), std::min<size_t>(20000 * kBlock, whole.size() - start)) << What;
    EXPECT_TRUE(got == want) << What;
  };
  expectFrom(15'000'000, "seek forward to 1.5 s");
  expectFrom(3'000'000, "seek back to 0.3 s");
  expectFrom(34'000'000, "seek onto the song's end");
  decoder->Seek(1'000'000'000);
  EXPECT_EQ(decoder->Read(std::vector<uint8_t>(64).data(), 64), 0)
      << "a seek past the end leaves nothing to read";
}

TEST_F(MidiSource, TypeZeroRiffWrappedAndRunningStatusFilesSoundTheSame) {
  const std::vector<uint8_t> reference = DecodeAll(FMid);
  ASSERT_FALSE(reference.empty());
  const fs::path type0 = FDir / "type0.mid", rmi = FDir / "song.rmi",
                 running = FDir / "running.mid";
  WriteBytes(type0, TTestSong::Type0());
  WriteBytes(rmi, morvotest::RiffMidi(TTestSong::Type1()));
  WriteBytes(running, TTestSong::Type1(true));
  EXPECT_TRUE(DecodeAll(type0) == reference) << "type 0";
  EXPECT_TRUE(DecodeAll(rmi) == reference) << "RIFF RMID";
  EXPECT_TRUE(DecodeAll(running) == reference) << "running status";
}

// The SoundFont comes from the environment, the Debian default, or the
// first one installed; without one, Open fails and says why.
TEST_F(MidiSource, WithoutAUsableSoundFontOpenFailsWithTheReason) {
  const auto reasonWith = [&](const std::string& SoundFont) {
    morvotest::TScopedEnv env("MORVO_SOUNDFONT", SoundFont);
    TComPtr<IDecoderEx> decoder(NewDecoder());
    const std::u16string path = FMid.u16string();
    EXPECT_EQ(decoder->Open(path.c_str()) & 0xFF, 0) << SoundFont;
    EXPECT_EQ(InfoOf(decoder.Get()).Duration, 0);
    EXPECT_LT(decoder->Read(std::vector<uint8_t>(64).data(), 64), 0);
    return FailureReason(decoder.Get());
  };
  const std::string missing = reasonWith((FDir / "none.sf2").string());
  EXPECT_NE(missing.find("MORVO_SOUNDFONT"), std::string::npos) << missing;
  const fs::path notSoundFont = FDir / "text.sf2";
  WriteBytes(notSoundFont, std::string("not a SoundFont"));
  const std::string unloadable = reasonWith(notSoundFont.string());
  EXPECT_NE(unloadable.find("cannot be loaded"), std::string::npos) << unloadable;

  // Unset, the Debian default is found.
  morvotest::TScopedEnv unset("MORVO_SOUNDFONT", std::nullopt);
  TComPtr<IDecoderEx> decoder(OpenDecoder(FMid));
  EXPECT_TRUE(decoder) << "no SoundFont found in the Debian folders";
}

}  // namespace
