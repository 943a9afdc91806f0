// The decoder for Musepack sources (stream versions 7 and 8) through the
// reference decoder library, libmpcdec: it knows the exact sample count and
// the decoder delay that FFmpeg's Musepack support leaves in (a version 8
// file there starts 481 samples late and reports a length rounded to whole
// blocks). Delivers 16-bit PCM, converted from the decoder's floats the way
// the reference tool mpcdec writes them. Threading as TSourceDecoder's.
#pragma once

#include <mpc/mpcdec.h>

#include <string>
#include <vector>

#include "uSourceDecoder.h"

class TMusepackDecoder final : public TSourceDecoder {
public:
  TMusepackDecoder() = default;
  ~TMusepackDecoder() override;
  TMusepackDecoder(const TMusepackDecoder&) = delete;
  TMusepackDecoder& operator=(const TMusepackDecoder&) = delete;

  // "MPCK" (version 8) or "MP+" with version 7 at the start of a file.
  static bool Recognizes(const uint8_t* Head, size_t Count);

  bool OpenFile(const std::string& Path, std::string& Reason) override;
  TDecoderInfo Info() const override { return FInfo; }
  int32_t ReadInto(void* Buffer, int32_t Size) override;
  int32_t SeekTo(int64_t Position) override;

private:
  bool DecodeNextFrame();
  size_t PendingSamples() const { return FPending.size() - FPendingPos; }

  mpc_reader FReader{};
  bool FReaderOpen = false;
  mpc_demux* FDemux = nullptr;
  int FChannels = 0;
  int FSampleRate = 0;
  int64_t FSamples = 0;
  TDecoderInfo FInfo{};
  std::vector<MPC_SAMPLE_FORMAT> FFrame;
  std::vector<int16_t> FPending;  // converted samples not yet handed out
  size_t FPendingPos = 0;
  bool FEnded = false;
  bool FFailed = false;
};
