#include "player/codecs/ape/uApeChannelTransform.h"

#include "player/codecs/ape/uApeFormat.h"

namespace ape {

namespace {

bool AllZero(const int32_t* Values, size_t Count) {
  int32_t any = 0;
  for (size_t i = 0; i < Count; ++i)
    any |= Values[i];
  return any == 0;
}

bool AllEqual(const int32_t* A, const int32_t* B, size_t Count) {
  int32_t diff = 0;
  for (size_t i = 0; i < Count; ++i)
    diff |= A[i] ^ B[i];
  return diff == 0;
}

}  // namespace

uint32_t ComputeSpecialCodes(int Bits, const int32_t* Channel0, const int32_t* Channel1,
                             size_t Count) {
  if (Bits != 16) return 0;
  if (Channel1 == nullptr) return AllZero(Channel0, Count) ? kSpecialSilenceSecond : 0;
  uint32_t codes = 0;
  if (AllZero(Channel1, Count)) codes |= kSpecialSilenceSecond;
  if (AllZero(Channel0, Count)) codes |= kSpecialSilenceFirst;
  if (AllEqual(Channel0, Channel1, Count)) codes |= kSpecialPseudoStereo;
  return codes;
}

void ToMidSide(int32_t* Channel0, int32_t* Channel1, size_t Count) {
  for (size_t i = 0; i < Count; ++i) {
    const int32_t side = Channel1[i] - Channel0[i];
    Channel0[i] += side / 2;
    Channel1[i] = side;
  }
}

}  // namespace ape
