// The 44-byte header of a plain PCM WAV file, for tests and benchmarks that
// write their own images sample by sample. Plain functions, any thread.
#pragma once

#include <cstdint>
#include <ostream>

namespace morvotest {

inline void PutLittleEndian(std::ostream& Out, uint32_t Value, int Bytes) {
  for (int I = 0; I < Bytes; ++I)
    Out.put(char((Value >> (8 * I)) & 0xFF));
}

// RIFF, fmt and data chunk headers of 16-bit PCM; DataBytes of samples
// follow.
inline void WritePcm16WavHeader(std::ostream& Out, uint32_t Rate, uint16_t Channels,
                                uint32_t DataBytes) {
  const uint32_t BlockAlign = 2u * Channels;
  Out.write("RIFF", 4);
  PutLittleEndian(Out, 36 + DataBytes, 4);
  Out.write("WAVEfmt ", 8);
  PutLittleEndian(Out, 16, 4);
  PutLittleEndian(Out, 1, 2);
  PutLittleEndian(Out, Channels, 2);
  PutLittleEndian(Out, Rate, 4);
  PutLittleEndian(Out, Rate * BlockAlign, 4);
  PutLittleEndian(Out, BlockAlign, 2);
  PutLittleEndian(Out, 16, 2);
  Out.write("data", 4);
  PutLittleEndian(Out, DataBytes, 4);
}

}  // namespace morvotest
