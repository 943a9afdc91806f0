// The channel transform of a frame: the special codes that let a frame of
// silence or of two equal channels skip coding, and the mid/side transform.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ape {

// Special-code bit mask (kSpecial* of uApeFormat.h) of one frame. Only
// 16-bit frames use special codes; for other widths this gives 0. Channel1
// is null for mono.
uint32_t ComputeSpecialCodes(int Bits, const int32_t* Channel0, const int32_t* Channel1,
                             size_t Count);

// In place: Channel0 becomes mid, Channel1 side. side = c1 - c0,
// mid = c0 + side / 2 with the division truncating toward zero, which the
// decoders undo exactly.
void ToMidSide(int32_t* Channel0, int32_t* Channel1, size_t Count);

}  // namespace ape
