#include "uFFmpegModule.h"

#include <mutex>

#include "platform/uDynLib.h"

namespace {

constexpr char kModuleName[] = "LxFFmpeg.dll";

struct TModule {
  TLxFFmpegNewDecoder NewDecoder = nullptr;
  std::string Reason;
};

TModule Load() {
  TModule module;
  // Beside this library first, wherever it was installed, then wherever
  // the system's loader finds it.
  platform::TLibHandle handle = nullptr;
  const std::string folder = platform::LibraryFolderOf(kModuleName);
  if (!folder.empty())
    handle = platform::LoadLibraryA(folder + platform::NativeLibraryName(kModuleName));
  if (!handle) handle = platform::LoadLibraryA(kModuleName);
  if (!handle) {
    module.Reason =
        "the FFmpeg decoding module cannot be loaded (" + platform::LastLibraryError() + ")";
    return module;
  }
  module.NewDecoder = reinterpret_cast<TLxFFmpegNewDecoder>(
      platform::GetProcAddress(handle, kLxFFmpegNewDecoderName));
  if (!module.NewDecoder)
    module.Reason =
        "the FFmpeg decoding module lacks its entry point (" + platform::LastLibraryError() + ")";
  return module;
}

}  // namespace

std::unique_ptr<TSourceDecoder> NewFFmpegDecoder(std::string& Reason) {
  // Never unloaded: decoders of other threads may still run its code, and
  // FFmpeg keeps process-wide state of its own.
  static std::once_flag once;
  static TModule module;
  std::call_once(once, [] { module = Load(); });
  if (!module.NewDecoder) {
    Reason = module.Reason;
    return nullptr;
  }
  std::unique_ptr<TSourceDecoder> decoder(module.NewDecoder());
  if (!decoder) Reason = "out of memory";
  return decoder;
}
