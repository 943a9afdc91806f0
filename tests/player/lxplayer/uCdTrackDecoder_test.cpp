// The player library's decoder on audio CD tracks: disc images read through
// libcdio's image driver and cdparanoia must give back the PCM the image
// was made of, to the byte, and fail cleanly where the image lacks data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "tests/support/uCdImage.h"
#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;
using morvotest::CdSectorBytes;
using morvotest::MakeCdImage;
using morvotest::PlainTracks;
using morvotest::TCdImage;

namespace {

constexpr int64_t k100ns = 10'000'000;
constexpr int64_t kFramesPerSector = 588;

std::u16string TrackPath(const TCdImage& Image, int Number) {
  char Name[24];
  std::snprintf(Name, sizeof Name, "/Track%02d.cda", Number);
  return Image.Cue.u16string() + fs::path(Name).u16string();
}

// Opens a track with the library's decoder; null when Open fails.
IDecoderEx* OpenTrack(const TCdImage& Image, int Number) {
  IDecoderEx* Decoder = NewDecoder();
  if (!Decoder) return nullptr;
  const std::u16string Path = TrackPath(Image, Number);
  if ((Decoder->Open(Path.c_str()) & 0xFF) != 0) return Decoder;
  Decoder->Release();
  return nullptr;
}

struct TReleaser {
  void operator()(IDecoderEx* D) const {
    if (D) D->Release();
  }
};
using TDecoderPtr = std::unique_ptr<IDecoderEx, TReleaser>;

// The first 100-ns position at or after Frame: where a caller that wants the
// frame seeks.
int64_t PositionOf(int64_t Frame) { return (Frame * k100ns + 44099) / 44100; }

class CdTrackDecoder : public ::testing::Test {
protected:
  TTempDir FDir;
};

TEST_F(CdTrackDecoder, EveryTrackReadsBackAsTheBytesThatMadeIt) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "disc", PlainTracks({150, 229, 301}), 21);
  for (int N = 1; N <= 3; ++N) {
    SCOPED_TRACE(N);
    TDecoderPtr Decoder(OpenTrack(Image, N));
    ASSERT_NE(Decoder, nullptr);
    const TDecoderInfo Info = InfoOf(Decoder.get());
    EXPECT_EQ(Info.BitsPerSample, 16);
    EXPECT_EQ(Info.Channels, 2);
    EXPECT_EQ(Info.SampleRate, 44100);
    EXPECT_EQ(Info.Bitrate, 1411);
    // The duration gives back the frame count exactly.
    const int64_t Frames = int64_t(Image.TrackPcm[N - 1].size() / 4);
    EXPECT_EQ(std::llround(double(Info.Duration) * 44100 / k100ns), Frames);
    const std::vector<uint8_t> Pcm = ReadToEnd(Decoder.get());
    ASSERT_EQ(Pcm.size(), Image.TrackPcm[N - 1].size());
    EXPECT_TRUE(Pcm == Image.TrackPcm[N - 1]);
    uint8_t Byte[16];
    EXPECT_EQ(Decoder->Read(Byte, sizeof Byte), 0);  // the end stays the end
  }
}

TEST_F(CdTrackDecoder, AnyBufferGetsWholeFramesOnly) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "odd", PlainTracks({150, 40}), 22);
  TDecoderPtr Decoder(OpenTrack(Image, 2));
  ASSERT_NE(Decoder, nullptr);
  std::vector<uint8_t> All, Block(1003);
  int32_t Got;
  while ((Got = Decoder->Read(Block.data(), 1003)) > 0) {
    EXPECT_EQ(Got % 4, 0);
    All.insert(All.end(), Block.begin(), Block.begin() + Got);
  }
  EXPECT_EQ(Got, 0);
  EXPECT_TRUE(All == Image.TrackPcm[1]);
  EXPECT_EQ(Decoder->Read(Block.data(), 0), 0);
  EXPECT_EQ(Decoder->Read(Block.data(), 3), -1);  // not even one frame fits
}

