// The simulation of the two decoders on hand-built event lists: the
// decision is easy to get backwards.
#include <gtest/gtest.h>

#include "player/codecs/ape/uApeDecoderCompat.h"

using namespace ape;

namespace {

TApeFrameEvents Events(size_t predict, size_t round, bool mono = false) {
  TApeFrameEvents e;
  e.Predict = predict;
  e.Round = round;
  e.MonoCoded = mono;
  return e;
}

}  // namespace

TEST(ApeDecoderCompat, ArithmeticFollowsWhatFFmpegUses) {
  EXPECT_EQ(ChooseArithmetic(24, 2, 5000), TArithmetic::Exact);
  EXPECT_EQ(ChooseArithmetic(24, 2, 4000), TArithmetic::Wrap32Predict);
  EXPECT_EQ(ChooseArithmetic(24, 1, 5000), TArithmetic::Wrap32Predict);
  EXPECT_EQ(ChooseArithmetic(16, 2, 5000), TArithmetic::Wrap32Predict);
}

TEST(ApeDecoderCompat, TwentyFourBitMonoSurvivesOneSwitchToInterimMode) {
  TApeDecoderCompat compat(24, 1, 5000, TArithmetic::Wrap32Predict);
  EXPECT_TRUE(compat.AddFrame(Events(50, 0)));  // prediction wraps alone: same in both
  EXPECT_FALSE(compat.InterimMode());
  EXPECT_TRUE(compat.AddFrame(Events(0, 1)));  // rounding wrap: official retries exactly
  EXPECT_TRUE(compat.InterimMode());
  EXPECT_TRUE(compat.AddFrame(Events(0, 3)));
  EXPECT_FALSE(compat.AddFrame(Events(1, 0)));  // now a prediction wrap is read differently
  EXPECT_FALSE(compat.AddFrame(Events(0, 0)));  // and the file stays lost
}

TEST(ApeDecoderCompat, SixteenBitsHaveNoSecondTry) {
  TApeDecoderCompat compat(16, 2, 3000, TArithmetic::Wrap32Predict);
  EXPECT_TRUE(compat.AddFrame(Events(4, 0)));
  EXPECT_FALSE(compat.AddFrame(Events(0, 1)));
}

TEST(ApeDecoderCompat, ExactStereoAtInsaneAlwaysPasses) {
  TApeDecoderCompat compat(24, 2, 5000, TArithmetic::Exact);
  EXPECT_TRUE(compat.AddFrame(Events(0, 0)));
  EXPECT_TRUE(compat.AddFrame(Events(1000, 2)));
  EXPECT_TRUE(compat.InterimMode());
  EXPECT_TRUE(compat.AddFrame(Events(10, 0)));
}

TEST(ApeDecoderCompat, SixteenBitStereoAtInsaneFailsOnPredictionWraps) {
  // FFmpeg reads these frames with exact sums, the official decoder with
  // 32-bit ones: a wrap cannot satisfy both.
  TApeDecoderCompat compat(16, 2, 5000, TArithmetic::Wrap32Predict);
  EXPECT_TRUE(compat.AddFrame(Events(3, 0, true)));  // pseudo-stereo: FFmpeg uses 32-bit
  EXPECT_FALSE(compat.AddFrame(Events(3, 0)));
}
