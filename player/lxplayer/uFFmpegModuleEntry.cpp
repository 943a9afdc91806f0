// The one entry point of libLxFFmpeg.so, the player library's FFmpeg
// decoding, loaded by the player library on the first source that needs it
// (uFFmpegModule.h).
#include <mutex>
#include <new>

extern "C" {
#include <libavutil/log.h>
}

#include "uFFmpegDecoder.h"
#include "uFFmpegModule.h"

namespace {

// FFmpeg's own messages about damaged input would go to the host's stderr;
// failures reach the host as results instead.
void QuietFFmpegOnce() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

}  // namespace

extern "C" __attribute__((visibility("default"))) TSourceDecoder* LxFFmpegNewDecoder() {
  QuietFFmpegOnce();
  return new (std::nothrow) TFFmpegDecoder();
}
