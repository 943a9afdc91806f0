#include "player/codecs/ape/uApeDecoderCompat.h"

namespace ape {

TArithmetic ChooseArithmetic(int Bits, int Channels, int Level) {
  return Bits == 24 && Channels == 2 && Level == 5000 ? TArithmetic::Exact
                                                      : TArithmetic::Wrap32Predict;
}

bool TApeDecoderCompat::FFmpegDecodes(const TApeFrameEvents& Events) const {
  const bool ffmpegExact = FChannels == 2 && !Events.MonoCoded && FLevel == 5000;
  const bool weExact = FArithmetic == TArithmetic::Exact;
  // Rounding: both we and FFmpeg use the exact add.
  return ffmpegExact == weExact || Events.Predict == 0;
}

bool TApeDecoderCompat::AddFrame(const TApeFrameEvents& Events) {
  if (!FFmpegDecodes(Events)) FCompatible = false;

  const bool weExact = FArithmetic == TArithmetic::Exact;
  // Normal mode: 32-bit sum and 32-bit rounding add.
  const bool normalDecodes = (!weExact || Events.Predict == 0) && Events.Round == 0;
  // Interim mode: exact sum and exact rounding add.
  const bool interimDecodes = weExact || Events.Predict == 0;

  if (!FInterim) {
    if (normalDecodes) return FCompatible;
    // Only 24-bit files get a second try, and the switch is for good.
    if (FBits != 24) return FCompatible = false;
    FInterim = true;
  }
  if (!interimDecodes) FCompatible = false;
  return FCompatible;
}

}  // namespace ape
