// One rendering of a song by FluidSynth, from its start, as 44.1 kHz stereo
// floats. Every setting that shapes the sound is fixed here and nothing is
// read from the user's FluidSynth configuration; the synthesiser runs on the
// calling thread only and its player is timed by the samples rendered, so
// the same song and SoundFont always give the same samples.
//
// Threading: made on one thread, then used by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uFluidSynthLibrary.h"

class TMidiRenderer {
public:
  static constexpr int kSampleRate = 44100;

  // Sets up a synthesiser with SoundFont and starts playing Smf (a Standard
  // MIDI File's bytes). Null with Reason when that fails.
  static std::unique_ptr<TMidiRenderer> Create(const TFluidSynthLibrary& Library,
                                               const std::string& SoundFont,
                                               const std::vector<uint8_t>& Smf,
                                               std::string& Reason);
  ~TMidiRenderer();
  TMidiRenderer(const TMidiRenderer&) = delete;
  TMidiRenderer& operator=(const TMidiRenderer&) = delete;

  // The next Frames stereo frames, interleaved, full scale at +-1.0.
  bool Render(float* Out, int Frames);
  // The song is over: pedals up and every held note released, so that
  // what follows is only the notes' release and the reverb's decay.
  void ReleaseAll();

private:
  explicit TMidiRenderer(const TFluidSynthLibrary& Library) : FLib(Library) {}

  const TFluidSynthLibrary& FLib;
  fluid_settings_t* FSettings = nullptr;
  fluid_synth_t* FSynth = nullptr;
  fluid_player_t* FPlayer = nullptr;
};
