// The few entry points of FFmpeg's libavcodec and libavutil that
// TApeSelfDecoder uses, loaded on its first use only: encoding again at
// another level is rare, and FFmpeg's libraries take longer to load than a
// short conversion takes to run. The libraries are the ones this library
// was built against (their major versions); once loaded they stay loaded.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

namespace ape {

struct TAvcodecEntries {
  decltype(&avcodec_find_decoder) FindDecoder = nullptr;
  decltype(&avcodec_alloc_context3) AllocContext = nullptr;
  decltype(&avcodec_open2) Open = nullptr;
  decltype(&avcodec_free_context) FreeContext = nullptr;
  decltype(&avcodec_send_packet) SendPacket = nullptr;
  decltype(&avcodec_receive_frame) ReceiveFrame = nullptr;
  decltype(&av_packet_alloc) PacketAlloc = nullptr;
  decltype(&av_new_packet) NewPacket = nullptr;
  decltype(&av_packet_unref) PacketUnref = nullptr;
  decltype(&av_packet_free) PacketFree = nullptr;
  decltype(&av_frame_alloc) FrameAlloc = nullptr;
  decltype(&av_frame_unref) FrameUnref = nullptr;
  decltype(&av_frame_free) FrameFree = nullptr;
  decltype(&av_channel_layout_default) DefaultLayout = nullptr;
  decltype(&av_mallocz) Mallocz = nullptr;
};

// Any thread. The entry points, or null when the libraries or one of their
// entries cannot be found.
const TAvcodecEntries* AvcodecEntries();

}  // namespace ape
