// Shared by the APE tests and the APE benchmark: the deterministic test
// signals, MD5 and running FFmpeg.
#pragma once

#include <nettle/md5.h>

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/uCodecInterfaces.h"
#include "tests/support/uFileCallback.h"
#include "tests/support/uTestFiles.h"

namespace apetest {

// A real-file output callback, as the engine's output object stands on one.
using TFileCallback = morvotest::TFileCallback;

struct TPcm {
  int Bits = 16;
  int Channels = 2;
  uint32_t Rate = 44100;
  std::vector<uint8_t> Bytes;  // interleaved, as in a WAV data chunk
  size_t Blocks() const { return Bytes.size() / (Bits / 8 * Channels); }
};

// Appends one sample value in WAV byte layout (8-bit unsigned).
void PutSample(TPcm& Pcm, int32_t Value);

// Deterministic signals: "tri" and "noise" built on a 32-bit LCG.
TPcm MakeTri(int Bits, int Channels, uint32_t Rate, size_t Blocks, uint32_t Seed);
TPcm MakeNoise(int Bits, int Channels, uint32_t Rate, size_t Blocks, uint32_t Seed);
// 73 728 zero blocks, 73 728 pseudo-stereo blocks, 10 ordinary blocks.
TPcm MakeSpecial16();
TPcm MakeSilence(int Bits, int Channels, size_t Blocks);
TPcm MakeSine(int Bits, int Channels, uint32_t Rate, size_t Blocks, double Amplitude);

WAVEFORMATEX FormatOf(const TPcm& Pcm);

struct TEncodeResult {
  int32_t InitResult = -1;
  int32_t EncodeResult = -1;  // the first failing Encode, else 0
  int32_t FinishResult = -1;
  int RefsAfterRelease = 0;  // callback references the encoder left behind
};

// Runs the codec library's APE object: Init, Encode in Chunk-byte pieces,
// Finish, Release.
TEncodeResult EncodeFile(const TPcm& Pcm, int Level, const std::string& Path, size_t Chunk = 16384);

inline std::vector<uint8_t> ReadFile(const std::string& Path) {
  return morvotest::ReadBytes<std::vector<uint8_t>>(Path);
}
std::string Md5Hex(const uint8_t* Data, size_t Bytes);

// Little-endian fields of a written file.
inline uint32_t Le32(const std::vector<uint8_t>& File, size_t At) {
  return File[At] | (File[At + 1] << 8) | (File[At + 2] << 16) | (uint32_t{File[At + 3]} << 24);
}
inline uint16_t Le16(const std::vector<uint8_t>& File, size_t At) {
  return static_cast<uint16_t>(File[At] | (File[At + 1] << 8));
}

// Decodes with the ffmpeg command line tool (CRC checks on, errors fatal);
// false when ffmpeg failed or wrote anything to stderr.
bool FFmpegDecode(const std::string& Path, int Bits, std::vector<uint8_t>& Pcm,
                  std::string& Errors);
// Decodes a music file to interleaved 16-bit PCM at its own rate.
bool FFmpegDecodeMusic(const std::string& Path, TPcm& Pcm, double Seconds);

// A fresh folder for the files of this process's tests, removed with
// everything in it when the process ends.
std::string TempDir();

}  // namespace apetest
