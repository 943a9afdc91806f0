// Test support for the codec library: loading libcodecs.so as the system
// does, a file-backed IEncoderCallback, synthetic PCM, driving an encoder
// the way the encode worker does, and running the command-line oracles.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/uEncodeIntf.h"

namespace codectest {

// The output object of a test: an IEncoderCallback over a real file.
// Failures of the target disk are staged with FailWritesAfter/FailSeeks.
class TFileCallback final : public IEncoderCallback {
public:
  explicit TFileCallback(const std::filesystem::path& Path);
  ~TFileCallback();
  TFileCallback(const TFileCallback&) = delete;
  TFileCallback& operator=(const TFileCallback&) = delete;

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;
  uint32_t MORVO_STDCALL AddRef() override { return ++FRefCount; }
  uint32_t MORVO_STDCALL Release() override { return --FRefCount; }
  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) override;

  void FailWritesAfter(int64_t Bytes) { FWriteBudget = Bytes; }
  void FailSeeks() { FSeeksFail = true; }
  void Close();
  uint32_t RefCount() const { return FRefCount; }

private:
  FILE* FFile = nullptr;
  uint32_t FRefCount = 1;  // the test's own
  int64_t FWriteBudget = -1;  // -1: unlimited
  bool FSeeksFail = false;
};

struct TPcm {
  WAVEFORMATEX Format{};
  std::vector<uint8_t> Bytes;
  uint32_t Frames() const { return uint32_t(Bytes.size() / Format.nBlockAlign); }
};

// Music-like test signal (a few tones with a moving envelope and a little
// noise), deterministic, in the given layout.
TPcm MakePcm(uint32_t Frames, uint16_t Channels, uint16_t Bits, uint32_t Rate);
// Mean absolute sample value scaled to 0..1 of full range.
double MeanLevel(const TPcm& Pcm);

// An encoder of the given class, created through DllGetClassObject and the
// class factory as the system does, plus its parameter interface.
struct TEncoderPair {
  IEncoder* Encoder = nullptr;
  IUnknown* Param = nullptr;
  ~TEncoderPair();
};
TGUID const& ParamIdOf(const TGUID& ClassId);
bool CreateLibraryEncoder(const TGUID& ClassId, TEncoderPair& Pair);
TDllGetClassObject LibraryEntry();

struct TEncodeResult {
  int32_t InitResult = 0;
  bool EncodeFailed = false;
  int32_t FinishResult = 0;
};
// Init, Encode in blocks of at most BlockBytes, Finish: the worker's order.
TEncodeResult Drive(IEncoder* Encoder, TFileCallback& Output, const TPcm& Pcm, size_t BlockBytes = 16384);

struct TCommandResult {
  int ExitCode = -1;
  std::string Output;  // stdout and stderr
};
TCommandResult RunTool(const std::string& Command);
std::string Quote(const std::filesystem::path& Path);

// The bytes of a WAV file's "data" chunk; empty when there is none.
std::vector<uint8_t> ReadWavData(const std::filesystem::path& Path);

// A fresh folder for one test's files, removed with the object.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
  std::filesystem::path FPath;
};

}  // namespace codectest
