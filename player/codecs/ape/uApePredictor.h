// Stages 1 and 2 of one channel's predictor: a fixed first-order filter
// followed by an adaptive offset predictor that also looks at a second
// ("cross") channel. Stage 3, the NN filters, runs separately over whole
// arrays (TApeNNFilter). One object per channel; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

#include "player/codecs/ape/uApeFormat.h"

namespace ape {

class TApePredictor {
public:
  explicit TApePredictor(TArithmetic Arithmetic = TArithmetic::Wrap32Predict)
      : FArithmetic(Arithmetic) {
    Reset();
  }

  void SetArithmetic(TArithmetic Arithmetic) { FArithmetic = Arithmetic; }
  // Back to the state at the start of a frame.
  void Reset();

  // The stage-2 residual of X, with Y as the cross input.
  __attribute__((always_inline)) int32_t Compress(int32_t X, int32_t Y) {
    const int32_t nA = X - ScaledPrevious(FLastX);
    const int32_t nB = Y - ScaledPrevious(FLastY);
    FLastX = X;
    FLastY = Y;
    const int32_t dB = nB - FBPrev;

    const int64_t pA = int64_t{FA[0]} * FCoefA[0] + int64_t{FA[1]} * FCoefA[1] +
                       int64_t{FA[2]} * FCoefA[2] + int64_t{FA[3]} * FCoefA[3];
    const int64_t pB = int64_t{nB} * FCoefB[0] + int64_t{dB} * FCoefB[1] +
                       int64_t{FB[0]} * FCoefB[2] + int64_t{FB[1]} * FCoefB[3] +
                       int64_t{FB[2]} * FCoefB[4];
    const int32_t wrapped = Wrap32Prediction(pA, pB);
    const int32_t exact = static_cast<int32_t>((pA + (pB >> 1)) >> 10);
    if (wrapped != exact) ++FEvents;
    const int32_t prediction = FArithmetic == TArithmetic::Exact ? exact : wrapped;
    const auto residual =
        static_cast<int32_t>(static_cast<uint32_t>(nA) - static_cast<uint32_t>(prediction));

    // Sign-sign adaptation with the history exactly as it was used above;
    // each history value's sign is kept from when it came in.
    const int s = Sign(residual);
    const int32_t signNB = Sign(nB), signDB = Sign(dB);
    FCoefA[0] += FSignA[0] * s;
    FCoefA[1] += FSignA[1] * s;
    FCoefA[2] += FSignA[2] * s;
    FCoefA[3] += FSignA[3] * s;
    FCoefB[0] += signNB * s;
    FCoefB[1] += signDB * s;
    FCoefB[2] += FSignB[0] * s;
    FCoefB[3] += FSignB[1] * s;
    FCoefB[4] += FSignB[2] * s;

    FA[3] = FA[2];
    FA[2] = FA[1];
    FA[1] = nA - FA[0];
    FA[0] = nA;
    FSignA[3] = FSignA[2];
    FSignA[2] = FSignA[1];
    FSignA[1] = Sign(FA[1]);
    FSignA[0] = Sign(nA);
    FB[2] = FB[1];
    FB[1] = FB[0];
    FB[0] = dB;
    FSignB[2] = FSignB[1];
    FSignB[1] = FSignB[0];
    FSignB[0] = signDB;
    FBPrev = nB;
    return residual;
  }

  // Samples whose prediction differs between the 32-bit and the exact sum.
  size_t Events() const { return FEvents; }

private:
  static int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }
  // 31/32 of the previous value, rounded toward minus infinity.
  static int32_t ScaledPrevious(int32_t v) { return static_cast<int32_t>((int64_t{v} * 31) >> 5); }
  static int32_t Wrap32Prediction(int64_t pA, int64_t pB) {
    const uint32_t sum =
        static_cast<uint32_t>(pA) + static_cast<uint32_t>(static_cast<int32_t>(pB) >> 1);
    return static_cast<int32_t>(sum) >> 10;
  }

  TArithmetic FArithmetic;
  int32_t FLastX, FLastY;  // stage-1 memories
  int32_t FA[4];           // last stage-1 output of X, then its last three differences
  int32_t FBPrev;          // last stage-1 output of Y
  int32_t FB[3];           // last three differences of Y's stage-1 output
  int32_t FSignA[4];       // signs of FA
  int32_t FSignB[3];       // signs of FB
  int32_t FCoefA[4];
  int32_t FCoefB[5];
  size_t FEvents;
};

}  // namespace ape
