// A small player library for the loader tests, shaped like libLxPlayer.so.
// Ordinal 2 makes a decoder that reads a raw file of 16-bit stereo PCM at
// 44100 Hz; Seek positions it by 100-ns units, so a test sees by the data it
// reads which position arrived; a failed Open gives the reason "no such
// file" through IDecoderFailureInfo. Ordinal 6 makes a CPU-control object that
// only counts. With MORVO_TEST_PARTIAL only ordinals 1 and 2 exist (a library
// the loaders must refuse).
#include <cstdio>
#include <filesystem>
#include <string>

#include "interfaces/uCodecInterfaces.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kFrameBytes = 4;

class TRawDecoder final : public TComObject<IDecoderEx, IDecoderFailureInfo> {
public:
  ~TRawDecoder() override {
    if (FFile) std::fclose(FFile);
  }
  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (iid == IID_IDecoderFailureInfo) return Answer<IDecoderFailureInfo>(obj);
    return TComObject::QueryInterface(iid, obj);
  }
  int32_t MORVO_STDCALL GetFailureReason(char16_t* Buffer, int32_t Capacity) override {
    const std::u16string reason = FFile ? u"" : u"no such file";
    if (Buffer && Capacity > 0) Buffer[reason.copy(Buffer, size_t(Capacity - 1))] = u'\0';
    return int32_t(reason.size());
  }
  int32_t MORVO_STDCALL Open(const char16_t* FileName) override {
    // The path's native (UTF-8) spelling.
    FFile = std::fopen(std::filesystem::path(std::u16string(FileName)).c_str(), "rb");
    if (!FFile) return 0;
    std::fseek(FFile, 0, SEEK_END);
    FFrames = std::ftell(FFile) / kFrameBytes;
    std::fseek(FFile, 0, SEEK_SET);
    return 0x100 | 1;  // only the low byte is the answer
  }
  int32_t MORVO_STDCALL Seek(int64_t Position) override {
    const int64_t frame = Position * kRate / 10000000;
    return FFile ? std::fseek(FFile, long(frame * kFrameBytes), SEEK_SET) : -1;
  }
  int32_t MORVO_STDCALL Reserved1() override { return 0; }
  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Size) override {
    if (!FFile) return -1;
    return int32_t(std::fread(Buffer, 1, size_t(Size / kFrameBytes * kFrameBytes), FFile));
  }
  int32_t MORVO_STDCALL GetInfo(TDecoderInfo* Info) override {
    // The two words the system once left unread hold what an old library
    // might leave there: nothing marked.
    *Info = TDecoderInfo{16, 2, kRate, 1411, -1, 0x00010003, FFrames * 10000000 / kRate};
    return 0;
  }

private:
  std::FILE* FFile = nullptr;
  int64_t FFrames = 0;
};

class TCountingCpuControl final : public TComObject<IThreadCpuUsageControl> {
public:
  int32_t MORVO_STDCALL AttachThread(uint32_t) override { return 0; }
  int32_t MORVO_STDCALL SetProgressCallback(IProgressCallback*) override { return 0; }
  int32_t MORVO_STDCALL SetCpuLimit(int32_t Percent) override { return Percent; }
  int32_t MORVO_STDCALL SetCpuLimitMode(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved1(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved2(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Start() override { return 0; }
  int32_t MORVO_STDCALL Reserved3(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved4(int32_t) override { return 0; }
};

}  // namespace

EXPORT int32_t LxPlayerOrdinal1() { return 0; }

EXPORT int32_t LxPlayerOrdinal2(IDecoderEx** Decoder) {
  *Decoder = new TRawDecoder;
  return 0;
}

#ifndef MORVO_TEST_PARTIAL
EXPORT int32_t LxPlayerOrdinal3() { return 0; }

EXPORT int32_t LxPlayerOrdinal6(IThreadCpuUsageControl** Control) {
  *Control = new TCountingCpuControl;
  return 0;
}
#endif
