// Decodes frames that this encoder wrote, with FFmpeg's APE decoder
// (libavcodec), back to PCM bytes in WAV layout. Used when a file has to be
// encoded again at another level (see TApeDecoderCompat): the encoder keeps
// no PCM of earlier frames. Not thread-safe; one object per file.
#pragma once

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVPacket;
struct AVFrame;

namespace ape {

class TApeSelfDecoder {
public:
  TApeSelfDecoder() = default;
  TApeSelfDecoder(const TApeSelfDecoder&) = delete;
  TApeSelfDecoder& operator=(const TApeSelfDecoder&) = delete;
  ~TApeSelfDecoder();

  bool Open(int Level, int Bits, int Channels, uint32_t SampleRate);
  // Stored: the frame's whole words as stored; Skip: its offset inside
  // the first word. Appends the PCM (WAV layout) to Pcm.
  bool DecodeFrame(const std::vector<uint8_t>& Stored, uint32_t Skip, uint32_t Blocks,
                   std::vector<uint8_t>& Pcm);

private:
  bool AppendFrame(std::vector<uint8_t>& Pcm);

  AVCodecContext* FContext = nullptr;
  AVPacket* FPacket = nullptr;
  AVFrame* FFrame = nullptr;
  int FBits = 16;
  int FChannels = 2;
};

} // namespace ape
