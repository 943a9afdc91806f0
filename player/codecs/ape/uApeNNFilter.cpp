#include "player/codecs/ape/uApeNNFilter.h"

#include <cstring>
#include <iterator>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define APE_HAVE_X86 1
#endif

// Every function of a vector path names its instruction set itself (gcc and
// clang both take the attribute), so the file builds for plain x86-64 and
// each path runs only where BestSimd found its instructions. The shared
// loop (uApeNNFilterLoop.inc) takes the set of its includer from
// APE_PATH_TARGET.
#define APE_TARGET_AVX2 __attribute__((target("avx2")))
#define APE_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw")))

namespace ape {

namespace {

namespace scalar {

template <bool Adapt>
inline int32_t AdaptDot(int16_t* Coef, const int16_t* History, const int16_t* Delta, int Order,
                        int16_t Negate) {
  uint32_t sum = 0;
  for (int j = 0; j < Order; ++j) {
    int16_t c = Coef[j];
    if constexpr (Adapt)
      c = static_cast<int16_t>((static_cast<int16_t>(c ^ Negate) + Delta[j]) ^ Negate);
    Coef[j] = c;
    sum += static_cast<uint32_t>(History[j] * c);
  }
  return static_cast<int32_t>(sum);
}

#define APE_PATH_TARGET
#include "player/codecs/ape/uApeNNFilterLoop.inc"
#undef APE_PATH_TARGET

}  // namespace scalar

#ifdef APE_HAVE_X86

namespace sse2 {

// SSE2 is part of every x86-64 processor.
// coef - d == ~(~coef + d): an all-ones mask turns the add into a subtract.
template <bool Adapt>
inline int32_t AdaptDot(int16_t* Coef, const int16_t* History, const int16_t* Delta, int Order,
                        int16_t Negate) {
  const __m128i negate = _mm_set1_epi16(Negate);
  __m128i acc = _mm_setzero_si128();
  for (int j = 0; j < Order; j += 8) {
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Coef + j));
    if constexpr (Adapt) {
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Delta + j));
      c = _mm_xor_si128(_mm_add_epi16(_mm_xor_si128(c, negate), d), negate);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Coef + j), c);
    }
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(History + j));
    acc = _mm_add_epi32(acc, _mm_madd_epi16(h, c));
  }
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x4E));
  acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0xB1));
  return _mm_cvtsi128_si32(acc);
}

#define APE_PATH_TARGET
#include "player/codecs/ape/uApeNNFilterLoop.inc"
#undef APE_PATH_TARGET

}  // namespace sse2

namespace avx2 {

template <bool Adapt>
APE_TARGET_AVX2 inline __m256i Step(int16_t* Coef, const int16_t* History, const int16_t* Delta,
                                    __m256i negate, __m256i acc) {
  __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Coef));
  if constexpr (Adapt) {
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Delta));
    c = _mm256_xor_si256(_mm256_add_epi16(_mm256_xor_si256(c, negate), d), negate);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Coef), c);
  }
  const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(History));
  return _mm256_add_epi32(acc, _mm256_madd_epi16(h, c));
}

APE_TARGET_AVX2 inline int32_t HorizontalSum(__m256i acc) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4E));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xB1));
  return _mm_cvtsi128_si32(s);
}

template <bool Adapt>
APE_TARGET_AVX2 inline int32_t AdaptDot(int16_t* Coef, const int16_t* History, const int16_t* Delta,
                                        int Order, int16_t Negate) {
  const __m256i negate = _mm256_set1_epi16(Negate);
  __m256i acc0 = _mm256_setzero_si256();
  __m256i acc1 = _mm256_setzero_si256();
  int j = 0;
  for (; j + 32 <= Order; j += 32) {
    acc0 = Step<Adapt>(Coef + j, History + j, Delta + j, negate, acc0);
    acc1 = Step<Adapt>(Coef + j + 16, History + j + 16, Delta + j + 16, negate, acc1);
  }
  if (j < Order) acc0 = Step<Adapt>(Coef + j, History + j, Delta + j, negate, acc0);
  return HorizontalSum(_mm256_add_epi32(acc0, acc1));
}

#define APE_PATH_TARGET APE_TARGET_AVX2
#include "player/codecs/ape/uApeNNFilterLoop.inc"
#undef APE_PATH_TARGET

}  // namespace avx2

// GCC 12 warns inside its own AVX-512 headers (their "undefined" vectors).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace avx512 {

