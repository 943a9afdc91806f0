// The system's own WAV encoder and the PCM sample-width conversion it uses.
//
// TWavEncoder writes a RIFF/WAVE file (44-byte header, then the samples)
// through the IEncoderCallback given to Init; it never opens a file itself.
// Threading: one worker thread drives an encoder at a time; the reference
// count is atomic. Ownership: CreateWavEncoder hands out one reference; the
// encoder holds one reference to its callback until it is destroyed or
// re-initialised.
#pragma once

#include <cstdint>
#include <vector>

#include "codecs/uEncodeIntf.h"

// Converts the whole samples of ByteCount source bytes (SourceBits wide) to
// DestBits wide samples in Dest, which must hold
// (ByteCount / (SourceBits / 8)) * (DestBits / 8) bytes. Trailing bytes that
// do not make a whole sample are ignored. Nothing is written when the widths
// are equal or either is not 8, 16, 24 or 32. Thread-safe.
void ConvertSampleFormat(const void* Source, void* Dest, int32_t ByteCount, int32_t DestBits,
                         int32_t SourceBits);

// True for the sample widths ConvertSampleFormat handles.
bool IsSupportedSampleWidth(int32_t Bits);

class TWavEncoder final : public TComObject<IWavEncoderParam, IEncoder> {
public:
  static constexpr uint32_t HeaderSize = 44;

  TWavEncoder() = default;

  // IUnknown (shared by both interfaces)
  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;

  // IWavEncoderParam
  void MORVO_STDCALL SetOutputBits(int32_t Choice, int32_t FallbackBits) override;

  // IEncoder
  int32_t MORVO_STDCALL Init(IEncoderCallback* Callback, const WAVEFORMATEX* Format) override;
  int32_t MORVO_STDCALL Encode(const void* Buffer, int32_t ByteCount) override;
  int32_t MORVO_STDCALL Finish() override;
  int32_t MORVO_STDCALL Reserved1(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved2(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved3(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved4(int32_t, int32_t) override { return 0; }

private:
  ~TWavEncoder() override;

  // False when Count more bytes would no longer fit the 32-bit RIFF sizes.
  bool FitsInRiff(uint64_t Count) const;
  int32_t WriteOut(const void* Buffer, uint32_t Count);
  void FillHeader();

  IEncoderCallback* FCallback = nullptr;
  uint8_t FHeader[HeaderSize] = {};
  int32_t FOutputBits = 16;
  uint32_t FBytesWritten = 0;
  WAVEFORMATEX FFormat{};
  // Converted samples of the current block; kept so that the conversion
  // does not allocate for every block.
  std::vector<uint8_t> FScratch;
};

// A new TWavEncoder (one reference, owned by the caller).
IEncoder* CreateWavEncoder();
