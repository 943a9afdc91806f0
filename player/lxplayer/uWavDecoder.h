// Plain PCM WAVE files read directly, without FFmpeg: RIFF, RF64 and BW64
// files of 8-bit unsigned or 16-, 24- or 32-bit signed integer PCM in one
// or two channels, whose "data" chunk the file holds whole. The payload's
// bytes are exactly the PCM this library hands out for them (see
// uPcmLayout.h), so such a file needs no decoding library at all. Every
// other WAVE file (compressed, float, more channels, a header that promises
// more than the file holds, a size never set) is left to FFmpeg, which
// reports such files the way the engine expects.
// Threading as TSourceDecoder's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "uSourceDecoder.h"

class TWavDecoder final : public TSourceDecoder {
public:
  // Whether the first bytes of a file are those of a WAVE file.
  static bool LooksLikeWave(const uint8_t* Head, size_t Count);

  // False, with nothing open, for any file that is not plain PCM as above:
  // FFmpeg then gets it.
  bool OpenFile(const std::string& Path, std::string& Reason) override;
  TDecoderInfo Info() const override { return FInfo; }
  int32_t ReadInto(void* Buffer, int32_t Size) override;
  int32_t SeekTo(int64_t Position) override;

private:
  std::ifstream FFile;
  TDecoderInfo FInfo{};
  uint64_t FDataOffset = 0;
  uint32_t FBlockAlign = 0;
  int64_t FFrames = 0;
  int64_t FNextFrame = 0;
  bool FFailed = false;
};
