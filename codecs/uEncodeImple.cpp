#include "codecs/uEncodeImple.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

namespace {

// ---------------------------------------------------------------------------
// Sample conversion

template <int Bits> int64_t ReadSample(const uint8_t* p) {
  if constexpr (Bits == 8) {
    return int64_t(p[0]) - 128;
  } else if constexpr (Bits == 16) {
    return int16_t(uint16_t(p[0] | (p[1] << 8)));
  } else if constexpr (Bits == 24) {
    return int64_t(p[0]) + int64_t(p[1]) * 256 + int64_t(int8_t(p[2])) * 65536;
  } else {
    return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                   (uint32_t(p[3]) << 24));
  }
}

template <int Bits> constexpr int64_t MinValue() { return -(int64_t(1) << (Bits - 1)); }

template <int Bits> constexpr int64_t MaxValue() { return (int64_t(1) << (Bits - 1)) - 1; }

// The 32-bit lower limit is symmetric to the upper one on purpose.
constexpr int64_t Lowest32 = -MaxValue<32>();

template <int Bits> void WriteSample(uint8_t* p, int64_t Value) {
  if constexpr (Bits == 8) {
    p[0] = uint8_t(Value + 128);
  } else {
    const uint32_t u = uint32_t(int32_t(Value));
    for (int i = 0; i < Bits / 8; ++i)
      p[i] = uint8_t(u >> (8 * i));
  }
}

// Widening multiplies; narrowing divides with the quotient truncated toward
// zero (C++ division), which differs from an arithmetic shift for negative
// samples (-1 / 256 is 0, not -1).
template <int SourceBits, int DestBits> constexpr int64_t Scale(int64_t Sample) {
  constexpr int Shift = DestBits > SourceBits ? DestBits - SourceBits : SourceBits - DestBits;
  constexpr int64_t Factor = int64_t(1) << Shift;
  return DestBits > SourceBits ? Sample * Factor : Sample / Factor;
}

template <int SourceBits, int DestBits>
void ConvertPair(const uint8_t* Source, uint8_t* Dest, size_t Count) {
  // Scaling keeps every sample inside the destination's range, so the only
  // clamp left per sample is the symmetric 32-bit lower limit.
  static_assert(Scale<SourceBits, DestBits>(MinValue<SourceBits>()) >= MinValue<DestBits>() &&
                Scale<SourceBits, DestBits>(MaxValue<SourceBits>()) <= MaxValue<DestBits>());
  for (size_t i = 0; i < Count; ++i) {
    int64_t v = Scale<SourceBits, DestBits>(ReadSample<SourceBits>(Source + i * (SourceBits / 8)));
    if constexpr (DestBits == 32) v = v < Lowest32 ? Lowest32 : v;
    WriteSample<DestBits>(Dest + i * (DestBits / 8), v);
  }
}

// Calls Action(std::integral_constant<int, Bits>) for a supported sample
// width, so that each width pair gets its own compiled loop.
template <class TAction> void WithSampleWidth(int32_t Bits, TAction&& Action) {
  switch (Bits) {
  case 8:
    Action(std::integral_constant<int, 8>());
    break;
  case 16:
    Action(std::integral_constant<int, 16>());
    break;
  case 24:
    Action(std::integral_constant<int, 24>());
    break;
  case 32:
    Action(std::integral_constant<int, 32>());
    break;
  default:
    break;
  }
}

void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = uint8_t(v >> (8 * i));
}

}  // namespace

bool IsSupportedSampleWidth(int32_t Bits) {
  return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

void ConvertSampleFormat(const void* Source, void* Dest, int32_t ByteCount, int32_t DestBits,
                         int32_t SourceBits) {
  if (SourceBits == DestBits || !IsSupportedSampleWidth(SourceBits) ||
      !IsSupportedSampleWidth(DestBits))
    return;
  if (ByteCount <= 0) return;
  const size_t count = size_t(ByteCount) / size_t(SourceBits / 8);
  const auto* src = static_cast<const uint8_t*>(Source);
  auto* dst = static_cast<uint8_t*>(Dest);
  WithSampleWidth(SourceBits, [&](auto From) {
    WithSampleWidth(DestBits, [&](auto To) {
      ConvertPair<decltype(From)::value, decltype(To)::value>(src, dst, count);
    });
  });
}

// ---------------------------------------------------------------------------
// TWavEncoder

TWavEncoder::~TWavEncoder() {
  if (FCallback) FCallback->Release();
}

HRESULT MORVO_STDCALL TWavEncoder::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IWavEncoderParam) return Answer<IWavEncoderParam>(obj);
  if (iid == IID_IEncoder) return Answer<IEncoder>(obj);
  return Refuse(obj);
}

