// The checksums of a CD track computed here, apart from the system's own
// code and in another way (whole track at once, by index ranges), as the
// oracle for the rip report: CRC-32 bit by bit, and the AccurateRip sums
// as AccurateRip defines them.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace cdoracle {

inline uint32_t BitwiseCrc32(const uint8_t* Data, size_t Size) {
  uint32_t Crc = 0xFFFFFFFFu;
  for (size_t I = 0; I < Size; ++I) {
    Crc ^= Data[I];
    for (int Bit = 0; Bit < 8; ++Bit)
      Crc = (Crc >> 1) ^ (0xEDB88320u & (0u - (Crc & 1u)));
  }
  return ~Crc;
}

inline uint32_t BitwiseCrc32(const std::vector<uint8_t>& Data) {
  return BitwiseCrc32(Data.data(), Data.size());
}

struct TAccurateRip {
  uint32_t V1 = 0;
  uint32_t V2 = 0;
};

// Frame i (0-based) weighs i + 1. The disc's first track starts counting at
// frame index 2939 (five sectors but one frame in); the last track stops
// 2940 frames (five sectors) before its end.
inline TAccurateRip AccurateRipOf(const std::vector<uint8_t>& Pcm, bool FirstTrack,
                                  bool LastTrack) {
  const size_t Frames = Pcm.size() / 4;
  const size_t From = FirstTrack ? 5 * 588 - 1 : 0;
  const size_t To = LastTrack ? (Frames > 5 * 588 ? Frames - 5 * 588 : 0) : Frames;
  TAccurateRip Sum;
  for (size_t I = From; I < To; ++I) {
    const uint32_t Sample = uint32_t(Pcm[4 * I]) | uint32_t(Pcm[4 * I + 1]) << 8 |
                            uint32_t(Pcm[4 * I + 2]) << 16 | uint32_t(Pcm[4 * I + 3]) << 24;
    const uint64_t Product = uint64_t(Sample) * (I + 1);
    Sum.V1 += uint32_t(Product & 0xFFFFFFFFu);
    Sum.V2 += uint32_t(Product & 0xFFFFFFFFu) + uint32_t(Product >> 32);
  }
  return Sum;
}

// A rip report's track lines, read as a user's tool reads them.
struct TReportLine {
  std::string Crc32, V1, V2, Status;
};

// The report's track lines by track number ("01", "02", ...).
inline std::map<std::string, TReportLine> TrackLines(const std::string& Report) {
  std::map<std::string, TReportLine> Lines;
  std::istringstream In(Report);
  std::string Line;
  while (std::getline(In, Line)) {
    if (Line.size() < 3 || !isdigit(Line[0]) || !isdigit(Line[1]) || Line[2] != ' ') continue;
    std::istringstream Fields(Line);
    std::string Number, Length, Sectors;
    TReportLine Parsed;
    Fields >> Number >> Length >> Sectors >> Parsed.Crc32 >> Parsed.V1 >> Parsed.V2;
    std::getline(Fields >> std::ws, Parsed.Status);
    Lines[Number] = Parsed;
  }
  return Lines;
}

inline std::string Hex(uint32_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%08X", Value);
  return Text;
}

}  // namespace cdoracle
