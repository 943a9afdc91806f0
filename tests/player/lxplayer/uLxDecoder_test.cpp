// The decoder object's choice by content and its failure reasons.
#include <gtest/gtest.h>

#include "tests/support/uMidiWriter.h"
#include "tests/support/uScopedEnv.h"
#include "uLxPlayerTestSupport.h"

namespace fs = std::filesystem;

namespace {

// The content decides, not the name: a MIDI file named ".wav" is rendered,
// a WAV file named ".mid" decoded by FFmpeg.
TEST(LxDecoder, TheContentChoosesTheDecoderNotTheName) {
  const morvotest::TScopedEnv soundFont("MORVO_SOUNDFONT",
                                        std::string("/usr/share/sounds/sf2/TimGM6mb.sf2"));
  TTempDir dir;
  const fs::path midiAsWav = dir / "song.wav", wavAsMidi = dir / "tone.mid";
  WriteBytes(midiAsWav, morvotest::TTestSong::Type0());
  ASSERT_TRUE(RunCommand(
      "ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -ac 1 -ar 8000 -c:a pcm_s16le -f wav " +
      Quote(wavAsMidi)));
  TComPtr<IDecoderEx> midi(OpenDecoder(midiAsWav));
  ASSERT_TRUE(midi);
  EXPECT_EQ(InfoOf(midi.Get()).SampleRate, 44100);
  EXPECT_EQ(InfoOf(midi.Get()).Bitrate, 1411);
  TComPtr<IDecoderEx> wav(OpenDecoder(wavAsMidi));
  ASSERT_TRUE(wav);
  EXPECT_EQ(InfoOf(wav.Get()).SampleRate, 8000);
  EXPECT_EQ(InfoOf(wav.Get()).Channels, 1);
}

TEST(LxDecoder, FailureReasonsAreCutToTheBufferAndForgottenByTheNextOpen) {
  TTempDir dir;
  const fs::path cut = dir / "cut.mid";
  WriteBytes(cut, std::string("MThd\0\0\0\6\0\2\0\1\0\x60", 14));  // type 2
  TComPtr<IDecoderEx> decoder(NewDecoder());
  TComPtr<IDecoderFailureInfo> info;
  ASSERT_EQ(decoder->QueryInterface(IID_IDecoderFailureInfo, reinterpret_cast<void**>(info.Put())),
            S_OK);
  EXPECT_EQ(info->GetFailureReason(nullptr, 0), 0) << "nothing failed yet";

  EXPECT_EQ(decoder->Open(cut.u16string().c_str()) & 0xFF, 0);
  const std::string whole = FailureReason(decoder.Get());
  ASSERT_GT(whole.size(), 8u);
  char16_t small[6] = {u'x', u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(info->GetFailureReason(small, 5), int32_t(whole.size()));
  EXPECT_EQ(std::u16string(small), std::u16string(whole.begin(), whole.begin() + 4));
  EXPECT_EQ(small[5], u'x') << "nothing written past the capacity";

  // The interfaces are one object.
  TComPtr<IUnknown> a, b;
  decoder->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.Put()));
  info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.Put()));
  EXPECT_EQ(a.Get(), b.Get());

  const fs::path wav = dir / "ok.wav";
  ASSERT_TRUE(
      RunCommand("ffmpeg -v error -y -f lavfi -i sine=duration=0.2 -c:a pcm_s16le " + Quote(wav)));
  EXPECT_NE(decoder->Open(wav.u16string().c_str()) & 0xFF, 0);
  EXPECT_EQ(info->GetFailureReason(nullptr, 0), 0);
}

}  // namespace
