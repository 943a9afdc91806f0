// The checksums of a track against the test's own computation of them.
#include "app/uCdChecksums.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/app/uCdOracle.h"
#include "tests/support/uCdImage.h"

namespace {

using cdoracle::AccurateRipOf;
using cdoracle::BitwiseCrc32;

constexpr int64_t Edge = 5 * 588;

// Feeds Pcm in the given block sizes, round and round.
TCdTrackChecksums Checksum(const std::vector<uint8_t>& Pcm, bool First, bool Last,
                           std::vector<size_t> Blocks, int64_t ExpectedFrames = -1) {
  TCdTrackChecksums Sums(ExpectedFrames >= 0 ? ExpectedFrames : int64_t(Pcm.size() / 4), First,
                         Last);
  size_t At = 0;
  for (size_t I = 0; At < Pcm.size(); ++I) {
    const size_t Size = std::min(Blocks[I % Blocks.size()], Pcm.size() - At);
    Sums.Update(Pcm.data() + At, Size);
    At += Size;
  }
  return Sums;
}

TEST(CdChecksumOracle, AgreesWithTheDefinitionsOnSmallCases) {
  const std::string Check = "123456789";
  EXPECT_EQ(BitwiseCrc32(reinterpret_cast<const uint8_t*>(Check.data()), Check.size()),
            0xCBF43926u);
  // Frames 0x00010002, 0xFFFFFFFF and 3 at positions 1, 2 and 3.
  const std::vector<uint8_t> Pcm = {2, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0};
  const cdoracle::TAccurateRip Sum = AccurateRipOf(Pcm, false, false);
  EXPECT_EQ(Sum.V1, 0x00010009u);  // 0x10002 + 2 * 0xFFFFFFFF + 9, modulo 2^32
  EXPECT_EQ(Sum.V2, 0x0001000Au);  // the carry of 2 * 0xFFFFFFFF counted as well
  const TCdTrackChecksums Ours = Checksum(Pcm, false, false, {12});
  EXPECT_EQ(Ours.AccurateRipV1(), Sum.V1);
  EXPECT_EQ(Ours.AccurateRipV2(), Sum.V2);
}

TEST(CdChecksums, EveryPlaceOnTheDiscAndEverySplitOfTheBlocks) {
  const std::vector<uint8_t> Pcm = morvotest::CdNoise(37 * 2352, 41);
  const std::vector<std::vector<size_t>> Splits = {
      {Pcm.size()}, {16384}, {1}, {3, 5, 4093}, {2352, 7}};
  for (int Place = 0; Place < 4; ++Place) {
    const bool First = Place & 1, Last = Place & 2;
    const cdoracle::TAccurateRip Want = AccurateRipOf(Pcm, First, Last);
    for (const std::vector<size_t>& Split : Splits) {
      SCOPED_TRACE(testing::Message()
                   << "first " << First << " last " << Last << " block " << Split[0]);
      const TCdTrackChecksums Sums = Checksum(Pcm, First, Last, Split);
      EXPECT_EQ(Sums.Crc32(), BitwiseCrc32(Pcm));
      EXPECT_EQ(Sums.AccurateRipV1(), Want.V1);
      EXPECT_EQ(Sums.AccurateRipV2(), Want.V2);
      EXPECT_EQ(Sums.Frames(), int64_t(Pcm.size() / 4));
      EXPECT_TRUE(Sums.Complete());
    }
  }
}

TEST(CdChecksums, TheEdgesOfTheDiscAreLeftOutOfAccurateRipButNotOfTheCrc) {
  const std::vector<uint8_t> Pcm = morvotest::CdNoise(20 * 2352, 42);
  const TCdTrackChecksums Base = Checksum(Pcm, true, true, {4096});
  const auto Changed = [&](int64_t Frame) {
    std::vector<uint8_t> Other = Pcm;
    Other[size_t(Frame) * 4] ^= 0x5A;
    return Checksum(Other, true, true, {4096});
  };
  const int64_t Frames = int64_t(Pcm.size() / 4);
  for (int64_t Frame : {int64_t(0), Edge - 2, Frames - Edge, Frames - 1}) {
    const TCdTrackChecksums Other = Changed(Frame);
    EXPECT_EQ(Other.AccurateRipV1(), Base.AccurateRipV1()) << Frame;
    EXPECT_EQ(Other.AccurateRipV2(), Base.AccurateRipV2()) << Frame;
    EXPECT_NE(Other.Crc32(), Base.Crc32()) << Frame;
  }
  for (int64_t Frame : {Edge - 1, Frames - Edge - 1}) {
    EXPECT_NE(Changed(Frame).AccurateRipV1(), Base.AccurateRipV1()) << Frame;
    EXPECT_NE(Changed(Frame).AccurateRipV2(), Base.AccurateRipV2()) << Frame;
  }
}

TEST(CdChecksums, OnlyTheWholeTrackIsComplete) {
  const std::vector<uint8_t> Pcm = morvotest::CdNoise(3 * 2352, 43);
  const int64_t Frames = int64_t(Pcm.size() / 4);
  EXPECT_FALSE(Checksum(Pcm, false, false, {4096}, Frames + 1).Complete());
  EXPECT_FALSE(Checksum(Pcm, false, false, {4096}, Frames - 1).Complete());
  const std::vector<uint8_t> Ragged(Pcm.begin(), Pcm.end() - 2);
  const TCdTrackChecksums Sums = Checksum(Ragged, false, false, {4096}, Frames);
  EXPECT_EQ(Sums.Frames(), Frames - 1);
  EXPECT_FALSE(Sums.Complete());
  EXPECT_EQ(Sums.Crc32(), BitwiseCrc32(Ragged));
}

}  // namespace
