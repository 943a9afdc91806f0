// Preparing a task on the worker thread: source checks, the decoder, the
// PCM format and size, the target folder and file, the encoder and its
// parameters. The result code is stored before each step, so the code left
// behind on failure names the step that failed.
#include <cmath>

#include "codecs/uDecoderEx.h"
#include "engine/uEncodeWorker.h"
#include "engine/uEncoderCallBack.h"
#include "engine/uTargetNaming.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "infra/uLxFileUtils.h"
#include "params/uParamManager.h"
#include "platform/uThreads.h"

namespace {

constexpr int64_t HundredNsPerSecond = 10000000;
// A cue track that ends within this much of the source's end runs to the end.
constexpr int64_t TrackEndSlack100ns = 10000;  // 1 ms

// Nearest integer, ties to even.
int64_t RoundEven(double Value) { return static_cast<int64_t>(std::nearbyint(Value)); }

// The first 100-ns position at or after the start of Frame, so that a decoder
// that converts a position to a frame by rounding or truncating lands on it.
// Split into whole seconds to stay far from overflow.
int64_t FirstPositionOfFrame(int64_t Frame, uint32_t Rate) {
  if (Rate == 0 || Frame <= 0) return 0;
  const int64_t seconds = Frame / Rate;
  const int64_t rest = Frame % Rate;
  return seconds * HundredNsPerSecond + (rest * HundredNsPerSecond + Rate - 1) / Rate;
}

// Whether a source counts as lossless by its extension.
bool IsLosslessSource(const std::u16string& Source) {
  const std::u16string ext = LowerCaseText(WideExtractFileExt(Source));
  return !ext.empty() &&
         std::u16string(u"*.wav;*.ape;*.flac;*.cda;").find(ext) != std::u16string::npos;
}

// The PCM range of a cue track in sample frames: both bounds rounded from
// milliseconds the same way, so consecutive tracks tile the source. Integer
// arithmetic, half up: exact for any track length.
int64_t MsToFrame(int64_t Ms, uint32_t SampleRate) {
  return (Ms * static_cast<int64_t>(SampleRate) + 500) / 1000;
}

// The first sample of a CD frame: (mm * 60 + ss) * rate + ff * rate / 75,
// rounded down only where rate / 75 is not whole. Whole seconds apart to
// stay far from overflow.
int64_t CdFrameToSample(int64_t CdFrame, uint32_t SampleRate) {
  constexpr int64_t CdFramesPerSecond = 75;
  return CdFrame / CdFramesPerSecond * SampleRate +
         CdFrame % CdFramesPerSecond * SampleRate / CdFramesPerSecond;
}

}  // namespace

bool TEncodeWorker::Prepare() {
  if (!FTask) return false;
  StoreResult(rcUserAbort);
  if (FActive.load() == 0) return false;
  try {
    StoreResult(rcSourceMissing);
    // A FIFO or device is no source: the decoder would wait on it forever.
    if (!WideSourceFileExists(FTask->FSource)) return false;
    FSourceOpened = 0;
    if (!CheckSourceAndTarget()) {
      platform::Sleep(500);
      return false;
    }
    if (!FSourceOpened) OpenSource();
    StoreResult(rcUserAbort);
    if (Stopped()) return false;
    StoreResult(rcReadFailed);
    if (!FSourceOpened || !HoldSource() || !ComputeWaveFormat() || !CheckTrackBounds())
      return false;
    FLossless = FLossless || FDecoder->IsLosslessCodec();

    const std::u16string folder = FHost->DestPath();
    StoreResult(rcBadFolder);
    if (WideExtractFileDrive(folder).empty()) return false;
    if (!WideDirectoryExists(folder) && !WideForceDirectories(folder)) return false;
    if (!ChooseTarget(folder)) return false;

    StoreResult(rcEncodeFailed);
    // A target that cannot be created fails the task, whatever the encoder
    // would make of an output without a file.
    if (!CreateTemporaryTarget()) return false;
    return SetupEncoder(FTask->FTargetExt);
  } catch (...) {
    return false;
  }
}

