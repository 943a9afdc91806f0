#include "uLxDecoder.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "platform/uCodePage.h"
#include "uCdTrackDecoder.h"
#include "uCpuUsageControl.h"
#include "uFFmpegModule.h"
#include "uMidiDecoder.h"
#include "uMidiFile.h"
#include "uMusepackDecoder.h"
#include "uWavDecoder.h"

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

// The decoder for a file by its first bytes; a plain PCM WAVE file comes
// back already open.
std::unique_ptr<TSourceDecoder> FileDecoderFor(const std::string& Path, bool& Opened,
                                               std::string& Reason) {
  size_t count = 0;
  const auto head = FileHead(Path, count);
  if (LooksLikeMidi(std::span(head.data(), count))) return std::make_unique<TMidiDecoder>();
  if (TMusepackDecoder::Recognizes(head.data(), count)) return std::make_unique<TMusepackDecoder>();
  if (TWavDecoder::LooksLikeWave(head.data(), count)) {
    auto plain = std::make_unique<TWavDecoder>();
    Opened = plain->OpenFile(Path, Reason);
    if (Opened) return plain;
  }
  return NewFFmpegDecoder(Reason);
}

// The decoder that opened Path, or null with Reason.
std::unique_ptr<TSourceDecoder> OpenDecoderFor(const std::string& Path, std::string& Reason) {
  bool opened = false;
  // A CD track is no file on the disk: its name alone decides.
  std::unique_ptr<TSourceDecoder> decoder = TCdTrackDecoder::IsTrackPath(Path)
                                                ? std::make_unique<TCdTrackDecoder>()
                                                : FileDecoderFor(Path, opened, Reason);
  if (!decoder || (!opened && !decoder->OpenFile(Path, Reason))) return nullptr;
  return decoder;
}

}  // namespace

HRESULT MORVO_STDCALL TLxDecoder::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  if (iid == IID_IUnknown) return Answer<IDecoderEx>(obj);
  if (iid == IID_IDecoderFailureInfo) return Answer<IDecoderFailureInfo>(obj);
  if (iid == IID_IDecoderTags) return Answer<IDecoderTags>(obj);
  return Refuse(obj);
}

bool TLxDecoder::OpenFile(const char16_t* FileName) {
  FDecoder.reset();
  FInfo = TDecoderInfo{};
  FReason.clear();
  FTags.clear();
  FPicture.clear();
  FFailed = false;
  if (!FileName) return false;
  const std::string path = platform::WideToPath(FileName);
  std::string reason;
  std::unique_ptr<TSourceDecoder> decoder = OpenDecoderFor(path, reason);
  if (!decoder) {
    FReason = platform::Utf8ToWide(reason);
    return false;
  }
  FInfo = decoder->Info();
  std::vector<std::pair<std::string, std::string>> tags;
  decoder->CollectTags(tags, FPicture);
  for (const auto& [key, value] : tags)
    FTags.emplace_back(platform::Utf8ToWide(key), platform::Utf8ToWide(value));
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
    FTags.clear();
    FPicture.clear();
    FReason = platform::Utf8ToWide(error.what());
    return 0;
  } catch (...) {
    FDecoder.reset();
    FInfo = TDecoderInfo{};
    FTags.clear();
    FPicture.clear();
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
  if (FFailed && DecoderInfoWord(Info->ReadError) == 0)
    Info->ReadError = DecoderInfoTag | drReadFailed;
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

int32_t MORVO_STDCALL TLxDecoder::GetTagCount() { return static_cast<int32_t>(FTags.size()); }

int32_t MORVO_STDCALL TLxDecoder::GetTagText(int32_t Index, int32_t Part, char16_t* Buffer,
                                             int32_t Capacity) {
  if (Index < 0 || static_cast<size_t>(Index) >= FTags.size() || (Part != 0 && Part != 1))
    return -1;
  const std::u16string& text = Part == 0 ? FTags[Index].first : FTags[Index].second;
  if (Buffer && Capacity > 0)
    std::copy_n(text.data(), std::min<size_t>(text.size(), Capacity), Buffer);
  return static_cast<int32_t>(text.size());
}

int32_t MORVO_STDCALL TLxDecoder::GetPicture(void* Buffer, int32_t Capacity) {
  if (Buffer && Capacity > 0)
    std::copy_n(FPicture.data(), std::min<size_t>(FPicture.size(), Capacity),
                static_cast<uint8_t*>(Buffer));
  return static_cast<int32_t>(FPicture.size());
}
