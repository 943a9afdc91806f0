// The decoder for MIDI sources (Standard MIDI Files of type 0 and 1, also
// wrapped in RIFF "RMID"): FluidSynth renders them with a General MIDI
// SoundFont (uSoundFont.h) as 16-bit 44.1 kHz stereo.
//
// The PCM is the song, as long as its tempo map says, followed by a fixed
// release tail in which held notes are let go and the reverb dies away; its
// length is known exactly at Open. A seek renders from the start again and
// drops the samples before the target, so it lands on the very sample a
// reading from the start would give.
// Threading as TSourceDecoder's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uMidiRenderer.h"
#include "uSourceDecoder.h"

class TMidiDecoder final : public TSourceDecoder {
public:
  static constexpr int64_t kReleaseTailFrames = 2 * TMidiRenderer::kSampleRate;

  bool OpenFile(const std::string& Path, std::string& Reason) override;
  TDecoderInfo Info() const override;
  int32_t ReadInto(void* Buffer, int32_t Size) override;
  int32_t SeekTo(int64_t Position) override;

private:
  bool Restart(std::string& Reason);
  // Renders the next Frames frames as 16-bit samples into Out, or drops
  // them when Out is null.
  bool Render(int16_t* Out, int64_t Frames);

  const TFluidSynthLibrary* FLibrary = nullptr;
  std::string FSoundFont;
  std::vector<uint8_t> FSmf;
  std::unique_ptr<TMidiRenderer> FRenderer;
  int64_t FSongFrames = 0;  // where the song ends and the tail begins
  int64_t FTotalFrames = 0;
  int64_t FPosition = 0;  // frames rendered by FRenderer so far
  std::vector<float> FScratch;
};
