// The decoder object handed out by the library (IDecoderEx): on Open it
// looks at the source's name and first bytes and gives it to the decoder
// for its kind: cdparanoia for a CD's "TrackNN.cda", FluidSynth for MIDI,
// libmpcdec for Musepack, FFmpeg for everything else. It also answers
// IDecoderFailureInfo with the reason of a failed Open, and IDecoderTags
// with the opened source's metadata.
//
// Threading: Open may run on one thread (the system's main thread) and
// Read/Seek/GetInfo afterwards on another, one thread at a time. Read paces
// its calling thread when a started CPU usage control holds that thread.
// Ownership: created with one reference by the ordinal-2 entry; the caller
// releases it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "uSourceDecoder.h"

class TLxDecoder final : public TComObject<IDecoderEx, IDecoderFailureInfo, IDecoderTags> {
public:
  TLxDecoder() = default;

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;

  int32_t MORVO_STDCALL Open(const char16_t* FileName) override;
  int32_t MORVO_STDCALL Seek(int64_t Position) override;
  int32_t MORVO_STDCALL Reserved1() override { return 0; }
  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Size) override;
  int32_t MORVO_STDCALL GetInfo(TDecoderInfo* Info) override;

  int32_t MORVO_STDCALL GetFailureReason(char16_t* Buffer, int32_t Capacity) override;

  // IDecoderTags: what the opened source's container says about it.
  int32_t MORVO_STDCALL GetTagCount() override;
  int32_t MORVO_STDCALL GetTagText(int32_t Index, int32_t Part, char16_t* Buffer,
                                   int32_t Capacity) override;
  int32_t MORVO_STDCALL GetPicture(void* Buffer, int32_t Capacity) override;

private:
  bool OpenFile(const char16_t* FileName);

  std::unique_ptr<TSourceDecoder> FDecoder;  // set while a source is open
  TDecoderInfo FInfo{};
  std::u16string FReason;                                        // why the last Open failed
  std::vector<std::pair<std::u16string, std::u16string>> FTags;  // of the opened source
  std::vector<uint8_t> FPicture;
  bool FFailed = false;  // a call threw: reads fail until a seek succeeds
};
