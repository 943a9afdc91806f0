#include "app/uQualityChoice.h"

#include "params/uEncodeParam.h"

namespace {

// The field that holds the list index of MP3's current bitrate mode; null
// for an unknown mode.
uint8_t* Mp3IndexField(TMp3Param& Mp3) {
  switch (Mp3.FBitRateMode) {
  case 0:
    return &Mp3.FCbrIndex;
  case 1:
    return &Mp3.FAbrIndex;
  case 2:
    return &Mp3.FVbrIndex;
  default:
    return nullptr;
  }
}

// The field of Param that the quality box stands for; null for APE and for
// MP3 in an unknown mode.
uint8_t* QualityIndexField(TEncodeParam& Param) {
  if (auto* Flac = dynamic_cast<TFlacParam*>(&Param)) return &Flac->FQuality;
  if (auto* Mp3 = dynamic_cast<TMp3Param*>(&Param)) return Mp3IndexField(*Mp3);
  if (auto* Wav = dynamic_cast<TWavParam*>(&Param)) return &Wav->FOutputBps;
  return nullptr;
}

}  // namespace

int SelectedQualityIndex(const TEncodeParam& Param) {
  // Only read through the field pointer.
  const uint8_t* Field = QualityIndexField(const_cast<TEncodeParam&>(Param));
  return Field ? *Field : 0;
}

void StoreQualityIndex(TEncodeParam& Param, int Index) {
  if (uint8_t* Field = QualityIndexField(Param)) *Field = static_cast<uint8_t>(Index);
}

int HighestAcceptedQualityIndex(const TMp3Param& Mp3, int32_t SourceKbps) {
  if (!Mp3.HasFixedBitrate()) return -1;
  // The table runs from the highest bitrate down.
  for (size_t I = 0; I < Mp3Bitrates.size(); ++I)
    if (Mp3Bitrates[I] <= SourceKbps) return static_cast<int>(I);
  return -1;
}
