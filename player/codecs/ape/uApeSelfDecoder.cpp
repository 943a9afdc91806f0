#include "player/codecs/ape/uApeSelfDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <cstring>

#include "player/codecs/ape/uApeFormat.h"

namespace ape {

TApeSelfDecoder::~TApeSelfDecoder() {
  av_frame_free(&FFrame);
  av_packet_free(&FPacket);
  avcodec_free_context(&FContext);
}

bool TApeSelfDecoder::Open(int Level, int Bits, int Channels, uint32_t SampleRate) {
  FBits = Bits;
  FChannels = Channels;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_APE);
  if (!codec) return false;
  FContext = avcodec_alloc_context3(codec);
  FPacket = av_packet_alloc();
  FFrame = av_frame_alloc();
  if (!FContext || !FPacket || !FFrame) return false;
  FContext->sample_rate = static_cast<int>(SampleRate);
  FContext->bits_per_coded_sample = Bits;
  av_channel_layout_default(&FContext->ch_layout, Channels);
  // What the demuxer hands over: file version, level, format flags.
  FContext->extradata = static_cast<uint8_t*>(av_mallocz(6 + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!FContext->extradata) return false;
  FContext->extradata_size = 6;
  PutLe16(FContext->extradata, kFileVersion);
  PutLe16(FContext->extradata + 2, static_cast<uint32_t>(Level));
  PutLe16(FContext->extradata + 4, kFlagCreateWavHeader);
  return avcodec_open2(FContext, codec, nullptr) == 0;
}

// The decoder hands out planes of unsigned 8, signed 16 or signed 32 bits.
int32_t TApeSelfDecoder::Sample(int Channel, int Index) const {
  const uint8_t* plane = FFrame->extended_data[Channel];
  if (FBits == 8) return int32_t{plane[Index]} - 128;
  if (FBits == 16) {
    int16_t v;
    std::memcpy(&v, plane + 2 * Index, 2);
    return v;
  }
  int32_t v;
  std::memcpy(&v, plane + 4 * Index, 4);
  return v >> 8;  // 24-bit samples come back scaled to 32 bits
}

void TApeSelfDecoder::AppendFrame(std::vector<int32_t>& Channel0, std::vector<int32_t>& Channel1) {
  for (int c = 0; c < FChannels; ++c) {
    std::vector<int32_t>& out = c == 0 ? Channel0 : Channel1;
    for (int i = 0; i < FFrame->nb_samples; ++i)
      out.push_back(Sample(c, i));
  }
}

bool TApeSelfDecoder::DecodeFrame(const std::vector<uint8_t>& Stored, uint32_t Skip,
                                  uint32_t Blocks, std::vector<int32_t>& Channel0,
                                  std::vector<int32_t>& Channel1) {
  Channel0.clear();
  Channel1.clear();
  // The demuxer's packet: block count, skip, then the frame's words.
  if (av_new_packet(FPacket, static_cast<int>(Stored.size() + 8)) != 0) return false;
  PutLe32(FPacket->data, Blocks);
  PutLe32(FPacket->data + 4, Skip);
  std::memcpy(FPacket->data + 8, Stored.data(), Stored.size());
  const int sent = avcodec_send_packet(FContext, FPacket);
  av_packet_unref(FPacket);
  if (sent != 0) return false;
  for (;;) {
    const int got = avcodec_receive_frame(FContext, FFrame);
    if (got == AVERROR(EAGAIN)) break;
    if (got != 0) return false;
    AppendFrame(Channel0, Channel1);
    av_frame_unref(FFrame);
  }
  return Channel0.size() == Blocks;
}

}  // namespace ape
