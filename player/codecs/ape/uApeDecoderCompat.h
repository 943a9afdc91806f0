// Keeps track of whether the file written so far decodes bit-exactly in
// both target decoders (FFmpeg 5.1 and the official decoder).
//
// They differ only where a 32-bit sum wraps: FFmpeg 5.1 uses the exact
// stage-2 sum for stereo frames at level 5000 and the 32-bit sum otherwise,
// and always the exact rounding add; the official decoder uses 32-bit forms,
// and for 24-bit files switches for good to exact forms ("interim mode")
// at the first frame that fails its CRC, decoding that frame again.
// Fed with each frame's event counts in file order. Not thread-safe.
#pragma once

#include "player/codecs/ape/uApeFormat.h"
#include "player/codecs/ape/uApeFrameEncoder.h"

namespace ape {

// The stage-2 arithmetic to encode with: exact where FFmpeg 5.1 uses it for
// every frame we write (24-bit stereo at level 5000), else 32-bit. 16-bit
// stereo at level 5000 keeps the 32-bit form, which the official decoder
// needs; a frame where that matters is caught by TApeDecoderCompat.
TArithmetic ChooseArithmetic(int Bits, int Channels, int Level);

class TApeDecoderCompat {
public:
  TApeDecoderCompat(int Bits, int Channels, int Level, TArithmetic Arithmetic)
      : FBits(Bits), FChannels(Channels), FLevel(Level), FArithmetic(Arithmetic) {}

  // False once any frame so far fails in one of the decoders.
  bool AddFrame(const TApeFrameEvents& Events);
  bool InterimMode() const { return FInterim; }

private:
  bool FFmpegDecodes(const TApeFrameEvents& Events) const;

  int FBits;
  int FChannels;
  int FLevel;
  TArithmetic FArithmetic;
  bool FInterim = false;
  bool FCompatible = true;
};

}  // namespace ape
