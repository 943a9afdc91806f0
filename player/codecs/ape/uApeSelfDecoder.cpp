#include "player/codecs/ape/uApeSelfDecoder.h"

#include <cstring>

#include "player/codecs/ape/uApeAvcodec.h"
#include "player/codecs/ape/uApeFormat.h"

namespace ape {

TApeSelfDecoder::~TApeSelfDecoder() {
  if (!FAv) return;
  FAv->FrameFree(&FFrame);
  FAv->PacketFree(&FPacket);
  FAv->FreeContext(&FContext);
}

bool TApeSelfDecoder::Open(int Level, int Bits, int Channels, uint32_t SampleRate) {
  FBits = Bits;
  FChannels = Channels;
  FAv = AvcodecEntries();
  if (!FAv) return false;
  const AVCodec* codec = FAv->FindDecoder(AV_CODEC_ID_APE);
  if (!codec) return false;
  FContext = FAv->AllocContext(codec);
  FPacket = FAv->PacketAlloc();
  FFrame = FAv->FrameAlloc();
  if (!FContext || !FPacket || !FFrame) return false;
  FContext->sample_rate = static_cast<int>(SampleRate);
  FContext->bits_per_coded_sample = Bits;
  FAv->DefaultLayout(&FContext->ch_layout, Channels);
  // What the demuxer hands over: file version, level, format flags.
  FContext->extradata = static_cast<uint8_t*>(FAv->Mallocz(6 + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!FContext->extradata) return false;
  FContext->extradata_size = 6;
  PutLe16(FContext->extradata, kFileVersion);
  PutLe16(FContext->extradata + 2, static_cast<uint32_t>(Level));
  PutLe16(FContext->extradata + 4, kFlagCreateWavHeader);
  return FAv->Open(FContext, codec, nullptr) == 0;
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
  if (FAv->NewPacket(FPacket, static_cast<int>(Stored.size() + 8)) != 0) return false;
  PutLe32(FPacket->data, Blocks);
  PutLe32(FPacket->data + 4, Skip);
  std::memcpy(FPacket->data + 8, Stored.data(), Stored.size());
  const int sent = FAv->SendPacket(FContext, FPacket);
  FAv->PacketUnref(FPacket);
  if (sent != 0) return false;
  for (;;) {
    const int got = FAv->ReceiveFrame(FContext, FFrame);
    if (got == AVERROR(EAGAIN)) break;
    if (got != 0) return false;
    AppendFrame(Channel0, Channel1);
    FAv->FrameUnref(FFrame);
  }
  return Channel0.size() == Blocks;
}

}  // namespace ape
