// Test helpers for the player library: loading it like the system does,
// making real sources with the command-line encoders, and reading PCM.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/uEncodeIntf.h"

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

// A fresh folder under the system's temporary folder, removed afterwards.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

private:
  std::filesystem::path FPath;
};

// Runs a shell command; true when it exits with 0.
bool RunCommand(const std::string& Command);
std::string Quote(const std::filesystem::path& Path);

void WriteBytes(const std::filesystem::path& Path, const std::vector<uint8_t>& Bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& Path);

// Deterministic full-range noise: Count bytes.
std::vector<uint8_t> NoiseBytes(size_t Count, uint32_t Seed);

IDecoderEx* NewDecoder();  // one reference, owned by the caller
// A decoder opened on Path (null when Open fails).
IDecoderEx* OpenDecoder(const std::filesystem::path& Path);
TDecoderInfo InfoOf(IDecoderEx* Decoder);
// Reads until Read returns 0 (or fails) in blocks of BlockSize bytes.
std::vector<uint8_t> ReadToEnd(IDecoderEx* Decoder, int32_t BlockSize = 16384);
std::vector<uint8_t> ReadBytesFrom(IDecoderEx* Decoder, size_t Count);
