// What the player library makes of MIDI files' structure, seen through its
// decoder: the length from tempo maps spread over tracks, and clear reasons
// for files it cannot play.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/uMidiWriter.h"
#include "tests/support/uScopedEnv.h"
#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;
using morvotest::MidiFile;
using morvotest::MidiTrack;
using morvotest::TempoEvent;

namespace {

constexpr int kRate = 44100;
constexpr int64_t k100ns = 10'000'000;
constexpr int64_t kTailFrames = 2 * kRate;  // the decoder's release tail

class MidiFileShape : public testing::Test {
protected:
  fs::path Write(const std::vector<uint8_t>& Bytes) {
    const fs::path path = FDir / ("f" + std::to_string(++FCount) + ".mid");
    WriteBytes(path, Bytes);
    return path;
  }
  // The song's length in frames as the decoder reports it; -1 when Open fails.
  int64_t SongFrames(const std::vector<uint8_t>& Bytes) {
    TComPtr<IDecoderEx> decoder(OpenDecoder(Write(Bytes)));
    if (!decoder) return -1;
    return std::llround(double(InfoOf(decoder.Get()).Duration) * kRate / k100ns) - kTailFrames;
  }
  std::string Refusal(const std::vector<uint8_t>& Bytes) {
    TComPtr<IDecoderEx> decoder(NewDecoder());
    const std::u16string path = Write(Bytes).u16string();
    if (decoder->Open(path.c_str()) & 0xFF) return "opened";
    return FailureReason(decoder.Get());
  }

  TTempDir FDir;
  int FCount = 0;
  morvotest::TScopedEnv FSoundFont{"MORVO_SOUNDFONT",
                                   std::string("/usr/share/sounds/sf2/TimGM6mb.sf2")};
};

std::vector<uint8_t> Note(uint8_t Status, uint8_t Key) { return {Status, Key, 100}; }

TEST_F(MidiFileShape, LengthFollowsTempoChangesInAnyTrackToTheEndOfTheLongestTrack) {
  // 96 ticks a quarter. Track 1 changes the tempo at tick 192 (to 0.25 s a
  // quarter), track 2 at tick 384 (to 1 s a quarter) and ends at 480; the
  // tempo track itself ends early.
  const auto tempo = MidiTrack({{0, TempoEvent(500000)}}, 96);
  const auto one =
      MidiTrack({{0, Note(0x90, 60)}, {192, TempoEvent(250000)}, {300, Note(0x80, 60)}}, 300);
  const auto two =
      MidiTrack({{384, TempoEvent(1000000)}, {400, Note(0x91, 64)}, {470, Note(0x81, 64)}}, 480);
  const double seconds = 192 / 96.0 * 0.5 + (384 - 192) / 96.0 * 0.25 + (480 - 384) / 96.0 * 1.0;
  EXPECT_EQ(SongFrames(MidiFile(1, 96, {tempo, one, two})), std::llround(seconds * kRate));
  // Without any tempo event the song runs at 120 beats a minute.
  EXPECT_EQ(
      SongFrames(MidiFile(0, 96, {MidiTrack({{0, Note(0x90, 60)}, {96, Note(0x80, 60)}}, 288)})),
      std::llround(1.5 * kRate));
  // A tempo change at the very end does not count.
  EXPECT_EQ(SongFrames(MidiFile(0, 96, {MidiTrack({{96, TempoEvent(100000)}}, 96)})),
            std::llround(0.5 * kRate));
}

TEST_F(MidiFileShape, ChunksOfOtherKindsAndLongerHeadersAreSkipped) {
  std::vector<uint8_t> file =
      MidiFile(0, 96, {MidiTrack({{0, Note(0x90, 60)}, {96, Note(0x80, 60)}}, 192)});
  // A header two bytes longer, and a foreign chunk before the track.
  file[7] = 8;
  file.insert(file.begin() + 14, {0, 0, 'X', 'f', 'o', 'o', 0, 0, 0, 2, 1, 2});
  EXPECT_EQ(SongFrames(file), std::llround(1.0 * kRate));
}

TEST_F(MidiFileShape, FilesThatCannotBePlayedAreRefusedWithTheReason) {
  const auto track = MidiTrack({{0, Note(0x90, 60)}, {96, Note(0x80, 60)}}, 192);
  EXPECT_NE(Refusal(MidiFile(2, 96, {track})).find("type 2"), std::string::npos);
  std::vector<uint8_t> smpte = MidiFile(0, 96, {track});
  smpte[12] = 0xE7;  // -25 frames a second
  smpte[13] = 40;
  EXPECT_NE(Refusal(smpte).find("SMPTE"), std::string::npos);
  std::vector<uint8_t> cut = MidiFile(0, 96, {track});
  cut.resize(cut.size() - 3);
  EXPECT_NE(Refusal(cut).find("damaged MIDI file"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(1, 96, {track, track})).find("opened"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(1, 96, {track})).find("opened"), std::string::npos);
  std::vector<uint8_t> missingTrack = MidiFile(1, 96, {track});
  missingTrack[11] = 2;  // says two tracks, holds one
  EXPECT_NE(Refusal(missingTrack).find("tracks are missing"), std::string::npos);
  // Data bytes with no status byte before them.
  std::vector<uint8_t> noStatus = MidiFile(0, 96, {MidiTrack({}, 10)});
  noStatus.insert(noStatus.begin() + 22, {0x00, 0x3C, 0x40});
  noStatus[21] += 3;
  EXPECT_NE(Refusal(noStatus).find("without a status byte"), std::string::npos);
  // Slow tempo and long pauses: a file that would play for months.
  const auto slow =
      MidiTrack({{0, TempoEvent(0xFFFFFF)}, {0x0FFFFFFF, Note(0x90, 60)}}, 0x0FFFFFFF);
  EXPECT_NE(Refusal(MidiFile(0, 1, {slow})).find("more than a day"), std::string::npos);
  // A RIFF form without its data chunk.
  std::vector<uint8_t> riff = morvotest::RiffMidi(MidiFile(0, 96, {track}));
  riff.resize(20);
  EXPECT_NE(Refusal(riff).find("RIFF"), std::string::npos);
}

}  // namespace