template <bool Adapt>
APE_TARGET_AVX512 inline int32_t AdaptDot(int16_t* Coef, const int16_t* History,
                                          const int16_t* Delta, int Order, int16_t Negate) {
  if (Order < 32) return avx2::AdaptDot<Adapt>(Coef, History, Delta, Order, Negate);
  const __m512i negate = _mm512_set1_epi16(Negate);
  __m512i acc = _mm512_setzero_si512();
  int j = 0;
  for (; j + 32 <= Order; j += 32) {
    __m512i c = _mm512_loadu_si512(Coef + j);
    if constexpr (Adapt) {
      const __m512i d = _mm512_loadu_si512(Delta + j);
      c = _mm512_xor_si512(_mm512_add_epi16(_mm512_xor_si512(c, negate), d), negate);
      _mm512_storeu_si512(Coef + j, c);
    }
    acc = _mm512_add_epi32(acc, _mm512_madd_epi16(_mm512_loadu_si512(History + j), c));
  }
  // Fold to 256 bits (upper half via a lane shuffle), then add a 16-tap tail.
  __m256i folded = _mm256_add_epi32(_mm512_castsi512_si256(acc),
                                    _mm512_castsi512_si256(_mm512_shuffle_i64x2(acc, acc, 0x4E)));
  if (j < Order)
    folded =
        avx2::Step<Adapt>(Coef + j, History + j, Delta + j, _mm512_castsi512_si256(negate), folded);
  return avx2::HorizontalSum(folded);
}

#define APE_PATH_TARGET APE_TARGET_AVX512
#include "player/codecs/ape/uApeNNFilterLoop.inc"
#undef APE_PATH_TARGET

}  // namespace avx512

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif  // APE_HAVE_X86

// One loop per instruction set, for one filter and for a pair of filters.
struct TPath {
  size_t (*Block)(TApeNNState& State, int32_t* Data, size_t Count);
  size_t (*Pair)(TApeNNState& A, int32_t* DataA, TApeNNState& B, int32_t* DataB, size_t Count);
};

// Indexed by TApeSimd; without x86 every entry is the plain loop.
constexpr TPath kPaths[] = {
    {scalar::CompressBlock, scalar::CompressPair},
#ifdef APE_HAVE_X86
    {sse2::CompressBlock, sse2::CompressPair},
    {avx2::CompressBlock, avx2::CompressPair},
    {avx512::CompressBlock, avx512::CompressPair},
#else
    {scalar::CompressBlock, scalar::CompressPair},
    {scalar::CompressBlock, scalar::CompressPair},
    {scalar::CompressBlock, scalar::CompressPair},
#endif
};

static_assert(std::size(kPaths) == static_cast<size_t>(TApeSimd::Avx512) + 1);

const TPath& PathOf(TApeSimd Simd) { return kPaths[static_cast<int>(Simd)]; }

}  // namespace

TApeSimd TApeNNFilter::BestSimd() {
#ifdef APE_HAVE_X86
  static const TApeSimd best = [] {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f"))
      return TApeSimd::Avx512;
    if (__builtin_cpu_supports("avx2")) return TApeSimd::Avx2;
    return TApeSimd::Sse2;
  }();
  return best;
#else
  return TApeSimd::Scalar;
#endif
}

TApeNNFilter::TApeNNFilter(int Order, int Shift, TApeSimd Simd) : FSimd(Simd) {
  FState.Order = Order;
  FState.Shift = Shift;
  // Taps, then the two histories, each starting on a 64-byte boundary.
  const size_t historyLength = static_cast<size_t>(TApeNNState::kWindow + Order + 1);
  const size_t padded = (historyLength + 31) & ~size_t{31};
  FStorage = std::make_unique<int16_t[]>(static_cast<size_t>(Order) + 2 * padded + 32);
  auto* base = reinterpret_cast<int16_t*>((reinterpret_cast<uintptr_t>(FStorage.get()) + 63) &
                                          ~uintptr_t{63});
  FState.Coef = base;
  FState.History = base + Order;
  FState.Delta = FState.History + padded;
  Reset();
}

void TApeNNFilter::Reset() {
  std::memset(FState.Coef, 0, sizeof(int16_t) * FState.Order);
  std::memset(FState.History, 0, sizeof(int16_t) * (FState.Order + 1));
  std::memset(FState.Delta, 0, sizeof(int16_t) * (FState.Order + 1));
  FState.Pos = FState.Order + 1;
  FState.Average = 0;
  FState.PendingDirection = 0;
  FState.PendingHalving = false;
}

size_t TApeNNFilter::CompressPair(TApeNNFilter& A, int32_t* DataA, TApeNNFilter& B, int32_t* DataB,
                                  size_t Count) {
  if (A.FSimd != B.FSimd) return A.CompressBlock(DataA, Count) + B.CompressBlock(DataB, Count);
  return PathOf(A.FSimd).Pair(A.FState, DataA, B.FState, DataB, Count);
}

size_t TApeNNFilter::CompressBlock(int32_t* Data, size_t Count) {
  return PathOf(FSimd).Block(FState, Data, Count);
}

}  // namespace ape
