// Whole files read and written byte for byte, and the samples of a WAV file.
// Plain functions, safe on any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvotest {

// The whole file as std::string or std::vector<uint8_t>; empty when it
// cannot be read.
template <class TBytes = std::string> TBytes ReadBytes(const std::filesystem::path& File) {
  std::ifstream In(File, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Replaces File with Bytes; throws when it cannot.
inline void WriteBytes(const std::filesystem::path& File, std::string_view Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), std::streamsize(Bytes.size()));
  if (!Out)
    throw std::runtime_error("cannot write " + File.string());
}

inline void WriteBytes(const std::filesystem::path& File, const std::vector<uint8_t>& Bytes) {
  WriteBytes(File, std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

// The bytes of the "data" chunk of a RIFF/WAVE file; empty when there is
// none. A chunk cut short by the end of the file gives what is there.
template <class TBytes> TBytes WavData(const TBytes& Wav) {
  size_t Pos = 12; // after "RIFF", size, "WAVE"
  while (Pos + 8 <= Wav.size()) {
    uint32_t Size = 0;
    for (int I = 3; I >= 0; --I)
      Size = (Size << 8) | uint8_t(Wav[Pos + 4 + size_t(I)]);
    const bool IsData = Wav[Pos] == 'd' && Wav[Pos + 1] == 'a' && Wav[Pos + 2] == 't' &&
                        Wav[Pos + 3] == 'a';
    if (IsData) {
      const size_t End = std::min(Wav.size(), Pos + 8 + size_t(Size));
      return TBytes(Wav.begin() + long(Pos + 8), Wav.begin() + long(End));
    }
    Pos += 8 + size_t(Size) + (Size & 1);
  }
  return {};
}

inline std::vector<uint8_t> ReadWavData(const std::filesystem::path& File) {
  return WavData(ReadBytes<std::vector<uint8_t>>(File));
}

} // namespace morvotest
