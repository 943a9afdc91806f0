// Whole files read and written byte for byte, and the format and samples of a
// WAV file. Plain functions, safe on any thread.
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
  if (!Out) throw std::runtime_error("cannot write " + File.string());
}

inline void WriteBytes(const std::filesystem::path& File, const std::vector<uint8_t>& Bytes) {
  WriteBytes(File, std::string_view(reinterpret_cast<const char*>(Bytes.data()), Bytes.size()));
}

// An RF64 file of Seconds of silence (44.1 kHz, stereo, 16 bits) that takes
// no room on disk: long work for a converter at no cost.
inline void MakeSparseRf64(const std::filesystem::path& File, uint64_t Seconds) {
  const uint64_t Data = Seconds * 44100 * 4;
  std::string H;
  const auto Put = [&H](uint64_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I)
      H += char((Value >> (8 * I)) & 0xFF);
  };
  H += "RF64";
  Put(0xFFFFFFFFu, 4);
  H += "WAVEds64";
  Put(28, 4);
  Put(Data + 80 - 8, 8);  // the RIFF size: the whole file less 8 bytes
  Put(Data, 8);
  Put(Seconds * 44100, 8);
  Put(0, 4);
  H += "fmt ";
  Put(16, 4);
  Put(1, 2);
  Put(2, 2);
  Put(44100, 4);
  Put(44100 * 4, 4);
  Put(4, 2);
  Put(16, 2);
  H += "data";
  Put(0xFFFFFFFFu, 4);
  WriteBytes(File, H);
  std::filesystem::resize_file(File, H.size() + Data);
}

// A RIFF/WAVE file taken apart: the format fields and the bytes of the
// "data" chunk. A chunk cut short by the end of the file gives what is there.
template <class TBytes> struct TWav {
  uint16_t Channels = 0;
  uint32_t Rate = 0;
  uint16_t Bits = 0;
  TBytes Pcm;
  bool Valid = false;  // a RIFF/WAVE header and a data chunk were found
};

template <class TBytes> TWav<TBytes> ParseWav(const TBytes& Wav) {
  const auto Le = [&Wav](size_t At, int Bytes) {
    uint32_t Value = 0;
    for (int I = Bytes - 1; I >= 0; --I)
      Value = (Value << 8) | uint8_t(Wav[At + size_t(I)]);
    return Value;
  };
  const auto IdAt = [&Wav](size_t At, std::string_view Id) {
    return std::equal(Id.begin(), Id.end(), Wav.begin() + long(At));
  };
  TWav<TBytes> Result;
  const bool IsRiffWave = Wav.size() >= 12 && IdAt(0, "RIFF") && IdAt(8, "WAVE");
  size_t Pos = 12;  // after "RIFF", size, "WAVE"
  while (Pos + 8 <= Wav.size()) {
    const uint32_t Size = Le(Pos + 4, 4);
    if (IdAt(Pos, "fmt ") && Pos + 24 <= Wav.size()) {
      Result.Channels = uint16_t(Le(Pos + 10, 2));
      Result.Rate = Le(Pos + 12, 4);
      Result.Bits = uint16_t(Le(Pos + 22, 2));
    } else if (IdAt(Pos, "data")) {
      const size_t End = std::min(Wav.size(), Pos + 8 + size_t(Size));
      Result.Pcm = TBytes(Wav.begin() + long(Pos + 8), Wav.begin() + long(End));
      Result.Valid = IsRiffWave;
      return Result;
    }
    Pos += 8 + size_t(Size) + (Size & 1);
  }
  return Result;
}

// The bytes of the "data" chunk of a RIFF/WAVE file; empty when there is
// none.
template <class TBytes> TBytes WavData(const TBytes& Wav) { return ParseWav(Wav).Pcm; }

inline std::vector<uint8_t> ReadWavData(const std::filesystem::path& File) {
  return WavData(ReadBytes<std::vector<uint8_t>>(File));
}

}  // namespace morvotest
