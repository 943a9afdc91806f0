// The decoder object handed out by the library (IDecoderEx): any source
// FFmpeg can decode, delivered as the integer PCM described in uPcmLayout.h.
//
// Threading: Open may run on one thread (the system's main thread) and
// Read/Seek/GetInfo afterwards on another, one thread at a time. Read paces
// its calling thread when a started CPU usage control holds that thread.
// Ownership: created with one reference by the ordinal-2 entry; the caller
// releases it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "uDecoderSource.h"
#include "uPcmLayout.h"

class TFFmpegDecoder final : public TComObject<IDecoderEx> {
public:
  TFFmpegDecoder();
  ~TFFmpegDecoder() override;

  int32_t MORVO_STDCALL Open(const char16_t* FileName) override;
  int32_t MORVO_STDCALL Seek(int64_t Position) override;
  int32_t MORVO_STDCALL Reserved1() override { return 0; }
  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Size) override;
  int32_t MORVO_STDCALL GetInfo(TDecoderInfo* Info) override;

private:
  bool OpenFile(const char16_t* FileName);
  int32_t ReadInto(void* Buffer, int32_t Size);
  int32_t SeekTo(int64_t Position);
  void Close();
  bool OpenSource();
  bool DecodeNextFrame();
  bool AcceptFrame();
  void SeekByDecodingFromStart(int64_t Target, bool SkipPackets);
  bool ReopenSource();
  size_t PendingBytes() const { return FPending.size() - FPendingPos; }

  std::string FPath;
  std::unique_ptr<TDecoderSource> FSource;
  std::unique_ptr<TPcmConverter> FConverter;
  AVFrame* FFrame = nullptr;
  TPcmLayout FLayout;
  TDecoderInfo FInfo{};
  std::vector<uint8_t> FPending;  // converted PCM not yet handed out
  size_t FPendingPos = 0;
  int64_t FEndSample = -1;  // where the container ends the source, if it says
  int64_t FNextSample = 0;  // source position of the next decoded frame
  int64_t FTargetSample = -1;  // after a seek: samples before it are dropped
  bool FPlaceByStamps = false;  // while dropping: frame positions from stamps
  bool FEnded = false;
  bool FFailed = false;
};