void MORVO_STDCALL TWavEncoder::SetOutputBits(int32_t Choice, int32_t FallbackBits) {
  switch (Choice) {
  case 1:
    FOutputBits = 8;
    break;
  case 2:
    FOutputBits = 16;
    break;
  case 3:
    FOutputBits = 24;
    break;
  case 4:
    FOutputBits = 32;
    break;
  default:
    FOutputBits = FallbackBits;
    break;
  }
}

int32_t MORVO_STDCALL TWavEncoder::Init(IEncoderCallback* Callback, const WAVEFORMATEX* Format) {
  if (Callback) Callback->AddRef();
  if (FCallback) FCallback->Release();
  FCallback = Callback;
  if (Format) std::memcpy(&FFormat, Format, sizeof(FFormat));
  if (!FCallback) return -1;
  // Placeholder; Finish seeks back and writes the real header over it.
  if (!FitsInRiff(HeaderSize)) return -1;
  FCallback->Write(FHeader, HeaderSize);
  FBytesWritten += HeaderSize;
  return 0;
}

bool TWavEncoder::FitsInRiff(uint64_t Count) const {
  return uint64_t(FBytesWritten) + Count <= std::numeric_limits<uint32_t>::max();
}

int32_t TWavEncoder::WriteOut(const void* Buffer, uint32_t Count) {
  // Sizes that wrapped would make a corrupt file; refuse the block instead
  // so that Finish still describes the data actually written.
  if (!FitsInRiff(Count)) return -1;
  FCallback->Write(Buffer, int32_t(Count));
  FBytesWritten += Count;
  return 0;
}

int32_t MORVO_STDCALL TWavEncoder::Encode(const void* Buffer, int32_t ByteCount) {
  if (!FCallback) return -1;
  if (ByteCount < 0 || (!Buffer && ByteCount > 0)) return -1;
  const int32_t inBits = FFormat.wBitsPerSample;
  if (FOutputBits == inBits) return WriteOut(Buffer, uint32_t(ByteCount));
  // Only the four widths can be converted; anything else would put samples
  // on disk that do not match the header.
  if (!IsSupportedSampleWidth(inBits) || !IsSupportedSampleWidth(FOutputBits)) return -1;
  const uint64_t outCount = uint64_t(ByteCount / (inBits / 8)) * uint64_t(FOutputBits / 8);
  if (!FitsInRiff(outCount) || outCount > uint64_t(std::numeric_limits<int32_t>::max())) return -1;
  try {
    if (FScratch.size() < outCount) FScratch.resize(outCount);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  ConvertSampleFormat(Buffer, FScratch.data(), ByteCount, FOutputBits, inBits);
  return WriteOut(FScratch.data(), uint32_t(outCount));
}

void TWavEncoder::FillHeader() {
  std::memset(FHeader, 0, sizeof(FHeader));
  const uint16_t channels = FFormat.nChannels;
  const uint32_t rate = FFormat.nSamplesPerSec;
  const auto blockAlign = uint16_t(std::lround(double(FOutputBits) * channels / 8.0));
  std::memcpy(FHeader + 0, "RIFF", 4);
  PutLE32(FHeader + 4, FBytesWritten - 8);
  std::memcpy(FHeader + 8, "WAVE", 4);
  std::memcpy(FHeader + 12, "fmt ", 4);
  PutLE32(FHeader + 16, 16);
  PutLE16(FHeader + 20, WAVE_FORMAT_PCM);
  PutLE16(FHeader + 22, channels);
  PutLE32(FHeader + 24, rate);
  PutLE32(FHeader + 28, uint32_t(blockAlign) * rate);
  PutLE16(FHeader + 32, blockAlign);
  PutLE16(FHeader + 34, uint16_t(FOutputBits));
  std::memcpy(FHeader + 36, "data", 4);
  PutLE32(FHeader + 40, FBytesWritten - HeaderSize);
}

int32_t MORVO_STDCALL TWavEncoder::Finish() {
  if (!FCallback) return -1;
  FillHeader();
  FCallback->Seek(0, 0, nullptr);
  FCallback->Write(FHeader, HeaderSize);
  return 0;
}

IEncoder* CreateWavEncoder() { return static_cast<IEncoder*>(new TWavEncoder); }
