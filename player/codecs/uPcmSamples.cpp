#include "player/codecs/uPcmSamples.h"

#include <cstring>

bool IsSupportedPcmWidth(int Bits) { return Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32; }

namespace {

// Each reader gives one little-endian sample right-justified, sign extended.
int32_t Read8(const uint8_t* p) { return int32_t(p[0]) - 128; }

int32_t Read16(const uint8_t* p) { return int16_t(uint16_t(p[0] | (p[1] << 8))); }

int32_t Read24(const uint8_t* p) {
  // Place the three bytes in the top of a 32-bit word, then shift back
  // arithmetically to extend the sign.
  const uint32_t top = (uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24);
  return int32_t(top) >> 8;
}

int32_t Read32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                 (uint32_t(p[3]) << 24));
}

template <size_t Bytes, int32_t (*Read)(const uint8_t*)>
void UnpackWith(const uint8_t* Source, size_t Count, int Shift, int32_t* Dest) {
  for (size_t i = 0; i < Count; ++i)
    Dest[i] = int32_t(uint32_t(Read(Source + Bytes * i)) << Shift);
}

}  // namespace

void UnpackPcm(const uint8_t* Source, size_t Count, int Bits, int32_t* Dest, bool FullScale) {
  const int shift = FullScale ? 32 - Bits : 0;
  switch (Bits) {
  case 8:
    UnpackWith<1, Read8>(Source, Count, shift, Dest);
    break;
  case 16:
    UnpackWith<2, Read16>(Source, Count, shift, Dest);
    break;
  case 24:
    UnpackWith<3, Read24>(Source, Count, shift, Dest);
    break;
  case 32:
    UnpackWith<4, Read32>(Source, Count, shift, Dest);
    break;
  default:
    std::memset(Dest, 0, Count * sizeof(int32_t));
    break;
  }
}
