#include "player/codecs/uPcmSamples.h"

#include <cstring>

bool IsSupportedPcmWidth(int Bits) { return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32; }

namespace {

void Unpack8(const uint8_t* Source, size_t Count, int32_t* Dest) {
  for (size_t i = 0; i < Count; ++i) Dest[i] = int32_t(Source[i]) - 128;
}

void Unpack16(const uint8_t* Source, size_t Count, int32_t* Dest) {
  for (size_t i = 0; i < Count; ++i) {
    const uint8_t* p = Source + 2 * i;
    Dest[i] = int16_t(uint16_t(p[0] | (p[1] << 8)));
  }
}

void Unpack24(const uint8_t* Source, size_t Count, int32_t* Dest) {
  for (size_t i = 0; i < Count; ++i) {
    const uint8_t* p = Source + 3 * i;
    // Place the three bytes in the top of a 32-bit word, then shift back
    // arithmetically to extend the sign.
    const uint32_t top = (uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24);
    Dest[i] = int32_t(top) >> 8;
  }
}

void Unpack32(const uint8_t* Source, size_t Count, int32_t* Dest) {
  for (size_t i = 0; i < Count; ++i) {
    const uint8_t* p = Source + 4 * i;
    Dest[i] = int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
  }
}

}  // namespace

void UnpackPcm(const uint8_t* Source, size_t Count, int Bits, int32_t* Dest) {
  switch (Bits) {
    case 8: Unpack8(Source, Count, Dest); break;
    case 16: Unpack16(Source, Count, Dest); break;
    case 24: Unpack24(Source, Count, Dest); break;
    case 32: Unpack32(Source, Count, Dest); break;
    default: std::memset(Dest, 0, Count * sizeof(int32_t)); break;
  }
}

void ScaleToInt32(int32_t* Samples, size_t Count, int Bits) {
  const int shift = 32 - Bits;
  if (shift <= 0 || shift >= 32) return;
  for (size_t i = 0; i < Count; ++i) Samples[i] = int32_t(uint32_t(Samples[i]) << shift);
}
