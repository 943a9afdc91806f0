#include "codecs/uDecoderEx.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "codecs/uLxPlayerDllExport.h"
#include "infra/uLxLog.h"

namespace {

// A reason is a line of text; a longer one is cut.
constexpr int32_t kMaxReasonLength = 1024;

// Pairs and pictures beyond these sizes are not tags but damage.
constexpr int32_t MaxTagCount = 1024;
constexpr int32_t MaxTagTextUnits = 1 << 20;
constexpr int32_t MaxPictureBytes = 16 * 1024 * 1024;

std::u16string TagText(IDecoderTags& Tags, int32_t Index, int32_t Part) {
  const int32_t Length = Tags.GetTagText(Index, Part, nullptr, 0);
  if (Length <= 0 || Length > MaxTagTextUnits) return {};
  std::u16string Text(static_cast<size_t>(Length), u'\0');
  const int32_t Copied = Tags.GetTagText(Index, Part, Text.data(), Length);
  if (Copied != Length) return {};
  return Text;
}

// Seconds to 100-ns units, truncated toward zero; values beyond the 64-bit
// range are held at its ends instead of overflowing.
int64_t SecondsToUnits(double Seconds) {
  const double units = std::trunc(Seconds * 10000000.0);
  if (std::isnan(units)) return 0;
  if (units >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (units <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(units);
}

}  // namespace

TDecoderEx::TDecoderEx() { CreateDecoder(FDecoder); }

TDecoderEx::~TDecoderEx() {
  if (FDecoder) FDecoder->Release();
}

bool TDecoderEx::Open(const std::u16string& FileName) {
  FFailureReason.clear();
  if (!FDecoder) return false;
  // Only the low byte carries the decoder's boolean.
  const bool opened = (FDecoder->Open(FileName.c_str()) & 0xFF) != 0;
  if (opened)
    FDecoder->GetInfo(&FInfo);
  else
    FetchFailureReason(FileName);
  return opened;
}

// Decoders of other libraries may not answer the interface; they give no
// reason.
void TDecoderEx::FetchFailureReason(const std::u16string& FileName) {
  IDecoderFailureInfo* info = nullptr;
  if (FDecoder->QueryInterface(IID_IDecoderFailureInfo, reinterpret_cast<void**>(&info)) != S_OK ||
      !info)
    return;
  const int32_t length = info->GetFailureReason(nullptr, 0);
  if (length > 0) {
    FFailureReason.assign(static_cast<size_t>(std::min(length, kMaxReasonLength)), u'\0');
    info->GetFailureReason(FFailureReason.data(), static_cast<int32_t>(FFailureReason.size()) + 1);
    WriteLog(u"TDecoderEx: cannot open " + FileName + u": " + FFailureReason);
  }
  info->Release();
}

int32_t TDecoderEx::Read(void* Buffer, int32_t Size) {
  if (!FDecoder) return -1;
  return FDecoder->Read(Buffer, Size);
}

int32_t TDecoderEx::ReadError() {
  if (!FDecoder) return drReadFailed;
  TDecoderInfo info{};
  if (FDecoder->GetInfo(&info) != 0) return 0;
  return DecoderInfoWord(info.ReadError);
}

bool TDecoderEx::IsLosslessCodec() const {
  return (DecoderInfoWord(FInfo.Flags) & dfLosslessCodec) != 0;
}

void TDecoderEx::Seek(double Seconds) {
  if (!FDecoder) return;
  FDecoder->Seek(SecondsToUnits(Seconds));
}

bool TDecoderEx::ReadMetadata(std::vector<std::pair<std::u16string, std::u16string>>& Pairs,
                              std::vector<uint8_t>& Picture) {
  if (!FDecoder) return false;
  TComPtr<IDecoderTags> Tags;
  if (!Succeeded(
          FDecoder->QueryInterface(IID_IDecoderTags, reinterpret_cast<void**>(Tags.Put()))) ||
      !Tags)
    return false;
  const int32_t Count = std::min(Tags->GetTagCount(), MaxTagCount);
  for (int32_t I = 0; I < Count; ++I) {
    std::u16string Key = TagText(*Tags.Get(), I, 0);
    if (!Key.empty()) Pairs.emplace_back(std::move(Key), TagText(*Tags.Get(), I, 1));
  }
  const int32_t Size = Tags->GetPicture(nullptr, 0);
  if (Size > 0 && Size <= MaxPictureBytes) {
    Picture.assign(static_cast<size_t>(Size), 0);
    if (Tags->GetPicture(Picture.data(), Size) != Size) Picture.clear();
  }
  return true;
}
