#include "codecs/uDecoderEx.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "codecs/uLxPlayerDllExport.h"

namespace {

// Seconds to 100-ns units, truncated toward zero; values beyond the 64-bit
// range are held at its ends instead of overflowing.
int64_t SecondsToUnits(double Seconds) {
  const double units = std::trunc(Seconds * 10000000.0);
  if (std::isnan(units))
    return 0;
  if (units >= 9.2233720368547758e18)
    return std::numeric_limits<int64_t>::max();
  if (units <= -9.2233720368547758e18)
    return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(units);
}

} // namespace

TDecoderEx::TDecoderEx() {
  CreateDecoder(FDecoder);
}

TDecoderEx::~TDecoderEx() {
  if (FDecoder)
    FDecoder->Release();
}

bool TDecoderEx::Open(const std::u16string& FileName) {
  if (!FDecoder)
    return false;
  // Only the low byte carries the decoder's boolean.
  const bool opened = (FDecoder->Open(FileName.c_str()) & 0xFF) != 0;
  if (opened)
    FDecoder->GetInfo(&FInfo);
  return opened;
}

int32_t TDecoderEx::Read(void* Buffer, int32_t Size) {
  if (!FDecoder)
    return -1;
  return FDecoder->Read(Buffer, Size);
}

void TDecoderEx::Seek(double Seconds) {
  if (!FDecoder)
    return;
  FDecoder->Seek(SecondsToUnits(Seconds));
}