TEST_F(CdTrackDecoder, ASeekLandsOnTheExactFrame) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "seek", PlainTracks({160, 200}), 23);
  const std::vector<uint8_t>& Track = Image.TrackPcm[1];
  const int64_t Frames = int64_t(Track.size() / 4);
  TDecoderPtr Decoder(OpenTrack(Image, 2));
  ASSERT_NE(Decoder, nullptr);
  for (int64_t Frame : {int64_t(12345), int64_t(0), int64_t(1), kFramesPerSector - 1,
                        kFramesPerSector, kFramesPerSector + 1, Frames - 1}) {
    SCOPED_TRACE(Frame);
    ASSERT_EQ(Decoder->Seek(PositionOf(Frame)), 0);
    const size_t Want = std::min<size_t>(8192, Track.size() - size_t(Frame) * 4);
    const std::vector<uint8_t> Got = ReadBytesFrom(Decoder.get(), Want);
    ASSERT_EQ(Got.size(), Want);
    EXPECT_TRUE(std::equal(Got.begin(), Got.end(), Track.begin() + Frame * 4));
  }
  ASSERT_EQ(Decoder->Seek(PositionOf(Frames)), 0);
  uint8_t Block[64];
  EXPECT_EQ(Decoder->Read(Block, sizeof Block), 0);
  ASSERT_EQ(Decoder->Seek(PositionOf(Frames) + 50 * k100ns), 0);
  EXPECT_EQ(Decoder->Read(Block, sizeof Block), 0);
}

TEST_F(CdTrackDecoder, TracksTheImageLacksDoNotOpen) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "cut", PlainTracks({150, 300, 200}), 24);
  fs::resize_file(Image.Bin, (150 + 100) * CdSectorBytes);
  TDecoderPtr First(OpenTrack(Image, 1));
  ASSERT_NE(First, nullptr);
  EXPECT_TRUE(ReadToEnd(First.get()) == Image.TrackPcm[0]);
  EXPECT_EQ(OpenTrack(Image, 2), nullptr);
  EXPECT_EQ(OpenTrack(Image, 3), nullptr);
  EXPECT_EQ(OpenTrack(Image, 4), nullptr);

  // Each refusal says why: a track cut off, a track the disc never had, no disc.
  TDecoderPtr Decoder(NewDecoder());
  ASSERT_NE(Decoder, nullptr);
  const auto ReasonOpening = [&](const std::u16string& Path) {
    EXPECT_EQ(Decoder->Open(Path.c_str()) & 0xFF, 0);
    return FailureReason(Decoder.get());
  };
  EXPECT_EQ(ReasonOpening(TrackPath(Image, 2)), "the track lies beyond the end of the disc");
  EXPECT_EQ(ReasonOpening(TrackPath(Image, 4)), "no such audio track on the disc");
  EXPECT_EQ(ReasonOpening((FDir.Path() / "none.cue" / "Track01.cda").u16string()),
            "no disc in the drive");
  uint8_t Block[16];
  EXPECT_EQ(Decoder->Read(Block, sizeof Block), -1);
}

TEST_F(CdTrackDecoder, DataLostAfterOpeningFailsTheReadInsteadOfFillingTheGap) {
  const TCdImage Image = MakeCdImage(FDir.Path(), "lost", PlainTracks({1200}), 25);
  TDecoderPtr Decoder(OpenTrack(Image, 1));
  ASSERT_NE(Decoder, nullptr);
  // The disc goes bad under the reader: the second half of the track is gone.
  fs::resize_file(Image.Bin, 600 * CdSectorBytes);
  std::vector<uint8_t> Read, Block(16384);
  int32_t Got;
  while ((Got = Decoder->Read(Block.data(), int32_t(Block.size()))) > 0)
    Read.insert(Read.end(), Block.begin(), Block.begin() + Got);
  EXPECT_EQ(Got, -1);
  EXPECT_LT(Read.size(), Image.TrackPcm[0].size());
  EXPECT_TRUE(std::equal(Read.begin(), Read.end(), Image.TrackPcm[0].begin()));
  EXPECT_EQ(Decoder->Read(Block.data(), int32_t(Block.size())), -1);
}

TEST_F(CdTrackDecoder, OtherSourcesStillGoToFFmpeg) {
  const fs::path Wav = FDir / "plain.wav";
  ASSERT_TRUE(
      RunCommand("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_s16le " +
                 Quote(Wav)));
  TDecoderPtr Decoder(OpenDecoder(Wav));
  ASSERT_NE(Decoder, nullptr);
  EXPECT_EQ(InfoOf(Decoder.get()).SampleRate, 44100);
  EXPECT_EQ(ReadToEnd(Decoder.get()).size(), size_t(22050) * 4);
}

}  // namespace
