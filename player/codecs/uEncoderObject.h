// What the codec library's encoders share: reference counting, the
// interface map (IUnknown, IEncoder and the format's parameter interface),
// the callback reference and the cutting of Encode's byte blocks into whole
// sample frames.
//
// Threading: AddRef and Release are thread-safe; everything else is called by
// one worker thread at a time, in the order parameter calls, Init once,
// Encode any number of times, Finish once, Release.
// Ownership: the object starts with one reference owned by its creator and
// holds one reference to the callback from Init until it is destroyed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "player/codecs/uPcmSamples.h"

template <class TParamIntf, const TGUID& ParamId>
class TEncoderObject : public TComObject<IEncoder, TParamIntf> {
public:
  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEncoder) return this->template Answer<IEncoder>(obj);
    if (iid == ParamId) return this->template Answer<TParamIntf>(obj);
    return this->Refuse(obj);
  }

  int32_t MORVO_STDCALL Init(IEncoderCallback* Callback, const WAVEFORMATEX* Format) override {
    if (FState != TState::Created || !Callback || !Format) return -1;
    FState = TState::Failed;  // until the stream is open
    if (!IsPlainPcm(*Format) || !AcceptsFormat(*Format)) return -1;
    FFormat = *Format;
    FFrameBytes = uint32_t(FFormat.nChannels) * (FFormat.wBitsPerSample / 8);
    Callback->AddRef();
    FCallback = TComPtr<IEncoderCallback>(Callback);
    if (FCallback->Seek(0, 1, &FStartPos) != 0 || !Guarded([this] { return Open(); })) return -1;
    FState = TState::Open;
    return 0;
  }

  int32_t MORVO_STDCALL Encode(const void* Buffer, int32_t ByteCount) override {
    if (FState != TState::Open || ByteCount < 0 || (!Buffer && ByteCount > 0)) return -1;
    const auto* bytes = static_cast<const uint8_t*>(Buffer);
    if (!Guarded([&] { return EncodeBytes(bytes, uint32_t(ByteCount)); })) {
      FState = TState::Failed;
      return -1;
    }
    return 0;
  }

  // Flushes the codec and completes the file's headers; an incomplete last
  // sample frame is dropped. Negative when the file could not be completed.
  int32_t MORVO_STDCALL Finish() override {
    const bool wasOpen = FState == TState::Open;
    const bool closed = wasOpen && Guarded([this] { return Close(); });
    FState = TState::Finished;
    return closed ? 0 : -1;
  }

  int32_t MORVO_STDCALL Reserved1(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved2(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved3(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved4(int32_t, int32_t) override { return 0; }

protected:
  TEncoderObject() = default;

  // The format-specific part. AcceptsFormat sees a PCM record with a
  // supported sample width; Open runs once with FFormat and FCallback set;
  // EncodeFrames receives whole interleaved frames; Close runs once after a
  // successful Open unless a write failed before.
  virtual bool AcceptsFormat(const WAVEFORMATEX& Format) const = 0;
  virtual bool Open() = 0;
  virtual bool EncodeFrames(const uint8_t* Data, uint32_t FrameCount) = 0;
  virtual bool Close() = 0;

  // True from Init on: parameters no longer take effect.
  bool Started() const { return FState != TState::Created; }

  bool WriteOut(const void* Data, size_t Size) {
    return InPieces(static_cast<const uint8_t*>(Data), Size,
                    [this](const uint8_t* p, int32_t n) { return FCallback->Write(p, n); });
  }
  // Reads back what was written before.
  bool ReadIn(void* Data, size_t Size) {
    return InPieces(static_cast<uint8_t*>(Data), Size,
                    [this](uint8_t* p, int32_t n) { return FCallback->Read(p, n); });
  }
  // Positions are counted from where the file stood at Init.
  bool SeekTo(int64_t Position) { return FCallback->Seek(FStartPos + Position, 0, nullptr) == 0; }
  bool SeekToEnd() { return FCallback->Seek(0, 2, nullptr) == 0; }
  bool Tell(int64_t& Position) {
    int64_t absolute = 0;
    if (FCallback->Seek(0, 1, &absolute) != 0) return false;
    Position = absolute - FStartPos;
    return true;
  }

  WAVEFORMATEX FFormat{};
  uint32_t FFrameBytes = 0;

private:
  enum class TState { Created, Open, Failed, Finished };
  static constexpr size_t kMaxTransfer = 1u << 30;

  // The callback moves at most 2^31 - 1 bytes a call: larger transfers go
  // in pieces. Step(pointer, count) gives the callback's result.
  template <class TByte, class TStep> static bool InPieces(TByte* Data, size_t Size, TStep Step) {
    while (Size > 0) {
      const int32_t piece = Size > kMaxTransfer ? int32_t(kMaxTransfer) : int32_t(Size);
      if (Step(Data, piece) != 0) return false;
      Data += piece;
      Size -= size_t(piece);
    }
    return true;
  }

  // No exception (an allocation failing) may cross into the caller, which
  // lives in another module; it counts as a failed step.
  template <class TStep> static bool Guarded(TStep Step) {
    try {
      return Step();
    } catch (...) {
      return false;
    }
  }

  static bool IsPlainPcm(const WAVEFORMATEX& Format) {
    return Format.wFormatTag == WAVE_FORMAT_PCM && Format.nChannels > 0 &&
           Format.nSamplesPerSec > 0 && IsSupportedPcmWidth(Format.wBitsPerSample);
  }

  // A block need not end on a frame boundary: the tail waits in FPartial
  // for the next block.
  bool EncodeBytes(const uint8_t* Data, uint32_t Count) {
    if (!FPartial.empty()) {
      const uint32_t take = std::min<uint32_t>(Count, FFrameBytes - uint32_t(FPartial.size()));
      FPartial.insert(FPartial.end(), Data, Data + take);
      Data += take;
      Count -= take;
      if (FPartial.size() < FFrameBytes) return true;
      if (!EncodeFrames(FPartial.data(), 1)) return false;
      FPartial.clear();
    }
    const uint32_t frames = Count / FFrameBytes;
    if (frames > 0 && !EncodeFrames(Data, frames)) return false;
    FPartial.assign(Data + size_t(frames) * FFrameBytes, Data + Count);
    return true;
  }

  TState FState = TState::Created;
  TComPtr<IEncoderCallback> FCallback;
  int64_t FStartPos = 0;
  std::vector<uint8_t> FPartial;
};
