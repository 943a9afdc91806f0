// FluidSynth, loaded on the first MIDI source rather than with this library:
// it brings a large tree of libraries (sound servers, glib, libsndfile)
// whose loading every conversion would otherwise pay for at start-up.
// All entry points are resolved at once or the load counts as failed.
//
// Threading: FluidSynthLibrary may be called from any thread; the load
// happens once per process and the library then stays loaded, so the entry
// points are valid for the rest of the process.
#pragma once

#include <fluidsynth.h>

#include <string>

struct TFluidSynthLibrary {
  decltype(&new_fluid_settings) NewSettings = nullptr;
  decltype(&delete_fluid_settings) DeleteSettings = nullptr;
  decltype(&fluid_settings_setint) SetInt = nullptr;
  decltype(&fluid_settings_setnum) SetNum = nullptr;
  decltype(&fluid_settings_setstr) SetStr = nullptr;
  decltype(&new_fluid_synth) NewSynth = nullptr;
  decltype(&delete_fluid_synth) DeleteSynth = nullptr;
  decltype(&fluid_is_soundfont) IsSoundFont = nullptr;
  decltype(&fluid_synth_sfload) LoadSoundFont = nullptr;
  decltype(&fluid_synth_write_float) WriteFloat = nullptr;
  decltype(&fluid_synth_cc) ControlChange = nullptr;
  decltype(&fluid_synth_all_notes_off) AllNotesOff = nullptr;
  decltype(&new_fluid_player) NewPlayer = nullptr;
  decltype(&delete_fluid_player) DeletePlayer = nullptr;
  decltype(&fluid_player_add_mem) PlayerAddMem = nullptr;
  decltype(&fluid_player_play) PlayerPlay = nullptr;
  decltype(&fluid_set_log_function) SetLogFunction = nullptr;
};

// The loaded library, or null with Reason telling why it is not there.
const TFluidSynthLibrary* FluidSynthLibrary(std::string& Reason);
