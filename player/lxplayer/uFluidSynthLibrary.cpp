#include "uFluidSynthLibrary.h"

#include <mutex>

#include "platform/uDynLib.h"

namespace {

// The run-time name of FluidSynth 2.x (its ABI version 3).
constexpr char16_t kLibraryName[] = u"libfluidsynth.so.3";

struct TLoadResult {
  TFluidSynthLibrary Library;
  bool Loaded = false;
  std::string Reason;
};

template <class TEntry>
bool Resolve(platform::TLibHandle Handle, const char* Name, TEntry& Entry, std::string& Reason) {
  Entry = reinterpret_cast<TEntry>(platform::GetProcAddress(Handle, Name));
  if (!Entry && Reason.empty()) Reason = platform::LastLibraryError();
  return Entry != nullptr;
}

TLoadResult Load() {
  TLoadResult result;
  platform::TLibHandle handle = platform::LoadLibraryW(kLibraryName);
  if (!handle) {
    result.Reason =
        "the FluidSynth library cannot be loaded (" + platform::LastLibraryError() + ")";
    return result;
  }
  TFluidSynthLibrary& lib = result.Library;
  std::string missing;
  bool all = Resolve(handle, "new_fluid_settings", lib.NewSettings, missing);
  all &= Resolve(handle, "delete_fluid_settings", lib.DeleteSettings, missing);
  all &= Resolve(handle, "fluid_settings_setint", lib.SetInt, missing);
  all &= Resolve(handle, "fluid_settings_setnum", lib.SetNum, missing);
  all &= Resolve(handle, "fluid_settings_setstr", lib.SetStr, missing);
  all &= Resolve(handle, "new_fluid_synth", lib.NewSynth, missing);
  all &= Resolve(handle, "delete_fluid_synth", lib.DeleteSynth, missing);
  all &= Resolve(handle, "fluid_is_soundfont", lib.IsSoundFont, missing);
  all &= Resolve(handle, "fluid_synth_sfload", lib.LoadSoundFont, missing);
  all &= Resolve(handle, "fluid_synth_write_float", lib.WriteFloat, missing);
  all &= Resolve(handle, "fluid_synth_cc", lib.ControlChange, missing);
  all &= Resolve(handle, "fluid_synth_all_notes_off", lib.AllNotesOff, missing);
  all &= Resolve(handle, "new_fluid_player", lib.NewPlayer, missing);
  all &= Resolve(handle, "delete_fluid_player", lib.DeletePlayer, missing);
  all &= Resolve(handle, "fluid_player_add_mem", lib.PlayerAddMem, missing);
  all &= Resolve(handle, "fluid_player_play", lib.PlayerPlay, missing);
  all &= Resolve(handle, "fluid_set_log_function", lib.SetLogFunction, missing);
  if (!all) {
    platform::FreeLibrary(handle);
    result.Library = TFluidSynthLibrary{};
    result.Reason = "the FluidSynth library lacks an entry point (" + missing + ")";
    return result;
  }
  // FluidSynth's messages would go to the host's terminal; failures reach
  // the host as the decoder's reasons instead.
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
    lib.SetLogFunction(level, nullptr, nullptr);
  result.Loaded = true;
  return result;
}

}  // namespace

const TFluidSynthLibrary* FluidSynthLibrary(std::string& Reason) {
  // The handle is never freed: decoders of other threads may still use the
  // entry points, and FluidSynth keeps process-wide tables of its own.
  static std::once_flag once;
  static TLoadResult result;
  std::call_once(once, [] { result = Load(); });
  if (!result.Loaded) {
    Reason = result.Reason;
    return nullptr;
  }
  return &result.Library;
}
