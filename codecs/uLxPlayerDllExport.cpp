#include "codecs/uLxPlayerDllExport.h"

#include <cassert>
#include <exception>
#include <string>

#include "codecs/uDataExchange.h"
#include "infra/uLxLog.h"
#include "platform/uCodePage.h"
#include "platform/uDynLib.h"
#include "platform/uThreads.h"

namespace {

struct TPlayerLibrary {
  platform::TLibHandle Module = nullptr;
  int32_t Availability = plNotTried;
  TLxPlayerCreateDecoder CreateDecoder = nullptr;
  std::string LoadError;  // why the last load failed; empty once loaded
};

TPlayerLibrary GPlayer;

void* Ordinal(int Number) { return platform::GetProcAddressByOrdinal(GPlayer.Module, Number); }

void ForgetModule() {
  GPlayer.Module = nullptr;
  GPlayer.CreateDecoder = nullptr;
}

}  // namespace

bool LoadPlayerLibrary() {
  assert(platform::IsMainThread() && "the player library state belongs to the main thread");
  if (GPlayer.Module) return true;
  GPlayer.Module = platform::LoadLibraryW(GetPlayerInstallDir() + u"LxPlayer.dll");
  if (GPlayer.Module) {
    GPlayer.CreateDecoder = reinterpret_cast<TLxPlayerCreateDecoder>(Ordinal(2));
    // Ordinals 1 and 3 are never called, but a library without them is not
    // the player's.
    if (!Ordinal(1) || !GPlayer.CreateDecoder || !Ordinal(3)) {
      GPlayer.LoadError = platform::LastLibraryError();
      platform::FreeLibrary(GPlayer.Module);
      ForgetModule();
    }
  } else {
    GPlayer.LoadError = platform::LastLibraryError();
  }
  GPlayer.Availability = GPlayer.Module ? plLoaded : plFailed;
  if (GPlayer.Module)
    GPlayer.LoadError.clear();
  else
    WriteLog(u"Loading LxPlayer.dll failed: " + platform::Utf8ToWide(GPlayer.LoadError));
  return GPlayer.Module != nullptr;
}

bool IsPlayerLibraryAvailable() {
  if (GPlayer.Availability == plNotTried) LoadPlayerLibrary();
  return GPlayer.Availability == plLoaded;
}

std::string PlayerLibraryLoadError() { return GPlayer.LoadError; }

int32_t PlayerLibraryAvailability() { return GPlayer.Availability; }

void CreateDecoder(IDecoderEx*& Decoder) {
  if (Decoder) Decoder->Release();
  Decoder = nullptr;
  LoadPlayerLibrary();
  if (GPlayer.CreateDecoder) GPlayer.CreateDecoder(&Decoder);
}

void FinalizePlayerLibrary() {
  WriteLog(u"uLxPlayerDllExport finalization");
  try {
    const bool unloaded = !GPlayer.Module || platform::FreeLibrary(GPlayer.Module);
    ForgetModule();
    GPlayer.Availability = plNotTried;
    if (!unloaded) WriteLog(u"uLxPlayerDllExport finalization Failed");
  } catch (const std::exception&) {
    WriteLog(u"uLxPlayerDllExport finalization Failed");
  }
}
