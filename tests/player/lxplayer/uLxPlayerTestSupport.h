// Test helpers for the player library: loading it like the system does and
// reading PCM from its decoders. Folders, files and the command-line
// encoders that make real sources come from tests/support.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

// libLxPlayer.so opened with dlopen from the build's bin folder and its
// ordinal entries; loaded once per test program.
struct TPlayerLibrary {
  void* Handle = nullptr;
  TLxPlayerOrdinalVoid Ordinal1 = nullptr;
  TLxPlayerCreateDecoder Ordinal2 = nullptr;
  TLxPlayerOrdinalVoid Ordinal3 = nullptr;
  TLxPlayerCreateCpuControl Ordinal6 = nullptr;

  static TPlayerLibrary& Get();
};

using morvotest::Quote;
using morvotest::RunCommand;
using morvotest::TTempDir;
using morvotest::WriteBytes;

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& Path) {
  return morvotest::ReadBytes<std::vector<uint8_t>>(Path);
}

// Deterministic full-range noise: Count bytes.
std::vector<uint8_t> NoiseBytes(size_t Count, uint32_t Seed);

IDecoderEx* NewDecoder();  // one reference, owned by the caller
// A decoder opened on Path (null when Open fails).
IDecoderEx* OpenDecoder(const std::filesystem::path& Path);
TDecoderInfo InfoOf(IDecoderEx* Decoder);
// Reads until Read returns 0 (or fails) in blocks of BlockSize bytes.
std::vector<uint8_t> ReadToEnd(IDecoderEx* Decoder, int32_t BlockSize = 16384);
std::vector<uint8_t> ReadBytesFrom(IDecoderEx* Decoder, size_t Count);
// The decoder's reason for its last failed Open (UTF-8), through
// IDecoderFailureInfo; empty when it gives none.
std::string FailureReason(IDecoderEx* Decoder);
