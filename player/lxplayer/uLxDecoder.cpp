#include "uLxDecoder.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "platform/uCodePage.h"
#include "uCpuUsageControl.h"
#include "uFFmpegDecoder.h"
#include "uMidiDecoder.h"
#include "uMidiFile.h"
#include "uMusepackDecoder.h"

namespace {

// The first bytes of a file, enough to recognise its kind (fewer when the
// file is shorter or cannot be read; FFmpeg then reports the failure).
std::array<uint8_t, 12> FileHead(const std::string& Path, size_t& Count) {
  std::array<uint8_t, 12> head{};
  std::ifstream file(Path, std::ios::binary);
  file.read(reinterpret_cast<char*>(head.data()), head.size());
  Count = static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0));
  return head;
}

std::unique_ptr<TSourceDecoder> DecoderFor(const std::string& Path) {
  size_t count = 0;
  const auto head = FileHead(Path, count);
  if (LooksLikeMidi(std::span(head.data(), count))) return std::make_unique<TMidiDecoder>();
  if (TMusepackDecoder::Recognizes(head.data(), count)) return std::make_unique<TMusepackDecoder>();
  return std::make_unique<TFFmpegDecoder>();
}

}  // namespace

HRESULT MORVO_STDCALL TLxDecoder::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IUnknown) return Answer<IDecoderEx>(obj);
  if (iid == IID_IDecoderFailureInfo) return Answer<IDecoderFailureInfo>(obj);
  return Refuse(obj);
}

bool TLxDecoder::OpenFile(const char16_t* FileName) {
  FDecoder.reset();
  FInfo = TDecoderInfo{};
  FReason.clear();
  FFailed = false;
  if (!FileName) return false;
  const std::string path = platform::WideToPath(FileName);
  std::unique_ptr<TSourceDecoder> decoder = DecoderFor(path);
  std::string reason;
  if (!decoder->OpenFile(path, reason)) {
    FReason = platform::Utf8ToWide(reason);
    return false;
  }
  FInfo = decoder->Info();
  FDecoder = std::move(decoder);
  return true;
}

// No exception crosses the interface: the caller is another library.
int32_t MORVO_STDCALL TLxDecoder::Open(const char16_t* FileName) {
  try {
    return OpenFile(FileName) ? 1 : 0;
  } catch (const std::exception& error) {
    FDecoder.reset();
    FInfo = TDecoderInfo{};
    FReason = platform::Utf8ToWide(error.what());
    return 0;
  } catch (...) {
    FDecoder.reset();
    FInfo = TDecoderInfo{};
    return 0;
  }
}

int32_t MORVO_STDCALL TLxDecoder::Read(void* Buffer, int32_t Size) {
  ThrottleCurrentThread();
  if (!FDecoder || FFailed) return -1;
  try {
    return FDecoder->ReadInto(Buffer, Size);
  } catch (...) {
    FFailed = true;
    return -1;
  }
}

int32_t MORVO_STDCALL TLxDecoder::Seek(int64_t Position) {
  if (!FDecoder) return -1;
  try {
    const int32_t result = FDecoder->SeekTo(Position);
    FFailed = false;
    return result;
  } catch (...) {
    FFailed = true;
    return -1;
  }
}

// The decoder's own info, which after a failed Read says why it failed.
int32_t MORVO_STDCALL TLxDecoder::GetInfo(TDecoderInfo* Info) {
  if (!Info) return -1;
  *Info = FDecoder ? FDecoder->Info() : FInfo;
  if (FFailed && DecoderInfoWord(Info->ReadError) == 0) Info->ReadError = DecoderInfoTag | drReadFailed;
  return 0;
}

int32_t MORVO_STDCALL TLxDecoder::GetFailureReason(char16_t* Buffer, int32_t Capacity) {
  if (Buffer && Capacity > 0) {
    const size_t copied = std::min(FReason.size(), static_cast<size_t>(Capacity - 1));
    std::copy_n(FReason.begin(), copied, Buffer);
    Buffer[copied] = u'\0';
  }
  return static_cast<int32_t>(FReason.size());
}
