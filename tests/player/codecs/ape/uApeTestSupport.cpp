#include "tests/player/codecs/ape/uApeTestSupport.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "player/codecs/ape/uApeEncoderObject.h"
#include "tests/support/uTempDir.h"

namespace apetest {

namespace {

struct TLcg {
  uint32_t State;
  uint32_t Next() { return State = State * 1664525u + 1013904223u; }
};

int32_t Tri(size_t Block, int Channel) {
  const auto t = static_cast<int32_t>((Block * (Channel + 3)) % 400);
  return (t < 200 ? t : 400 - t) * 100 - 10000;
}

TPcm Empty(int Bits, int Channels, uint32_t Rate) {
  TPcm pcm;
  pcm.Bits = Bits;
  pcm.Channels = Channels;
  pcm.Rate = Rate;
  return pcm;
}

}  // namespace

void PutSample(TPcm& Pcm, int32_t Value) {
  switch (Pcm.Bits) {
  case 8:
    Pcm.Bytes.push_back(static_cast<uint8_t>(Value + 128));
    break;
  case 16:
    Pcm.Bytes.push_back(static_cast<uint8_t>(Value));
    Pcm.Bytes.push_back(static_cast<uint8_t>(Value >> 8));
    break;
  case 24:
    for (int i = 0; i < 3; ++i)
      Pcm.Bytes.push_back(static_cast<uint8_t>(Value >> (8 * i)));
    break;
  default:
    for (int i = 0; i < 4; ++i)
      Pcm.Bytes.push_back(static_cast<uint8_t>(Value >> (8 * i)));
    break;
  }
}

TPcm MakeTri(int Bits, int Channels, uint32_t Rate, size_t Blocks, uint32_t Seed) {
  TPcm pcm = Empty(Bits, Channels, Rate);
  TLcg lcg{Seed};
  for (size_t i = 0; i < Blocks; ++i)
    for (int c = 0; c < Channels; ++c) {
      const uint32_t r = lcg.Next();
      const int32_t tri = Tri(i, c);
      int32_t v = 0;
      if (Bits == 8) v = tri / 100 + static_cast<int32_t>((r >> 24) & 15) - 8;
      if (Bits == 16) v = tri + static_cast<int32_t>((r >> 16) & 0x3FF) - 512;
      if (Bits == 24) v = tri * 256 + static_cast<int32_t>((r >> 8) & 0x3FFFF) - 131072;
      PutSample(pcm, v);
    }
  return pcm;
}

TPcm MakeNoise(int Bits, int Channels, uint32_t Rate, size_t Blocks, uint32_t Seed) {
  TPcm pcm = Empty(Bits, Channels, Rate);
  TLcg lcg{Seed};
  for (size_t i = 0; i < Blocks * Channels; ++i)
    PutSample(pcm, static_cast<int32_t>(lcg.Next() >> (32 - Bits)) - (1 << (Bits - 1)));
  return pcm;
}

TPcm MakeSpecial16() {
  TPcm tri = MakeTri(16, 2, 44100, 73738, 777);
  TPcm pcm = Empty(16, 2, 44100);
  pcm.Bytes.assign(73728 * 4, 0);
  for (size_t i = 0; i < 73728; ++i) {
    const uint8_t* left = &tri.Bytes[i * 4];
    pcm.Bytes.insert(pcm.Bytes.end(), {left[0], left[1], left[0], left[1]});
  }
  pcm.Bytes.insert(pcm.Bytes.end(), tri.Bytes.begin() + 73728 * 4, tri.Bytes.end());
  return pcm;
}

TPcm MakeSilence(int Bits, int Channels, size_t Blocks) {
  TPcm pcm = Empty(Bits, Channels, 44100);
  for (size_t i = 0; i < Blocks * Channels; ++i)
    PutSample(pcm, 0);
  return pcm;
}

TPcm MakeSine(int Bits, int Channels, uint32_t Rate, size_t Blocks, double Amplitude) {
  TPcm pcm = Empty(Bits, Channels, Rate);
  const double full = std::ldexp(1.0, Bits - 1) - 1;
  for (size_t i = 0; i < Blocks; ++i)
    for (int c = 0; c < Channels; ++c)
      PutSample(pcm, static_cast<int32_t>(
                         std::lround(full * Amplitude * std::sin(i * (0.031 + 0.007 * c)))));
  return pcm;
}

WAVEFORMATEX FormatOf(const TPcm& Pcm) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<uint16_t>(Pcm.Channels);
  f.nSamplesPerSec = Pcm.Rate;
  f.nBlockAlign = static_cast<uint16_t>(Pcm.Bits / 8 * Pcm.Channels);
  f.nAvgBytesPerSec = f.nBlockAlign * Pcm.Rate;
  f.wBitsPerSample = static_cast<uint16_t>(Pcm.Bits);
  return f;
}

