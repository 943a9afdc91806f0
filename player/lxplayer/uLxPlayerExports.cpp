// Entry points of libLxPlayer.so (the player library's ordinals 1, 2, 3, 6).
// These are the library's only exported symbols.
#include <mutex>
#include <new>

extern "C" {
#include <libavutil/log.h>
}

#include "interfaces/uCodecInterfaces.h"
#include "uCpuUsageControl.h"
#include "uLxDecoder.h"

#define LXPLAYER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// FFmpeg's own messages about damaged input would go to the host's stderr;
// failures reach the host as results instead.
void QuietFFmpegOnce() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

}  // namespace

// Ordinals 1 and 3 must be present for the library to be accepted; the
// system never calls them.
LXPLAYER_EXPORT int32_t LxPlayerOrdinal1() { return 0; }
LXPLAYER_EXPORT int32_t LxPlayerOrdinal3() { return 0; }

// Stores a new decoder (one reference, owned by the caller).
LXPLAYER_EXPORT int32_t LxPlayerOrdinal2(IDecoderEx** Decoder) {
  if (!Decoder) return E_POINTER;
  QuietFFmpegOnce();
  *Decoder = new (std::nothrow) TLxDecoder();
  return *Decoder ? S_OK : E_OUTOFMEMORY;
}

// Stores a new CPU usage control (one reference, owned by the caller).
LXPLAYER_EXPORT int32_t LxPlayerOrdinal6(IThreadCpuUsageControl** Control) {
  if (!Control) return E_POINTER;
  *Control = new (std::nothrow) TThreadCpuUsageControl();
  return *Control ? S_OK : E_OUTOFMEMORY;
}
