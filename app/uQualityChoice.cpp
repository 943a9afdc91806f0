#include "app/uQualityChoice.h"

#include "params/uEncodeParam.h"

namespace {

int Mp3SelectedIndex(const TMp3Param& Mp3) {
  switch (Mp3.FBitRateMode) {
    case 0: return Mp3.FCbrIndex;
    case 1: return Mp3.FAbrIndex;
    case 2: return Mp3.FVbrIndex;
    default: return 0;
  }
}

}  // namespace

int SelectedQualityIndex(const TEncodeParam& Param) {
  if (auto* Flac = dynamic_cast<const TFlacParam*>(&Param)) return Flac->FQuality;
  if (auto* Mp3 = dynamic_cast<const TMp3Param*>(&Param)) return Mp3SelectedIndex(*Mp3);
  if (auto* Wav = dynamic_cast<const TWavParam*>(&Param)) return Wav->FOutputBps;
  return 0;
}

void StoreQualityIndex(TEncodeParam& Param, int Index) {
  const auto Value = static_cast<uint8_t>(Index);
  if (auto* Mp3 = dynamic_cast<TMp3Param*>(&Param)) {
    if (Mp3->FBitRateMode == 0) Mp3->FCbrIndex = Value;
    else if (Mp3->FBitRateMode == 1) Mp3->FAbrIndex = Value;
    else if (Mp3->FBitRateMode == 2) Mp3->FVbrIndex = Value;
  } else if (auto* Wav = dynamic_cast<TWavParam*>(&Param)) {
    Wav->FOutputBps = Value;
  } else if (auto* Flac = dynamic_cast<TFlacParam*>(&Param)) {
    Flac->FQuality = Value;
  }
}
