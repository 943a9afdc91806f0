#include "tests/player/codecs/uCodecTestKit.h"

#include <array>
#include <cmath>
#include <random>

#include "tests/support/uBuiltLibrary.h"

namespace codectest {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// PCM

namespace {

int32_t FullScale(uint16_t Bits) { return Bits == 32 ? 2147483647 : (1 << (Bits - 1)) - 1; }

void StoreSample(uint8_t* Dest, uint16_t Bits, int32_t Value) {
  if (Bits == 8) {
    Dest[0] = uint8_t(Value + 128);
    return;
  }
  for (int i = 0; i < Bits / 8; ++i)
    Dest[i] = uint8_t(uint32_t(Value) >> (8 * i));
}

int32_t LoadSample(const uint8_t* Source, uint16_t Bits) {
  if (Bits == 8) return int32_t(Source[0]) - 128;
  uint32_t raw = 0;
  for (int i = 0; i < Bits / 8; ++i)
    raw |= uint32_t(Source[i]) << (8 * i);
  const int shift = 32 - Bits;
  return int32_t(raw << shift) >> shift;
}

}  // namespace

TPcm MakePcm(uint32_t Frames, uint16_t Channels, uint16_t Bits, uint32_t Rate) {
  TPcm pcm;
  pcm.Format = {WAVE_FORMAT_PCM,
                Channels,
                Rate,
                Rate * Channels * (Bits / 8u),
                uint16_t(Channels * (Bits / 8)),
                Bits,
                0};
  pcm.Bytes.resize(size_t(Frames) * pcm.Format.nBlockAlign);
  std::mt19937 noise(12345);
  std::uniform_real_distribution<double> jitter(-1.0, 1.0);
  const double peak = 0.5 * FullScale(Bits);
  const std::array<double, 3> tones{220.0, 554.37, 1318.5};
  uint8_t* out = pcm.Bytes.data();
  for (uint32_t f = 0; f < Frames; ++f) {
    const double t = double(f) / Rate;
    const double envelope = 0.6 + 0.4 * std::sin(2 * M_PI * 0.7 * t);
    for (uint16_t c = 0; c < Channels; ++c) {
      double v = 0;
      for (size_t k = 0; k < tones.size(); ++k)
        v += std::sin(2 * M_PI * tones[k] * (1 + 0.01 * c) * t + k) / 3.0;
      v = envelope * v + 0.02 * jitter(noise);
      StoreSample(out, Bits, int32_t(std::lround(v * peak)));
      out += Bits / 8;
    }
  }
  return pcm;
}

double MeanLevel(const TPcm& Pcm) {
  const uint16_t bits = Pcm.Format.wBitsPerSample;
  const size_t count = Pcm.Bytes.size() / (bits / 8);
  if (count == 0) return 0;
  double sum = 0;
  for (size_t i = 0; i < count; ++i)
    sum += std::fabs(double(LoadSample(Pcm.Bytes.data() + i * (bits / 8), bits)));
  return sum / count / FullScale(bits);
}

// ---------------------------------------------------------------------------
// The library

TDllGetClassObject LibraryEntry() {
  // Loaded once for the whole test program, as the system keeps it loaded.
  static void* const handle = morvotest::OpenBuiltLibrary("libcodecs.so");
  return morvotest::BuiltEntry<TDllGetClassObject>(handle, "DllGetClassObject");
}

TEncoderPair::~TEncoderPair() {
  if (Param) Param->Release();
  if (Encoder) Encoder->Release();
}

const TGUID& ParamIdOf(const TGUID& ClassId) {
  if (ClassId == CLSID_Mp3Encoder) return IID_ILameStreamEncoder;
  if (ClassId == CLSID_ApeEncoder) return IID_IApeEncoderParam;
  return IID_IFlacEncoderParam;
}

bool CreateLibraryEncoder(const TGUID& ClassId, TEncoderPair& Pair) {
  const TDllGetClassObject entry = LibraryEntry();
  if (!entry) return false;
  IClassFactory* factory = nullptr;
  if (entry(ClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK || !factory)
    return false;
  factory->CreateInstance(nullptr, IID_IEncoder, reinterpret_cast<void**>(&Pair.Encoder));
  factory->Release();
  if (Pair.Encoder)
    Pair.Encoder->QueryInterface(ParamIdOf(ClassId), reinterpret_cast<void**>(&Pair.Param));
  return Pair.Param != nullptr;
}

TEncodeResult Drive(IEncoder* Encoder, TFileCallback& Output, const TPcm& Pcm, size_t BlockBytes) {
  TEncodeResult result;
  result.InitResult = Encoder->Init(&Output, &Pcm.Format);
  if (result.InitResult == 0) {
    for (size_t done = 0; done < Pcm.Bytes.size(); done += BlockBytes) {
      const size_t size = std::min(BlockBytes, Pcm.Bytes.size() - done);
      if (Encoder->Encode(Pcm.Bytes.data() + done, int32_t(size)) < 0) {
        result.EncodeFailed = true;
        break;
      }
    }
  }
  result.FinishResult = Encoder->Finish();
  return result;
}

}  // namespace codectest
