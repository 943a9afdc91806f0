#include "uMidiDecoder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "uMidiFile.h"
#include "uSoundFont.h"

namespace {

constexpr int kChannels = 2;
constexpr int kBits = 16;
constexpr int kBlockAlign = kChannels * kBits / 8;
constexpr int64_t k100nsPerSecond = 10'000'000;
constexpr int kChunkFrames = 4096;
// MIDI files are small; anything larger is not one worth reading whole.
constexpr uintmax_t kMaxFileBytes = 64u << 20;

bool ReadWholeFile(const std::string& Path, std::vector<uint8_t>& Bytes, std::string& Reason) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(Path, error);
  if (error) {
    Reason = "the file cannot be read (" + error.message() + ")";
    return false;
  }
  if (size > kMaxFileBytes) {
    Reason = "the file is too large for a MIDI file";
    return false;
  }
  std::ifstream file(Path, std::ios::binary);
  Bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) {
    Reason = "the file cannot be read";
    return false;
  }
  return true;
}

// The same quantisation as FluidSynth's own file renderer (floats handed to
// libsndfile with clipping on): scaled to 32 bits, rounded, then the upper
// 16 bits taken. Matching it lets a rendering be checked against the
// synthesiser's command-line tool sample by sample.
int16_t ToSample(float Value) {
  const float scaled = Value * 2147483648.0f;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 1.0 * 0x7FFFFFFF) return 32767;
  if (scaled <= -2147483648.0) return -32768;
  return static_cast<int16_t>(static_cast<int32_t>(std::lrint(scaled)) >> 16);
}

}  // namespace

bool TMidiDecoder::OpenFile(const std::string& Path, std::string& Reason) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(Path, bytes, Reason)) return false;
  std::optional<TMidiSong> song = ParseMidiSong(bytes, Reason);
  if (!song) return false;
  FSoundFont = FindSoundFont(Reason);
  if (FSoundFont.empty()) return false;
  FLibrary = FluidSynthLibrary(Reason);
  if (!FLibrary) return false;
  FSmf = std::move(song->Smf);
  FSongFrames = std::llround(song->Seconds * TMidiRenderer::kSampleRate);
  FTotalFrames = FSongFrames + kReleaseTailFrames;
  return Restart(Reason);
}

TDecoderInfo TMidiDecoder::Info() const {
  TDecoderInfo info{};
  info.BitsPerSample = kBits;
  info.Channels = kChannels;
  info.SampleRate = TMidiRenderer::kSampleRate;
  // The rendered PCM's own rate: nothing was lost before it, so any MP3
  // quality may be asked of it.
  info.Bitrate = TMidiRenderer::kSampleRate * kChannels * kBits / 1000;
  info.Duration = (FTotalFrames * k100nsPerSecond + TMidiRenderer::kSampleRate / 2) /
                  TMidiRenderer::kSampleRate;
  return info;
}

bool TMidiDecoder::Restart(std::string& Reason) {
  FRenderer.reset();
  FPosition = 0;
  FRenderer = TMidiRenderer::Create(*FLibrary, FSoundFont, FSmf, Reason);
  return FRenderer != nullptr;
}

bool TMidiDecoder::Render(int16_t* Out, int64_t Frames) {
  FScratch.resize(kChunkFrames * kChannels);
  while (Frames > 0) {
    if (FPosition == FSongFrames) FRenderer->ReleaseAll();
    // A chunk never crosses the song's end, so the release comes on time.
    int64_t chunk = std::min<int64_t>(Frames, kChunkFrames);
    if (FPosition < FSongFrames) chunk = std::min(chunk, FSongFrames - FPosition);
    if (!FRenderer->Render(FScratch.data(), static_cast<int>(chunk))) return false;
    if (Out) {
      std::transform(FScratch.begin(), FScratch.begin() + chunk * kChannels, Out, ToSample);
      Out += chunk * kChannels;
    }
    FPosition += chunk;
    Frames -= chunk;
  }
  return true;
}

int32_t TMidiDecoder::ReadInto(void* Buffer, int32_t Size) {
  if (!Buffer || Size < 0 || !FRenderer) return -1;
  if (Size > 0 && Size < kBlockAlign) return -1;  // not even one whole sample fits
  const int64_t wanted = std::min<int64_t>(Size / kBlockAlign, FTotalFrames - FPosition);
  if (wanted <= 0) return 0;
  if (!Render(static_cast<int16_t*>(Buffer), wanted)) return -1;
  return static_cast<int32_t>(wanted * kBlockAlign);
}

int32_t TMidiDecoder::SeekTo(int64_t Position) {
  const double exact =
      std::max<double>(0, double(Position)) * TMidiRenderer::kSampleRate / k100nsPerSecond;
  const int64_t target = std::min<int64_t>(std::llround(exact), FTotalFrames);
  std::string reason;
  if (target < FPosition && !Restart(reason)) return -1;
  if (!FRenderer) return -1;
  return Render(nullptr, target - FPosition) ? 0 : -1;
}
