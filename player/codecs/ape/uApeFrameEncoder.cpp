#include "player/codecs/ape/uApeFrameEncoder.h"

#include "player/codecs/ape/uApeChannelTransform.h"

namespace ape {

namespace {

void PutBigEndian32(std::vector<uint8_t>& Out, uint32_t Value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(Value >> 24), static_cast<uint8_t>(Value >> 16),
                            static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value)};
  Out.insert(Out.end(), bytes, bytes + 4);
}

}  // namespace

void TApeFrameEncoder::TChannelState::Reset() {
  Predictor.Reset();
  for (auto& filter : Filters)
    filter->Reset();
  Residuals.Reset();
}

TApeFrameEncoder::TApeFrameEncoder(const TLevelParams& Level, int Channels, int Bits,
                                   TArithmetic Arithmetic)
    : FChannels(Channels), FBits(Bits) {
  for (TChannelState& state : FStates) {
    state.Predictor.SetArithmetic(Arithmetic);
    for (int i = 0; i < Level.FilterCount; ++i)
      state.Filters.push_back(
          std::make_unique<TApeNNFilter>(Level.Filters[i].Order, Level.Filters[i].Shift));
  }
}

size_t TApeFrameEncoder::ApplyFilters(TChannelState& State, int32_t* Data, size_t Count) {
  size_t events = 0;
  for (auto& filter : State.Filters)
    events += filter->CompressBlock(Data, Count);
  return events;
}

void TApeFrameEncoder::EncodeSingle(TChannelState& State, int32_t* Samples, size_t Count,
                                    TApeRangeCoder& Coder, TApeFrameEvents& Events) {
  for (size_t i = 0; i < Count; ++i)
    Samples[i] = State.Predictor.Compress(Samples[i], 0);
  Events.Predict += State.Predictor.Events();
  Events.Round += ApplyFilters(State, Samples, Count);
  for (size_t i = 0; i < Count; ++i)
    State.Residuals.Encode(Coder, Samples[i]);
  Events.MonoCoded = true;
}

void TApeFrameEncoder::EncodeStereo(int32_t* Mid, int32_t* Side, size_t Count,
                                    TApeRangeCoder& Coder, TApeFrameEvents& Events) {
  TChannelState& mid = FStates[0];
  TChannelState& side = FStates[1];
  // Side is predicted from the previous block's mid, mid from the current
  // block's side; residuals replace the samples once both are done.
  int32_t previousMid = 0;
  for (size_t i = 0; i < Count; ++i) {
    const int32_t s = Side[i];
    const int32_t m = Mid[i];
    Side[i] = side.Predictor.Compress(s, previousMid);
    Mid[i] = mid.Predictor.Compress(m, s);
    previousMid = m;
  }
  Events.Predict += side.Predictor.Events() + mid.Predictor.Events();
  for (size_t f = 0; f < side.Filters.size(); ++f)
    Events.Round += TApeNNFilter::CompressPair(*side.Filters[f], Side, *mid.Filters[f], Mid, Count);
  for (size_t i = 0; i < Count; ++i) {
    side.Residuals.Encode(Coder, Side[i]);
    mid.Residuals.Encode(Coder, Mid[i]);
  }
}

TApeFrameEvents TApeFrameEncoder::Encode(std::vector<int32_t>& Channel0,
                                         std::vector<int32_t>& Channel1, uint32_t Crc,
                                         std::vector<uint8_t>& Out) {
  const size_t count = Channel0.size();
  const bool stereo = FChannels == 2;
  const uint32_t codes =
      ComputeSpecialCodes(FBits, Channel0.data(), stereo ? Channel1.data() : nullptr, count);

  Out.clear();
  Out.reserve(count * FChannels * (FBits / 8) + 4096);
  PutBigEndian32(Out, (Crc >> 1) | (codes != 0 ? 0x80000000u : 0));
  if (codes != 0) PutBigEndian32(Out, codes);

  for (TChannelState& state : FStates)
    state.Reset();
  TApeRangeCoder coder(Out);
  coder.Start();
  TApeFrameEvents events;

  const bool silent = stereo ? (codes & (kSpecialSilenceFirst | kSpecialSilenceSecond)) ==
                                   (kSpecialSilenceFirst | kSpecialSilenceSecond)
                             : (codes & kSpecialSilenceSecond) != 0;
  if (silent) {
    events.MonoCoded = true;
  } else if (!stereo || (codes & kSpecialPseudoStereo) != 0) {
    // Mono, or both channels equal: the mid channel (= channel 0) alone.
    EncodeSingle(FStates[0], Channel0.data(), count, coder, events);
  } else {
    ToMidSide(Channel0.data(), Channel1.data(), count);
    EncodeStereo(Channel0.data(), Channel1.data(), count, coder, events);
  }
  coder.Finish();
  return events;
}

}  // namespace ape
