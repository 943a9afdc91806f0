// Frame bytes against the format's published test vectors: any slip in
// byte order, CRC word, special codes or the range coder's ending shows.
#include <gtest/gtest.h>

#include "player/codecs/ape/uApeFrameEncoder.h"

using namespace ape;

namespace {

std::vector<uint8_t> EncodeFrame(int Level, int Bits, std::vector<int32_t> c0,
                                 std::vector<int32_t> c1, uint32_t Crc,
                                 TApeFrameEvents* Events = nullptr) {
  TApeFrameEncoder encoder(*FindLevel(Level), c1.empty() ? 1 : 2, Bits, TArithmetic::Wrap32Predict);
  std::vector<uint8_t> out;
  const TApeFrameEvents events = encoder.Encode(c0, c1, Crc, out);
  if (Events) *Events = events;
  return out;
}

}  // namespace

TEST(ApeFrameEncoder, MonoVectorIsTheSameAtEveryLevel) {
  const std::vector<uint8_t> expected = {0x32, 0x6d, 0x2e, 0x20, 0x00, 0x01, 0x58,
                                         0x9b, 0x06, 0x69, 0x00, 0x00, 0x00};
  for (int level = 1000; level <= 5000; level += 1000)
    EXPECT_EQ(EncodeFrame(level, 16, {5, -3, 7}, {}, 0x64da5c40), expected) << level;
}

TEST(ApeFrameEncoder, StereoSingleBlockVector) {
  const std::vector<uint8_t> expected = {0x03, 0x6c, 0x97, 0x7e, 0x00, 0xfd,
                                         0x66, 0x80, 0x01, 0x00, 0x00, 0x00};
  // CRC-32 of the block's bytes e8 03 18 fc.
  EXPECT_EQ(EncodeFrame(2000, 16, {1000}, {-1000}, 0x06d92efc), expected);
}

TEST(ApeFrameEncoder, SilentStereoFrameIsThirteenBytesWithCodeSeven) {
  TApeFrameEvents events;
  const std::vector<uint8_t> bytes =
      EncodeFrame(3000, 16, std::vector<int32_t>(73728, 0), std::vector<int32_t>(73728, 0),
                  0x1a38c519, &events);
  const std::vector<uint8_t> expected = {0x8d, 0x1c, 0x62, 0x8c, 0x00, 0x00, 0x00,
                                         0x07, 0x00, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(events.Predict + events.Round, 0u);
}

TEST(ApeFrameEncoder, SpecialCodesOnlyForSixteenBits) {
  // The same silent frame in 24 bits is coded normally: no code word.
  const std::vector<uint8_t> bytes =
      EncodeFrame(2000, 24, std::vector<int32_t>(100, 0), std::vector<int32_t>(100, 0), 0);
  EXPECT_EQ(bytes[0] & 0x80, 0);
  EXPECT_GT(bytes.size(), 9u);
  // One silent channel in 16 bits: the code word is written, both coded.
  const std::vector<uint8_t> oneSilent =
      EncodeFrame(2000, 16, std::vector<int32_t>(100, 0), std::vector<int32_t>(100, 5), 0);
  ASSERT_GE(oneSilent.size(), 8u);
  EXPECT_EQ(oneSilent[0] & 0x80, 0x80);
  EXPECT_EQ(oneSilent[7], 2);
}
