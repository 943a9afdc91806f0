// Turns the samples of one frame into the frame's logical bytes: CRC word,
// special codes, then the range-coded residuals of the full predictor
// (stages 1-2, NN filter cascade). Every frame starts from a fresh state,
// so frames could be encoded in any order. Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "player/codecs/ape/uApeFormat.h"
#include "player/codecs/ape/uApeNNFilter.h"
#include "player/codecs/ape/uApePredictor.h"
#include "player/codecs/ape/uApeRangeCoder.h"

namespace ape {

// How many 32-bit wrap-arounds a frame's coding met (see TArithmetic).
struct TApeFrameEvents {
  size_t Predict = 0;      // stage-2 sums whose two forms differ
  size_t Round = 0;        // NN rounding adds whose two forms differ
  bool MonoCoded = false;  // only one channel was coded (mono or pseudo-stereo)
};

class TApeFrameEncoder {
public:
  TApeFrameEncoder(const TLevelParams& Level, int Channels, int Bits, TArithmetic Arithmetic);

  // Channel0/Channel1 (Channel1 empty for mono) are consumed as scratch.
  // Crc is the CRC-32 of the frame's PCM bytes. Out receives the logical
  // bytes (replacing what it held).
  TApeFrameEvents Encode(std::vector<int32_t>& Channel0, std::vector<int32_t>& Channel1,
                         uint32_t Crc, std::vector<uint8_t>& Out);

private:
  struct TChannelState {
    TApePredictor Predictor;
    std::vector<std::unique_ptr<TApeNNFilter>> Filters;
    TApeResidualCoder Residuals;
    void Reset();
  };

  // Runs the NN cascade over a channel's stage-2 residuals; returns the
  // rounding events.
  static size_t ApplyFilters(TChannelState& State, int32_t* Data, size_t Count);
  void EncodeSingle(TChannelState& State, int32_t* Samples, size_t Count, TApeRangeCoder& Coder,
                    TApeFrameEvents& Events);
  void EncodeStereo(int32_t* Mid, int32_t* Side, size_t Count, TApeRangeCoder& Coder,
                    TApeFrameEvents& Events);

  int FChannels;
  int FBits;
  TChannelState FStates[2];  // [0] mid (or mono), [1] side
};

}  // namespace ape
