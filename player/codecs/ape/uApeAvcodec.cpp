#include "player/codecs/ape/uApeAvcodec.h"

#include <mutex>
#include <string>

#include "platform/uDynLib.h"

namespace ape {
namespace {

std::string SoName(const char* Stem, int Major) {
  return std::string(Stem) + ".so." + std::to_string(Major);
}

template <class TEntry>
bool Resolve(platform::TLibHandle Library, const char* Name, TEntry& Entry) {
  Entry = reinterpret_cast<TEntry>(platform::GetProcAddress(Library, Name));
  return Entry != nullptr;
}

bool Load(TAvcodecEntries& E) {
  platform::TLibHandle util = platform::LoadLibraryA(SoName("libavutil", LIBAVUTIL_VERSION_MAJOR));
  platform::TLibHandle codec =
      platform::LoadLibraryA(SoName("libavcodec", LIBAVCODEC_VERSION_MAJOR));
  if (!util || !codec) return false;
  bool all = Resolve(codec, "avcodec_find_decoder", E.FindDecoder);
  all &= Resolve(codec, "avcodec_alloc_context3", E.AllocContext);
  all &= Resolve(codec, "avcodec_open2", E.Open);
  all &= Resolve(codec, "avcodec_free_context", E.FreeContext);
  all &= Resolve(codec, "avcodec_send_packet", E.SendPacket);
  all &= Resolve(codec, "avcodec_receive_frame", E.ReceiveFrame);
  all &= Resolve(codec, "av_packet_alloc", E.PacketAlloc);
  all &= Resolve(codec, "av_new_packet", E.NewPacket);
  all &= Resolve(codec, "av_packet_unref", E.PacketUnref);
  all &= Resolve(codec, "av_packet_free", E.PacketFree);
  all &= Resolve(util, "av_frame_alloc", E.FrameAlloc);
  all &= Resolve(util, "av_frame_unref", E.FrameUnref);
  all &= Resolve(util, "av_frame_free", E.FrameFree);
  all &= Resolve(util, "av_channel_layout_default", E.DefaultLayout);
  all &= Resolve(util, "av_mallocz", E.Mallocz);
  return all;
}

}  // namespace

const TAvcodecEntries* AvcodecEntries() {
  static std::once_flag once;
  static TAvcodecEntries entries;
  static bool loaded = false;
  std::call_once(once, [] { loaded = Load(entries); });
  return loaded ? &entries : nullptr;
}

}  // namespace ape
