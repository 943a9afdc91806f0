// Collecting PCM in arbitrary pieces: samples, CRC and frame boundaries.
#include <gtest/gtest.h>

#include <zlib.h>

#include "player/codecs/ape/uApeFrameBuffer.h"
#include "tests/player/codecs/ape/uApeTestSupport.h"

using namespace ape;

namespace {

void Feed(TApeFrameBuffer& buffer, const std::vector<uint8_t>& bytes, size_t chunk) {
  for (size_t done = 0; done < bytes.size();) {
    const uint8_t* p = bytes.data() + done;
    size_t n = std::min(chunk, bytes.size() - done);
    const size_t before = n;
    buffer.Append(p, n);
    done += before - n;
    if (n > 0) FAIL() << "frame overflowed";
  }
}

}  // namespace

TEST(ApeFrameBuffer, SamplesAndCrcDoNotDependOnHowBytesArrive) {
  for (int bits : {8, 16, 24}) {
    const apetest::TPcm pcm = apetest::MakeNoise(bits, 2, 44100, 999, 5);
    std::vector<int32_t> a0, a1, b0, b1;
    TApeFrameBuffer whole, pieces;
    whole.Init(bits, 2, 1000);
    pieces.Init(bits, 2, 1000);
    Feed(whole, pcm.Bytes, pcm.Bytes.size());
    Feed(pieces, pcm.Bytes, 5);
    EXPECT_EQ(whole.Blocks(), 999u);
    const uint32_t crcWhole = whole.TakeFrame(a0, a1);
    EXPECT_EQ(pieces.TakeFrame(b0, b1), crcWhole);
    EXPECT_EQ(a0, b0);
    EXPECT_EQ(a1, b1);
    EXPECT_EQ(crcWhole, crc32(0, pcm.Bytes.data(), static_cast<uInt>(pcm.Bytes.size())));
  }
}

TEST(ApeFrameBuffer, ConvertsEachWidthToSignedSamples) {
  TApeFrameBuffer b8, b24;
  b8.Init(8, 1, 10);
  b24.Init(24, 1, 10);
  Feed(b8, {0, 128, 255}, 3);
  Feed(b24, {0xff, 0xff, 0x7f, 0x00, 0x00, 0x80, 0xfe, 0xff, 0xff}, 9);
  std::vector<int32_t> c0, c1;
  b8.TakeFrame(c0, c1);
  EXPECT_EQ(c0, (std::vector<int32_t>{-128, 0, 127}));
  b24.TakeFrame(c0, c1);
  EXPECT_EQ(c0, (std::vector<int32_t>{8388607, -8388608, -2}));
}

TEST(ApeFrameBuffer, FullFrameStopsTakingBytesAndKeepsAPartialBlock) {
  TApeFrameBuffer buffer;
  buffer.Init(16, 2, 2);
  const std::vector<uint8_t> bytes = {1, 0, 2, 0, 3, 0, 4, 0, 5, 0};
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  EXPECT_TRUE(buffer.Append(p, n));
  EXPECT_EQ(n, 2u);  // the frame holds two blocks (8 bytes)
  std::vector<int32_t> c0, c1;
  buffer.TakeFrame(c0, c1);
  EXPECT_EQ(c0, (std::vector<int32_t>{1, 3}));
  EXPECT_EQ(c1, (std::vector<int32_t>{2, 4}));
  EXPECT_FALSE(buffer.Append(p, n));
  EXPECT_EQ(buffer.Blocks(), 0u);
  EXPECT_EQ(buffer.PartialBytes(), 2u);
}

TEST(ApeFrameBuffer, ThirtyTwoBitsOnlyWithEmptyLowBytes) {
  TApeFrameBuffer buffer;
  buffer.Init(32, 1, 4);
  EXPECT_EQ(buffer.StoredBits(), 24);
  const std::vector<uint8_t> good = {0, 1, 2, 3, 0, 0xff, 0xff, 0xff};
  EXPECT_TRUE(buffer.Accepts(good.data(), good.size()));
  const std::vector<uint8_t> bad = {0, 1, 2, 3, 9, 0, 0, 0};
  EXPECT_FALSE(buffer.Accepts(bad.data(), bad.size()));
  // Split inside a sample: the low byte of the next sample is at index 1.
  Feed(buffer, {0, 1, 2}, 3);
  EXPECT_TRUE(buffer.Accepts(std::vector<uint8_t>{3, 0, 5, 5, 5}.data(), 5));
  EXPECT_FALSE(buffer.Accepts(std::vector<uint8_t>{3, 7, 5, 5, 5}.data(), 5));
  Feed(buffer, {3, 0, 0xfe, 0xff, 0xff}, 5);
  std::vector<int32_t> c0, c1;
  const uint32_t crc = buffer.TakeFrame(c0, c1);
  EXPECT_EQ(c0, (std::vector<int32_t>{0x030201, -2}));
  const uint8_t stored[] = {1, 2, 3, 0xfe, 0xff, 0xff};
  EXPECT_EQ(crc, crc32(0, stored, 6));
}

// A frame that must be written again is fed back as it came in, from the
// buffer itself; the partial block after it still starts the next frame.
TEST(ApeFrameBuffer, TheFrameTakenLastComesBackAsItCameIn) {
  for (const int bits : {16, 32}) {
    SCOPED_TRACE(bits);
    TApeFrameBuffer buffer;
    buffer.Init(bits, 2, 2);
    const size_t block = static_cast<size_t>(bits / 8) * 2;
    std::vector<uint8_t> input;
    for (size_t i = 0; i < 3 * block; ++i)  // two whole blocks and one more
      input.push_back(bits == 32 && i % 4 == 0 ? 0 : static_cast<uint8_t>(i * 37 + 11));
    const uint8_t* p = input.data();
    size_t n = input.size() - 1;  // the third block arrives cut short
    EXPECT_TRUE(buffer.Append(p, n));
    std::vector<int32_t> c0, c1;
    buffer.TakeFrame(c0, c1);
    EXPECT_EQ(buffer.Blocks(), 0u);
    std::vector<uint8_t> again;
    buffer.TakenFrameAsInput(again);
    EXPECT_EQ(again, std::vector<uint8_t>(input.begin(), input.begin() + 2 * block));

    EXPECT_FALSE(buffer.Append(p, n));
    const uint8_t* last = input.data() + input.size() - 1;
    size_t one = 1;
    buffer.Append(last, one);
    EXPECT_EQ(buffer.Blocks(), 1u);
    buffer.TakeFrame(c0, c1);
    buffer.TakenFrameAsInput(again);
    EXPECT_EQ(again, std::vector<uint8_t>(input.begin() + 2 * block, input.end()));
  }
}
