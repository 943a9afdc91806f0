#include "codecs/uLxPlayerDllExport.h"

#include <cassert>
#include <exception>
#include <string>

#include "codecs/uDataExchange.h"
#include "infra/uLxLog.h"
#include "platform/uDynLib.h"
#include "platform/uThreads.h"

namespace {

struct TPlayerLibrary {
  platform::TLibHandle Module = nullptr;
  int32_t Availability = plNotTried;
  TLxPlayerOrdinalVoid Ordinal1 = nullptr; // required, never called
  TLxPlayerCreateDecoder CreateDecoder = nullptr;
  TLxPlayerOrdinalVoid Ordinal3 = nullptr; // required, never called
};

TPlayerLibrary GPlayer;

template <class T> T Ordinal(int Number) {
  return reinterpret_cast<T>(platform::GetProcAddressByOrdinal(GPlayer.Module, Number));
}

void ForgetModule() {
  GPlayer.Module = nullptr;
  GPlayer.Ordinal1 = nullptr;
  GPlayer.CreateDecoder = nullptr;
  GPlayer.Ordinal3 = nullptr;
}

} // namespace

bool LoadPlayerLibrary() {
  assert(platform::IsMainThread() && "the player library state belongs to the main thread");
  if (GPlayer.Module)
    return true;
  GPlayer.Module = platform::LoadLibraryW(GetPlayerInstallDir() + u"LxPlayer.dll");
  if (GPlayer.Module) {
    GPlayer.Ordinal1 = Ordinal<TLxPlayerOrdinalVoid>(1);
    GPlayer.CreateDecoder = Ordinal<TLxPlayerCreateDecoder>(2);
    GPlayer.Ordinal3 = Ordinal<TLxPlayerOrdinalVoid>(3);
    if (!GPlayer.Ordinal1 || !GPlayer.CreateDecoder || !GPlayer.Ordinal3) {
      platform::FreeLibrary(GPlayer.Module);
      ForgetModule();
    }
  }
  GPlayer.Availability = GPlayer.Module ? plLoaded : plFailed;
  return GPlayer.Module != nullptr;
}

bool IsPlayerLibraryAvailable() {
  if (GPlayer.Availability == plNotTried)
    LoadPlayerLibrary();
  return GPlayer.Availability == plLoaded;
}

int32_t PlayerLibraryAvailability() {
  return GPlayer.Availability;
}

void CreateDecoder(IDecoderEx*& Decoder) {
  if (Decoder)
    Decoder->Release();
  Decoder = nullptr;
  LoadPlayerLibrary();
  if (GPlayer.CreateDecoder)
    GPlayer.CreateDecoder(&Decoder);
}

void FinalizePlayerLibrary() {
  WriteLog(u"uLxPlayerDllExport finalization");
  try {
    const bool unloaded = !GPlayer.Module || platform::FreeLibrary(GPlayer.Module);
    ForgetModule();
    GPlayer.Availability = plNotTried;
    if (!unloaded)
      WriteLog(u"uLxPlayerDllExport finalization Failed");
  } catch (const std::exception&) {
    WriteLog(u"uLxPlayerDllExport finalization Failed");
  }
}