// A lossy source may only become MP3. An extension the list does not name
// may still hold a lossless codec (AIFF, ALAC, WavPack ...): the decoder
// knows, so the source is opened to ask it.
bool TEncodeWorker::CheckSourceAndTarget() {
  FLossless = IsLosslessSource(FTask->FSource);
  if (FLossless || LowerCaseText(FTask->FTargetExt) == u".mp3") return true;
  OpenSource();
  if (FSourceOpened && FDecoder->IsLosslessCodec()) return true;
  StoreResult(Stopped() ? rcUserAbort : rcLossyToLossless);
  return false;
}

// Main thread: the player library's loader lives there.
void TEncodeWorker::MakeDecoder() {
  FDecoder.reset();
  if (FActive.load() == 0 || Terminated() || !FTask) return;
  try {
    FDecoder = std::make_unique<TDecoderEx>();
  } catch (...) {
    FDecoder.reset();
  }
}

// Worker thread: opening probes the source (FFmpeg reads and decodes its
// first packets), which must not hold up the main thread or other workers.
void TEncodeWorker::OpenSource() {
  FSourceOpened = 0;
  Synchronized(&TEncodeWorker::MakeDecoder);
  if (!FDecoder) return;
  try {
    FSourceOpened = FDecoder->Open(FTask->FSource) ? 1 : 0;
    if (!FSourceOpened) FDetail = FDecoder->FailureReason();
  } catch (...) {
    FSourceOpened = 0;
  }
}

bool TEncodeWorker::ComputeWaveFormat() {
  if (!FDecoder) return false;
  const TDecoderInfo& info = FDecoder->FInfo;
  const uint32_t bits = static_cast<uint32_t>(info.BitsPerSample) & 0xFFFF;
  const uint32_t channels = info.Channels > 0 ? static_cast<uint32_t>(info.Channels) : 0;
  const uint32_t rate = info.SampleRate > 0 ? static_cast<uint32_t>(info.SampleRate) : 0;
  const uint32_t waveChannels = channels > 1 ? 2 : 1;
  FWaveFormat.wFormatTag = WAVE_FORMAT_PCM;
  FWaveFormat.nChannels = static_cast<uint16_t>(waveChannels);
  FWaveFormat.nSamplesPerSec = rate;
  FWaveFormat.nAvgBytesPerSec =
      static_cast<uint32_t>(RoundEven(bits * double(rate) * waveChannels / 8.0));
  FWaveFormat.nBlockAlign = static_cast<uint16_t>(RoundEven(bits * double(waveChannels) / 8.0));
  FWaveFormat.wBitsPerSample = static_cast<uint16_t>(bits);
  FWaveFormat.cbSize = 0;
  // One frame as the decoder delivers it (its own channel count).
  FFrameBytes = (bits + 7) / 8 * channels;

  FCueTrack = FTask->FKind == tkCueTrack;
  FTrackToEnd = false;
  FSeekPosition = 0;
  const int64_t duration = info.Duration > 0 ? info.Duration : 0;
  // Frames of the whole source, rounded from its duration.
  const int64_t sourceFrames = RoundEven(static_cast<double>(duration) * rate / HundredNsPerSecond);
  int64_t frames = 0;
  if (FTask->FKind == tkWholeFile) {
    frames = sourceFrames;
  } else if (FCueTrack && FTask->FStartFrame >= 0) {
    // The exact cut: a track ends at the next one's first sample, so the
    // tracks of a source join up without a sample lost or doubled.
    const int64_t first = CdFrameToSample(FTask->FStartFrame, rate);
    int64_t end = FTask->FEndFrame < 0 ? sourceFrames : CdFrameToSample(FTask->FEndFrame, rate);
    FTrackToEnd = FTask->FEndFrame < 0 || (duration > 0 && end >= sourceFrames);
    if (FTrackToEnd) end = std::max(end, sourceFrames);
    frames = end > first ? end - first : 0;
    FSeekPosition = FirstPositionOfFrame(first, rate);
  } else if (FCueTrack) {
    const int64_t first = MsToFrame(FTask->FStartMs, rate);
    int64_t end = MsToFrame(FTask->FEndMs, rate);
    FTrackToEnd = duration > 0 && int64_t(FTask->FEndMs) * 10000 + TrackEndSlack100ns > duration;
    if (FTrackToEnd) end = std::max(end, sourceFrames);
    frames = end > first ? end - first : 0;
    // The first 100-ns position that lies on or after the first frame.
    FSeekPosition = FirstPositionOfFrame(first, rate);
  }
  FTotalBytes = static_cast<uint64_t>(frames) * FFrameBytes;
  return true;
}

