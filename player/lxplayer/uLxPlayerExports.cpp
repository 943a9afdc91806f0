// Entry points of libLxPlayer.so (the player library's ordinals 1, 2, 3, 6).
// These are the library's only exported symbols.
#include <new>

#include "interfaces/uCodecInterfaces.h"
#include "uCpuUsageControl.h"
#include "uLxDecoder.h"

#define LXPLAYER_EXPORT extern "C" __attribute__((visibility("default")))

// Ordinals 1 and 3 must be present for the library to be accepted; the
// system never calls them.
LXPLAYER_EXPORT int32_t LxPlayerOrdinal1() { return 0; }
LXPLAYER_EXPORT int32_t LxPlayerOrdinal3() { return 0; }

// Stores a new decoder (one reference, owned by the caller).
LXPLAYER_EXPORT int32_t LxPlayerOrdinal2(IDecoderEx** Decoder) {
  if (!Decoder) return E_POINTER;
  *Decoder = new (std::nothrow) TLxDecoder();
  return *Decoder ? S_OK : E_OUTOFMEMORY;
}

// Stores a new CPU usage control (one reference, owned by the caller).
LXPLAYER_EXPORT int32_t LxPlayerOrdinal6(IThreadCpuUsageControl** Control) {
  if (!Control) return E_POINTER;
  *Control = new (std::nothrow) TThreadCpuUsageControl();
  return *Control ? S_OK : E_OUTOFMEMORY;
}
