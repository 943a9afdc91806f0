// Musepack sources through the player library's decoder, checked against
// the reference tool mpcdec: stream version 8 made with mpcenc at test time,
// stream version 7 from public test data (see data/README.md).
#include <gtest/gtest.h>

#include <cmath>

#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 4;  // 16-bit stereo
constexpr int64_t k100ns = 10'000'000;

// What mpcdec makes of Source: its samples as 16-bit WAV data.
std::vector<uint8_t> ReferenceDecode(const fs::path& Source, const fs::path& Folder) {
  const fs::path wav = Folder / (Source.stem().string() + ".ref.wav");
  EXPECT_TRUE(RunCommand("mpcdec " + Quote(Source) + " " + Quote(wav) + " 2>/dev/null"));
  const auto parsed = morvotest::ParseWav(ReadBytes(wav));
  EXPECT_TRUE(parsed.Valid && parsed.Bits == 16 && parsed.Channels == 2 && parsed.Rate == kRate);
  return parsed.Pcm;
}

class MusepackSource : public testing::Test {
protected:
  // 2.3 s of two tones made by ffmpeg, encoded by mpcenc (stream version 8).
  fs::path MakeSv8() {
    const fs::path wav = FDir / "tones.wav", mpc = FDir / "tones.mpc";
    EXPECT_TRUE(RunCommand(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=2.3 -f lavfi -i "
        "sine=frequency=660:duration=2.3 -filter_complex amerge -ar 44100 -c:a pcm_s16le " +
        Quote(wav)));
    EXPECT_TRUE(RunCommand("mpcenc --silent --overwrite " + Quote(wav) + " " + Quote(mpc)));
    return mpc;
  }

  void ExpectDecodesLikeMpcdec(const fs::path& Source, int64_t ExpectedFrames) {
    const std::vector<uint8_t> reference = ReferenceDecode(Source, FDir.Path());
    ASSERT_EQ(int64_t(reference.size()), ExpectedFrames * kBlock) << "mpcdec's own length";
    TComPtr<IDecoderEx> decoder(OpenDecoder(Source));
    ASSERT_TRUE(decoder) << Source;
    const TDecoderInfo info = InfoOf(decoder.Get());
    EXPECT_EQ(info.BitsPerSample, 16);
    EXPECT_EQ(info.Channels, 2);
    EXPECT_EQ(info.SampleRate, kRate);
    EXPECT_EQ(info.Duration, std::llround(double(ExpectedFrames) * k100ns / kRate));
    const double fileKbps = fs::file_size(Source) * 8.0 / (double(ExpectedFrames) / kRate) / 1000;
    EXPECT_NEAR(info.Bitrate, fileKbps, 0.1 * fileKbps + 2);
    const std::vector<uint8_t> pcm = ReadToEnd(decoder.Get(), 4099);
    ASSERT_EQ(pcm.size(), reference.size());
    EXPECT_TRUE(pcm == reference) << "samples differ from mpcdec's";
  }

  TTempDir FDir;
};

TEST_F(MusepackSource, StreamVersion8OpensWithItsExactLengthAndDecodesLikeMpcdec) {
  ExpectDecodesLikeMpcdec(MakeSv8(), 101430);  // 2.3 s, without the encoder's delay or padding
}

TEST_F(MusepackSource, StreamVersion7OpensWithItsExactLengthAndDecodesLikeMpcdec) {
  ExpectDecodesLikeMpcdec(fs::path(MORVO_SOURCE_DIR) / "tests/player/lxplayer/data/click-sv7.mpc",
                          2717);
}

TEST_F(MusepackSource, SeeksLandOnTheSampleMpcdecGivesThere) {
  const fs::path mpc = MakeSv8();
  const std::vector<uint8_t> reference = ReferenceDecode(mpc, FDir.Path());
  TComPtr<IDecoderEx> decoder(OpenDecoder(mpc));
  ASSERT_TRUE(decoder);
  for (int64_t position : {15'000'000LL, 2'500'000LL, 0LL, 22'990'000LL}) {
    decoder->Seek(position);
    const size_t start = size_t(std::llround(double(position) * kRate / k100ns)) * kBlock;
    const std::vector<uint8_t> got = ReadBytesFrom(decoder.Get(), 3000 * kBlock);
    const size_t end = std::min(reference.size(), start + 3000 * kBlock);
    EXPECT_TRUE(got == std::vector<uint8_t>(reference.begin() + start, reference.begin() + end))
        << "seek to " << position;
  }
  decoder->Seek(23'000'000);
  EXPECT_EQ(decoder->Read(std::vector<uint8_t>(64).data(), 64), 0)
      << "a seek to the end leaves nothing to read";
}

TEST_F(MusepackSource, ADamagedStreamHeaderFailsToOpenWithTheReason) {
  std::vector<uint8_t> bytes = ReadBytes(MakeSv8());
  bytes.resize(24);  // the magic and a cut stream header
  const fs::path cut = FDir / "cut.mpc";
  WriteBytes(cut, bytes);
  TComPtr<IDecoderEx> decoder(NewDecoder());
  const std::u16string path = cut.u16string();
  EXPECT_EQ(decoder->Open(path.c_str()) & 0xFF, 0);
  EXPECT_NE(FailureReason(decoder.Get()).find("Musepack"), std::string::npos)
      << FailureReason(decoder.Get());
}

}  // namespace
