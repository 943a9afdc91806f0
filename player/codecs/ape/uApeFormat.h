// Fixed facts of the Monkey's Audio file format that every unit of the
// encoder shares: the file version written, the compression levels with
// their frame sizes and neural-network filter cascades.
#pragma once

#include <cstdint>

namespace ape {

// The newest file version; also the highest one FFmpeg's demuxer accepts.
constexpr uint16_t kFileVersion = 3990;
constexpr uint32_t kDescriptorBytes = 52;
constexpr uint32_t kHeaderBytes = 24;
// "Create WAV header on decode": no original header bytes are stored.
constexpr uint16_t kFlagCreateWavHeader = 0x0020;

// Special codes of a frame (a bit mask written after the CRC word).
constexpr uint32_t kSpecialSilenceSecond = 1;  // channel 1 (mono: the only one) all zero
constexpr uint32_t kSpecialSilenceFirst = 2;   // channel 0 all zero
constexpr uint32_t kSpecialPseudoStereo = 4;   // both channels equal in every block

struct TNNFilterParams {
  int Order;
  int Shift;
};

// One compression level: its frame size and the NN filters in the order
// the encoder applies them.
struct TLevelParams {
  int Level;
  uint32_t BlocksPerFrame;
  int FilterCount;
  TNNFilterParams Filters[3];
};

constexpr uint32_t kBaseBlocksPerFrame = 73728;

constexpr TLevelParams kLevels[] = {
    {1000, kBaseBlocksPerFrame, 0, {}},
    {2000, kBaseBlocksPerFrame, 1, {{16, 11}}},
    {3000, kBaseBlocksPerFrame, 1, {{64, 11}}},
    {4000, kBaseBlocksPerFrame * 4, 2, {{256, 13}, {32, 10}}},
    {5000, kBaseBlocksPerFrame * 16, 3, {{1280, 15}, {256, 13}, {16, 11}}},
};

// Little-endian fields of the headers and of the decoder's extradata.
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}

// The params of a level, or null for anything but 1000, 2000 ... 5000.
inline const TLevelParams* FindLevel(int Level) {
  for (const TLevelParams& params : kLevels)
    if (params.Level == Level) return &params;
  return nullptr;
}

// Which arithmetic the stage-2 sum and the NN rounding use. The two target
// decoders disagree only when a 32-bit sum wraps, which loud 24-bit material
// makes happen; see TApeDecoderCompat for how the choice is made.
enum class TArithmetic {
  Wrap32Predict,  // 32-bit stage-2 sum, exact rounding add (FFmpeg's normal rule)
  Exact,          // exact stage-2 sum and rounding add
};

}  // namespace ape