// A track must end after it starts; nothing is created for one that does not.
bool TEncodeWorker::CheckTrackBounds() {
  if (!FCueTrack) return true;
  if (FTask->FStartFrame >= 0)
    return (FTask->FEndFrame < 0 || FTask->FEndFrame > FTask->FStartFrame) && FTotalBytes > 0;
  return FTask->FEndMs > FTask->FStartMs && FTask->FStartMs >= 0 && FTotalBytes > 0;
}

bool TEncodeWorker::SetupEncoder(const std::u16string& TargetExt) {
  const std::u16string ext = LowerCaseText(TargetExt);
  const bool lossless = FLossless;
  TFormatType type;
  if (ext == u".mp3")
    type = ftMP3;
  else if (lossless && ext == u".ape")
    type = ftAPE;
  else if (lossless && ext == u".flac")
    type = ftFLAC;
  else if (lossless && ext == u".wav")
    type = ftWAV;
  else
    return false;

  TEncodeParam* settings = FHost->FindParam(FTask->FParamId);
  IEncoder* encoder = nullptr;
  IUnknown* param = nullptr;
  const bool made = CreateEncoder(type, encoder, param);
  FEncoder = TComPtr<IEncoder>(encoder);
  TComPtr<IUnknown> paramRef(param);
  if (!made || !param || !settings || !FEncoder) return false;

  const double samples = SamplesPerChannel(static_cast<int64_t>(FTotalBytes),
                                           FWaveFormat.wBitsPerSample, FWaveFormat.nChannels);
  switch (type) {
  case ftAPE:
    if (auto* ape = dynamic_cast<TApeParam*>(settings))
      ape->ApplyTo(*static_cast<IApeEncoderParam*>(param));
    return true;
  case ftFLAC:
    if (auto* flac = dynamic_cast<TFlacParam*>(settings))
      flac->ApplyTo(*static_cast<IFlacEncoderParam*>(param), samples);
    return true;
  case ftWAV:
    // "原始比特" keeps the width the source decodes to.
    if (auto* wav = dynamic_cast<TWavParam*>(settings))
      wav->ApplyTo(*static_cast<IWavEncoderParam*>(param), FWaveFormat.wBitsPerSample);
    return true;
  default:
    return SetupMp3(param, settings, lossless, samples);
  }
}

bool TEncodeWorker::SetupMp3(IUnknown* Param, TEncodeParam* Settings, bool Lossless,
                             double Samples) {
  auto* mp3 = dynamic_cast<TMp3Param*>(Settings);
  if (!mp3) return true;
  auto& lame = *static_cast<ILameStreamEncoder*>(Param);
  mp3->ApplyBitrateTo(lame);
  if (mp3->HasFixedBitrate()) {
    const int32_t chosen = mp3->ChosenBitrate();
    if (!Lossless && chosen > FDecoder->FInfo.Bitrate) {
      StoreResult(rcLowToHigh);
      platform::Sleep(100);
      return false;
    }
    if (Lossless && chosen < 192) {
      StoreResult(rcMp3TooLow);
      return false;
    }
  }
  TMp3Param::ApplySampleCount(lame, Samples);
  return true;
}
