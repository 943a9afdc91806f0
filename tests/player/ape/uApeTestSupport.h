// Shared by the APE tests and the APE benchmark: the deterministic test
// signals, MD5 and running FFmpeg.
#pragma once

#include <nettle/md5.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/uEncodeIntf.h"
#include "tests/support/uFileCallback.h"

namespace apetest {

// A real-file output callback, as the engine's output object stands on one.
using TFileCallback = morvotest::TFileCallback;

struct TPcm {
  int Bits = 16;
  int Channels = 2;
  uint32_t Rate = 44100;
  std::vector<uint8_t> Bytes; // interleaved, as in a WAV data chunk
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
  int32_t EncodeResult = -1; // the first failing Encode, else 0
  int32_t FinishResult = -1;
  int RefsAfterRelease = 0; // callback references the encoder left behind
};

// Runs the codec library's APE object: Init, Encode in Chunk-byte pieces,
// Finish, Release.
TEncodeResult EncodeFile(const TPcm& Pcm, int Level, const std::string& Path, size_t Chunk = 16384);

std::vector<uint8_t> ReadFile(const std::string& Path);
std::string Md5Hex(const uint8_t* Data, size_t Bytes);

// Decodes with the ffmpeg command line tool (CRC checks on, errors fatal);
// false when ffmpeg failed or wrote anything to stderr.
bool FFmpegDecode(const std::string& Path, int Bits, std::vector<uint8_t>& Pcm,
                  std::string& Errors);
// Decodes a music file to interleaved 16-bit PCM at its own rate.
bool FFmpegDecodeMusic(const std::string& Path, TPcm& Pcm, double Seconds);

// A fresh folder for a test's files.
std::string TempDir();

} // namespace apetest
