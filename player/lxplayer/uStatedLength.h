// A WAVE file's own header, read from the file itself: FFmpeg trusts the
// file's size over a header that promises more, so it cannot tell a
// truncated WAV from a short one; and a plain PCM file needs nothing else
// to be read.
// Thread-safe (reads the file through its own stream).
#pragma once

#include <cstdint>
#include <istream>
#include <string>

struct TWavHeader {
  bool Sized64 = false;  // RF64 or BW64: sizes of 4 GiB and more in "ds64"
  uint16_t FormatTag = 0;
  uint16_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t ByteRate = 0;
  uint16_t BlockAlign = 0;
  uint16_t BitsPerSample = 0;
  // WAVE_FORMAT_EXTENSIBLE only: the bits that carry the signal and whether
  // the sub-format is integer PCM.
  uint16_t ValidBits = 0;
  bool PcmSubFormat = false;
  uint64_t DataOffset = 0;  // where the "data" chunk's payload starts
  uint64_t DataSize = 0;
  bool OpenDataSize = false;  // written as a stream that never set its size
};

// The header up to the start of the "data" chunk's payload, read from the
// start of In (left after the header); false when the file is no RIFF,
// RF64 or BW64 WAVE, or has no "fmt " before "data".
bool ReadWavHeader(std::istream& In, TWavHeader& Header);

// Sample frames the "data" chunk of a RIFF, RF64 or BW64 WAVE file states
// (its size over the "fmt " block align); -1 when the header states no
// usable size (a stream written with an open size, a missing chunk, a
// file that is not WAVE).
int64_t WavStatedFrames(const std::string& Path);