TEncodeResult EncodeFile(const TPcm& Pcm, int Level, const std::string& Path, size_t Chunk) {
  TEncodeResult result;
  TFileCallback output(Path);
  IEncoder* encoder = CreateApeEncoderObject();
  if (!encoder) return result;
  IApeEncoderParam* param = nullptr;
  encoder->QueryInterface(IID_IApeEncoderParam, reinterpret_cast<void**>(&param));
  if (param) {
    param->SetCompressionLevel(Level);
    param->Release();
  }
  const WAVEFORMATEX format = FormatOf(Pcm);
  result.InitResult = encoder->Init(&output, &format);
  result.EncodeResult = 0;
  if (result.InitResult == 0)
    for (size_t done = 0; done < Pcm.Bytes.size() && result.EncodeResult >= 0; done += Chunk) {
      const size_t n = std::min(Chunk, Pcm.Bytes.size() - done);
      result.EncodeResult = encoder->Encode(Pcm.Bytes.data() + done, static_cast<int32_t>(n));
    }
  result.FinishResult = encoder->Finish();
  encoder->Release();
  // The callback counts the test's own reference too.
  result.RefsAfterRelease = static_cast<int>(output.RefCount()) - 1;
  return result;
}

std::string Md5Hex(const uint8_t* Data, size_t Bytes) {
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, Bytes, Data);
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&ctx, sizeof(digest), digest);
  static const char* hex = "0123456789abcdef";
  std::string text;
  for (uint8_t b : digest) {
    text += hex[b >> 4];
    text += hex[b & 15];
  }
  return text;
}

namespace {

// Runs a shell command; its stdout into Out, its stderr into Errors.
int RunCapture(const std::string& Command, std::vector<uint8_t>& Out, std::string& Errors) {
  const std::string errFile = TempDir() + "/stderr.txt";
  FILE* pipe = popen((Command + " 2>" + errFile).c_str(), "r");
  if (!pipe) return -1;
  uint8_t buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
    Out.insert(Out.end(), buffer, buffer + n);
  const int status = pclose(pipe);
  const std::vector<uint8_t> err = ReadFile(errFile);
  Errors.assign(err.begin(), err.end());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool FFmpegDecode(const std::string& Path, int Bits, std::vector<uint8_t>& Pcm,
                  std::string& Errors) {
  const char* format = Bits == 8 ? "u8" : (Bits == 16 ? "s16le" : "s24le");
  Pcm.clear();
  const int rc = RunCapture("ffmpeg -nostdin -v error -err_detect crccheck+explode -i '" + Path +
                                "' -f " + format + " -",
                            Pcm, Errors);
  return rc == 0 && Errors.empty();
}

bool FFmpegDecodeMusic(const std::string& Path, TPcm& Pcm, double Seconds) {
  Pcm = Empty(16, 2, 44100);
  std::string errors;
  const int rc = RunCapture("ffmpeg -nostdin -v error -i '" + Path + "' -t " +
                                std::to_string(Seconds) + " -ac 2 -ar 44100 -f s16le -",
                            Pcm.Bytes, errors);
  return rc == 0 && !Pcm.Bytes.empty();
}

std::string TempDir() {
  static const morvotest::TTempDir dir;
  return dir.Path().string();
}

}  // namespace apetest
