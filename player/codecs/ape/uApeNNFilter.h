// Stage 3 of the predictor: an adaptive FIR filter ("NN filter") of 16 to
// 1280 taps over 16-bit saturated history, adapted by sign-sign LMS.
// One object per channel and filter; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ape {

// The filter's working state; the vector paths operate on it directly.
struct TApeNNState {
  static constexpr int kWindow = 4096;

  int Order = 16;
  int Shift = 11;
  // Taps, input history (saturated) and adaptation deltas; the histories
  // run through a window so that every step reads contiguous memory.
  int16_t* Coef = nullptr;
  int16_t* History = nullptr;
  int16_t* Delta = nullptr;
  int Pos = 0;          // next free slot of both histories
  int32_t Average = 0;  // running average magnitude of the input
  // A step's adaptation is folded into the next step's dot product; these
  // remember what is still owed.
  int PendingDirection = 0;
  bool PendingHalving = false;
};

// Which vector instructions the filter uses.
enum class TApeSimd { Scalar, Sse2, Avx2, Avx512 };

class TApeNNFilter {
public:
  // Order: a multiple of 16; Shift: the fixed-point scale of the taps.
  TApeNNFilter(int Order, int Shift, TApeSimd Simd = BestSimd());

  // Back to the state at the start of a frame.
  void Reset();

  // Replaces each value of Data by its residual after this filter, in
  // order. Returns how many roundings would have come out differently with
  // a 32-bit rounding add (see TArithmetic): the decoders disagree there.
  size_t CompressBlock(int32_t* Data, size_t Count);

  // The same for two filters (of two channels) at once, step by step in
  // turn; results as two CompressBlock calls, but faster.
  static size_t CompressPair(TApeNNFilter& A, int32_t* DataA, TApeNNFilter& B, int32_t* DataB,
                             size_t Count);

  // The best path this processor supports.
  static TApeSimd BestSimd();

private:
  std::unique_ptr<int16_t[]> FStorage;
  TApeNNState FState;
  TApeSimd FSimd;
};

}  // namespace ape
