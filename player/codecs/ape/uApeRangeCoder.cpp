#include "player/codecs/ape/uApeRangeCoder.h"

#include <bit>

namespace ape {

// Cumulative frequencies of the overflow symbols (total 65536); the last
// symbol, 63, is the escape for large overflows and has width 1.
const uint32_t TApeRangeCoder::kSymbolTotal[65] = {
    0,     19578, 36160, 48417, 56323, 60899, 63265, 64435, 64971, 65232, 65351, 65416, 65447,
    65466, 65476, 65482, 65485, 65488, 65490, 65491, 65492, 65493, 65494, 65495, 65496, 65497,
    65498, 65499, 65500, 65501, 65502, 65503, 65504, 65505, 65506, 65507, 65508, 65509, 65510,
    65511, 65512, 65513, 65514, 65515, 65516, 65517, 65518, 65519, 65520, 65521, 65522, 65523,
    65524, 65525, 65526, 65527, 65528, 65529, 65530, 65531, 65532, 65533, 65534, 65535, 65536};

void TApeRangeCoder::Start() {
  FLow = 0;
  FRange = kTop;
  FCache = 0;
  FPending = 0;
  const size_t used = FOut.size();
  FOut.resize(used + 4096);
  FCursor = FOut.data() + used;
  FLimit = FOut.data() + FOut.size();
}

void TApeRangeCoder::Grow(size_t Bytes) {
  const size_t used = static_cast<size_t>(FCursor - FOut.data());
  FOut.resize(std::max(FOut.size() * 2, used + Bytes + 4096));
  FCursor = FOut.data() + used;
  FLimit = FOut.data() + FOut.size();
}

void TApeRangeCoder::ShiftByteSlow() {
  if (FLow < (0xFFu << kShift)) {
    if (static_cast<size_t>(FLimit - FCursor) < FPending + 1u) Grow(FPending + 1);
    *FCursor++ = static_cast<uint8_t>(FCache);
    for (; FPending > 0; --FPending)
      *FCursor++ = 0xFF;
    FCache = FLow >> kShift;
  } else if (FLow >= kTop) {
    // A carry happened: it ripples through the held 0xFF bytes.
    if (static_cast<size_t>(FLimit - FCursor) < FPending + 1u) Grow(FPending + 1);
    *FCursor++ = static_cast<uint8_t>(FCache + 1);
    for (; FPending > 0; --FPending)
      *FCursor++ = 0x00;
    FCache = (FLow >> kShift) & 0xFF;
  } else {
    ++FPending;
  }
}

void TApeRangeCoder::Finish() {
  if (FLimit - FCursor < kRoomPerValue) Grow(kRoomPerValue);
  Normalize();
  const uint32_t last = (FLow >> kShift) + 1;
  if (static_cast<size_t>(FLimit - FCursor) < FPending + 5u) Grow(FPending + 5);
  const bool carry = last > 0xFF;
  *FCursor++ = static_cast<uint8_t>(carry ? FCache + 1 : FCache);
  for (; FPending > 0; --FPending)
    *FCursor++ = carry ? 0x00 : 0xFF;
  *FCursor++ = static_cast<uint8_t>(last & 0xFF);
  *FCursor++ = 0;
  *FCursor++ = 0;
  *FCursor++ = 0;
  FOut.resize(static_cast<size_t>(FCursor - FOut.data()));
  FCursor = FLimit = nullptr;
}

void TApeResidualCoder::EncodeWide(TApeRangeCoder& Coder, uint32_t Folded, uint32_t Pivot) {
  const uint32_t overflow = Folded / Pivot;
  const uint32_t base = Folded - overflow * Pivot;
  EncodeOverflow(Coder, overflow);
  const int shift = std::bit_width(Pivot) - 16;
  Coder.EncodeUniform(base >> shift, (Pivot >> shift) + 1);
  Coder.EncodeUniform(base & ((1u << shift) - 1), 1u << shift);
}

}  // namespace ape
