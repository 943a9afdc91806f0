#include "uMidiRenderer.h"

namespace {

constexpr int kMidiChannels = 16;
constexpr int kSustainPedal = 64;
constexpr int kSostenutoPedal = 66;

}  // namespace

std::unique_ptr<TMidiRenderer> TMidiRenderer::Create(const TFluidSynthLibrary& Library,
                                                     const std::string& SoundFont,
                                                     const std::vector<uint8_t>& Smf,
                                                     std::string& Reason) {
  const TFluidSynthLibrary& lib = Library;
  // Checked first: for other files FluidSynth tries further loaders, whose
  // complaints would reach the host's terminal.
  if (!lib.IsSoundFont(SoundFont.c_str())) {
    Reason = "the SoundFont " + SoundFont + " cannot be loaded: it is not a SoundFont file";
    return nullptr;
  }
  std::unique_ptr<TMidiRenderer> renderer(new TMidiRenderer(Library));
  renderer->FSettings = lib.NewSettings();
  fluid_settings_t* settings = renderer->FSettings;
  if (!settings) {
    Reason = "FluidSynth cannot create its settings";
    return nullptr;
  }
  // Settings not named here keep FluidSynth's built-in defaults (reverb and
  // chorus on, gain 0.2), as its command-line renderer has them.
  lib.SetNum(settings, "synth.sample-rate", kSampleRate);
  lib.SetInt(settings, "synth.cpu-cores", 1);
  lib.SetInt(settings, "synth.threadsafe-api", 0);
  lib.SetInt(settings, "synth.lock-memory", 0);
  lib.SetInt(settings, "synth.dynamic-sample-loading", 0);
  lib.SetStr(settings, "player.timing-source", "sample");
  renderer->FSynth = lib.NewSynth(settings);
  if (!renderer->FSynth) {
    Reason = "FluidSynth cannot create a synthesiser";
    return nullptr;
  }
  if (lib.LoadSoundFont(renderer->FSynth, SoundFont.c_str(), 1) == FLUID_FAILED) {
    Reason = "the SoundFont " + SoundFont + " cannot be loaded";
    return nullptr;
  }
  renderer->FPlayer = lib.NewPlayer(renderer->FSynth);
  if (!renderer->FPlayer ||
      lib.PlayerAddMem(renderer->FPlayer, Smf.data(), Smf.size()) != FLUID_OK ||
      lib.PlayerPlay(renderer->FPlayer) != FLUID_OK) {
    Reason = "FluidSynth cannot play the song";
    return nullptr;
  }
  return renderer;
}

TMidiRenderer::~TMidiRenderer() {
  if (FPlayer) FLib.DeletePlayer(FPlayer);
  if (FSynth) FLib.DeleteSynth(FSynth);
  if (FSettings) FLib.DeleteSettings(FSettings);
}

bool TMidiRenderer::Render(float* Out, int Frames) {
  return FLib.WriteFloat(FSynth, Frames, Out, 0, 2, Out, 1, 2) == FLUID_OK;
}

void TMidiRenderer::ReleaseAll() {
  for (int channel = 0; channel < kMidiChannels; ++channel) {
    FLib.ControlChange(FSynth, channel, kSustainPedal, 0);
    FLib.ControlChange(FSynth, channel, kSostenutoPedal, 0);
  }
  FLib.AllNotesOff(FSynth, -1);
}
