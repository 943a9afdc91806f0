// Decodes frames that this encoder wrote, with FFmpeg's APE decoder
// (libavcodec, loaded on first use: uApeAvcodec.h), back to the samples of each channel. Used when
// a file has to be encoded again at another level (see TApeDecoderCompat): the encoder keeps no PCM
// of earlier frames. Not thread-safe; one object per file.
#pragma once

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace ape {
struct TAvcodecEntries;
}

namespace ape {

class TApeSelfDecoder {
public:
  TApeSelfDecoder() = default;
  TApeSelfDecoder(const TApeSelfDecoder&) = delete;
  TApeSelfDecoder& operator=(const TApeSelfDecoder&) = delete;
  ~TApeSelfDecoder();

  bool Open(int Level, int Bits, int Channels, uint32_t SampleRate);
  // Stored: the frame's whole words as stored; Skip: its offset inside
  // the first word. Channel0/Channel1 (empty for mono) receive the
  // frame's signed samples of the stored width.
  bool DecodeFrame(const std::vector<uint8_t>& Stored, uint32_t Skip, uint32_t Blocks,
                   std::vector<int32_t>& Channel0, std::vector<int32_t>& Channel1);

private:
  int32_t Sample(int Channel, int Index) const;
  void AppendFrame(std::vector<int32_t>& Channel0, std::vector<int32_t>& Channel1);

  const TAvcodecEntries* FAv = nullptr;
  AVCodecContext* FContext = nullptr;
  AVPacket* FPacket = nullptr;
  AVFrame* FFrame = nullptr;
  int FBits = 16;
  int FChannels = 2;
};

}  // namespace ape
