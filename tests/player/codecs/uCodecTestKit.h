// Test support for the codec library: loading libcodecs.so as the system
// does, synthetic PCM and driving an encoder the way the encode worker does.
// The file-backed IEncoderCallback, folders and the command-line oracles
// come from tests/support.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "tests/support/uFileCallback.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace codectest {

using morvotest::Quote;
using morvotest::ReadWavData;
using morvotest::RunTool;
using morvotest::TCommandResult;
using morvotest::TFileCallback;
using morvotest::TTempDir;

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
TEncodeResult Drive(IEncoder* Encoder, TFileCallback& Output, const TPcm& Pcm,
                    size_t BlockBytes = 16384);

}  // namespace codectest
