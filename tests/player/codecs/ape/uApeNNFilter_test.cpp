// The vector paths of the NN filter against the plain loop: any lane,
// tail or window-roll mistake changes residuals or event counts.
#include <gtest/gtest.h>

#include <vector>

#include "player/codecs/ape/uApeNNFilter.h"

using namespace ape;

namespace {

std::vector<int32_t> Signal(size_t n, uint32_t seed, int bits) {
  std::vector<int32_t> v(n);
  uint32_t s = seed;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1664525u + 1013904223u;
    // A slow wave plus noise, with bursts beyond 16 bits to hit saturation.
    const int32_t noise = static_cast<int32_t>(s >> (32 - bits)) - (1 << (bits - 1));
    v[i] = (i % 5000 < 2500 ? noise / 8 : noise) + static_cast<int32_t>((i % 300) * 40);
  }
  return v;
}

std::vector<TApeSimd> Available() {
  std::vector<TApeSimd> paths = {TApeSimd::Scalar};
  const TApeSimd best = TApeNNFilter::BestSimd();
  if (best >= TApeSimd::Sse2) paths.push_back(TApeSimd::Sse2);
  if (best >= TApeSimd::Avx2) paths.push_back(TApeSimd::Avx2);
  if (best >= TApeSimd::Avx512) paths.push_back(TApeSimd::Avx512);
  return paths;
}

}  // namespace

TEST(ApeNNFilter, EveryVectorPathMatchesThePlainLoop) {
  const struct {
    int Order, Shift;
  } filters[] = {{16, 11}, {32, 10}, {64, 11}, {256, 13}, {1280, 15}, {48, 12}};
  for (int bits : {16, 26}) {
    const std::vector<int32_t> input = Signal(12000, 42 + bits, bits);
    for (const auto& f : filters) {
      TApeNNFilter reference(f.Order, f.Shift, TApeSimd::Scalar);
      std::vector<int32_t> expected = input;
      // Odd block sizes: state must carry across calls.
      const size_t firstEvents = reference.CompressBlock(expected.data(), 777);
      const size_t events =
          firstEvents + reference.CompressBlock(expected.data() + 777, expected.size() - 777);
      for (TApeSimd simd : Available()) {
        SCOPED_TRACE("order " + std::to_string(f.Order) + " path " +
                     std::to_string(static_cast<int>(simd)));
        TApeNNFilter filter(f.Order, f.Shift, simd);
        std::vector<int32_t> got = input;
        const size_t gotEvents = filter.CompressBlock(got.data(), got.size());
        EXPECT_EQ(got, expected);
        EXPECT_EQ(gotEvents, events);
      }
    }
  }
}

TEST(ApeNNFilter, PairsGiveWhatSingleFiltersGive) {
  const std::vector<int32_t> left = Signal(9000, 1, 20), right = Signal(9000, 2, 14);
  for (TApeSimd simd : Available())
    for (int order : {16, 256}) {
      SCOPED_TRACE(order);
      TApeNNFilter a(order, 13, simd), b(order, 13, simd), c(order, 13, TApeSimd::Scalar),
          d(order, 13, TApeSimd::Scalar);
      std::vector<int32_t> pa = left, pb = right, sa = left, sb = right;
      const size_t pairEvents =
          TApeNNFilter::CompressPair(a, pa.data(), b, pb.data(), 5000) +
          TApeNNFilter::CompressPair(a, pa.data() + 5000, b, pb.data() + 5000, 4000);
      const size_t singleEvents =
          c.CompressBlock(sa.data(), sa.size()) + d.CompressBlock(sb.data(), sb.size());
      EXPECT_EQ(pa, sa);
      EXPECT_EQ(pb, sb);
      EXPECT_EQ(pairEvents, singleEvents);
    }
}

TEST(ApeNNFilter, ResetStartsOver) {
  const std::vector<int32_t> input = Signal(5000, 7, 16);
  TApeNNFilter filter(256, 13);
  std::vector<int32_t> first = input, second = input;
  filter.CompressBlock(first.data(), first.size());
  filter.Reset();
  filter.CompressBlock(second.data(), second.size());
  EXPECT_EQ(first, second);
  // A fresh filter predicts nothing: the first value passes unchanged.
  EXPECT_EQ(first[0], input[0]);
  EXPECT_NE(first, input);
}

TEST(ApeNNFilter, CountsRoundingWrapsOfLoudInput) {
  // Full-scale 24-bit input grows taps until the 32-bit dot product comes
  // near its limit; quiet input never does.
  TApeNNFilter loud(1280, 15), quiet(1280, 15);
  std::vector<int32_t> a = Signal(1500000, 3, 26), b = Signal(400000, 3, 12);
  EXPECT_GT(loud.CompressBlock(a.data(), a.size()), 0u);
  EXPECT_EQ(quiet.CompressBlock(b.data(), b.size()), 0u);
}
