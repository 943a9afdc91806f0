// The player library (LxPlayer.dll, here libLxPlayer.so in the player
// folder) loaded for decoding: export ordinals 1 and 3 must be present,
// ordinal 2 makes decoders. Once loaded the library stays loaded until
// FinalizePlayerLibrary.
// Threading: LoadPlayerLibrary, IsPlayerLibraryAvailable, CreateDecoder and
// FinalizePlayerLibrary run on the main thread only; the decoders they hand
// out may then be used by one other thread at a time.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/uEncodeIntf.h"

// Availability of the player library.
constexpr int32_t plNotTried = 0;
constexpr int32_t plLoaded = 1;
constexpr int32_t plFailed = -1;

// Loads the library and resolves its entries unless already loaded; true
// when the module is loaded. Retries after a failed attempt.
bool LoadPlayerLibrary();
// Attempts a load only while no attempt was made yet; true when loaded.
bool IsPlayerLibraryAvailable();
int32_t PlayerLibraryAvailability();
// Why the last load failed (the loader's text: the file and dlopen's or
// dlsym's reason); empty when it loaded or was never tried. The failure is
// also logged.
std::string PlayerLibraryLoadError();
// Releases what Decoder holds, loads the library when needed and asks it
// for a new decoder; Decoder stays null when there is none. The caller owns
// one reference.
void CreateDecoder(IDecoderEx*& Decoder);

// Program end: logs "uLxPlayerDllExport finalization", unloads the library
// (logging "uLxPlayerDllExport finalization Failed" when that fails) and
// returns the loader to its never-tried state.
void FinalizePlayerLibrary();
