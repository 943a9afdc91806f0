#include "uFFmpegDecoder.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int64_t k100nsPerSecond = 10'000'000;
// A stream that stops less than this short of its stated length (a header
// that counts a partial last sample) still counts as whole.
constexpr int64_t kShortfallSamplesPerSecond = 1000;  // 1 ms
}  // namespace

TFFmpegDecoder::TFFmpegDecoder() : FFrame(av_frame_alloc()) {}

TFFmpegDecoder::~TFFmpegDecoder() {
  Close();
  av_frame_free(&FFrame);
}

void TFFmpegDecoder::Close() {
  FSource.reset();
  FConverter.reset();
  FPending.clear();
  FPendingPos = 0;
  FInfo = TDecoderInfo{};
  FLayout = TPcmLayout{};
  FEndSample = -1;
  FStatedSamples = -1;
  FNextSample = 0;
  FTargetSample = -1;
  FPlaceByStamps = FEnded = FFailed = false;
}

void TFFmpegDecoder::Fail(int32_t Reason) {
  if (!FFailed) FInfo.ReadError = DecoderInfoTag | Reason;
  FFailed = true;
}

bool TFFmpegDecoder::EndsShortOfStatedLength() const {
  if (FStatedSamples < 0) return false;
  const int64_t slack = std::max<int64_t>(1, FLayout.SampleRate / kShortfallSamplesPerSecond);
  return FNextSample + slack <= FStatedSamples;
}

bool TFFmpegDecoder::OpenSource() {
  FSource = std::make_unique<TDecoderSource>();
  if (FSource->Open(FPath)) return true;
  FSource.reset();
  return false;
}

bool TFFmpegDecoder::OpenFile(const std::string& Path, std::string&) {
  Close();
  if (!FFrame) return false;
  FPath = Path;
  // The first frame proves that the stream decodes and shows its real
  // format (some decoders settle rate and channels only when decoding).
  if (!OpenSource() || FSource->ReceiveFrame(FFrame) != 1) {
    Close();
    return false;
  }
  FLayout = ChooseLayout(FSource->Decoder(), FSource->Parameters(), *FFrame);
  if (FLayout.Channels <= 0 || FLayout.SampleRate <= 0) {
    av_frame_unref(FFrame);
    Close();
    return false;
  }
  FConverter = std::make_unique<TPcmConverter>(FLayout);
  FEndSample = FSource->PresentedSamples();
  if (!AcceptFrame()) {
    Close();
    return false;
  }
  FInfo.BitsPerSample = FLayout.Bits;
  FInfo.Channels = FLayout.Channels;
  FInfo.SampleRate = FLayout.SampleRate;
  FInfo.Bitrate = static_cast<int32_t>(FSource->BitrateKbps());
  FInfo.Duration = FSource->Duration100ns();
  FStatedSamples = FSource->StatedSamples();
  FInfo.Flags = DecoderInfoTag | (FSource->IsLosslessCodec() ? dfLosslessCodec : 0) |
                (FStatedSamples >= 0 ? dfStatedLength : 0);
  FInfo.ReadError = DecoderInfoTag;
  return true;
}

void TFFmpegDecoder::CollectTags(std::vector<std::pair<std::string, std::string>>& Pairs,
                                 std::vector<uint8_t>& Picture) const {
  if (FSource) FSource->CollectTags(Pairs, Picture);
}

int32_t TFFmpegDecoder::ReadInto(void* Buffer, int32_t Size) {
  if (!Buffer || Size < 0 || !FConverter) return -1;
  const size_t block = FLayout.BlockAlign();
  const size_t wanted = static_cast<size_t>(Size) / block * block;
  if (wanted == 0) return Size == 0 ? 0 : -1;  // not even one whole sample fits

  auto* out = static_cast<uint8_t*>(Buffer);
  size_t done = 0;
  while (done < wanted) {
    if (PendingBytes() > 0) {
      const size_t n = std::min(PendingBytes(), wanted - done);
      std::memcpy(out + done, FPending.data() + FPendingPos, n);
      FPendingPos += n;
      done += n;
      continue;
    }
    FPending.clear();
    FPendingPos = 0;
    if (FEnded || FFailed) break;
    DecodeNextFrame();
  }
  if (done == 0 && FFailed) return -1;
  return static_cast<int32_t>(done);
}

bool TFFmpegDecoder::DecodeNextFrame() {
  if (!FSource) {
    Fail(drReadFailed);
    return false;
  }
  const int rc = FSource->ReceiveFrame(FFrame);
  if (rc == 1) {
    if (AcceptFrame()) return true;
    Fail(drReadFailed);
    return false;
  }
  if (rc < 0) {
    Fail(rc == AVERROR_INVALIDDATA && FStatedSamples >= 0 ? drDamaged : drReadFailed);
    return false;
  }
  // The container's seek gave no frame at all, not even one before the
  // target (FFmpeg's WAV reader does so when a bogus chunk follows the
  // data): counting from the start finds the target, or the true end.
  if (FTargetSample >= 0 && FPlaceByStamps) {
    SeekByDecodingFromStart(FTargetSample, false);
    return FSource != nullptr;
  }
  // The data ended; a source that stated more than it held is cut off.
  if (EndsShortOfStatedLength()) {
    Fail(drEndsShort);
    return false;
  }
  FEnded = true;
  // A seek beyond the end delivers nothing, not even the resampler's tail.
  if (FTargetSample < 0 && !FConverter->Drain(FPending)) Fail(drReadFailed);
  return !FFailed;
}

// Places the decoded frame in the source and hands on the part of it that
// lies at or after a pending seek target.
bool TFFmpegDecoder::AcceptFrame() {
  int64_t start = FNextSample;
  if (FTargetSample >= 0 && FPlaceByStamps) {
    const std::optional<int64_t> stamped = FSource->FrameStartSample(*FFrame);
    if (!stamped) {
      av_frame_unref(FFrame);
      SeekByDecodingFromStart(FTargetSample, false);
      return FSource != nullptr;
    }
    start = *stamped;
  }
  FNextSample = start + FFrame->nb_samples;
  int64_t skip = 0;
  if (FTargetSample >= 0) {
    if (start > FTargetSample) {
      // The container landed past the target: fall back to counting.
      av_frame_unref(FFrame);
      SeekByDecodingFromStart(FTargetSample, false);
      return FSource != nullptr;
    }
    if (FNextSample <= FTargetSample) {
      av_frame_unref(FFrame);
      return true;
    }
    skip = FTargetSample - start;
    FTargetSample = -1;
  }
  if (FEndSample >= 0 && FNextSample > FEndSample) {
    // The codec's padding after the last presented sample is dropped.
    FFrame->nb_samples = static_cast<int>(std::max(skip, FEndSample - start));
  }
  const bool converted = FConverter->Convert(*FFrame, static_cast<int>(skip), FPending);
  av_frame_unref(FFrame);
  return converted;
}

int32_t TFFmpegDecoder::SeekTo(int64_t Position) {
  if (!FConverter) return -1;
  const int64_t target =
      av_rescale(std::max<int64_t>(Position, 0), FLayout.SampleRate, k100nsPerSecond);
  FPending.clear();
  FPendingPos = 0;
  FEnded = FFailed = false;
  FInfo.ReadError = DecoderInfoTag;
  FConverter->Reset();
  if (FSource && FSource->HasExactTimestamps() &&
      FSource->SeekBefore(std::max<int64_t>(0, target - FSource->PrerollSamples()))) {
    FTargetSample = target;
    FPlaceByStamps = true;
    return 0;
  }
  SeekByDecodingFromStart(target, true);
  return FFailed ? -1 : 0;
}

// Exact for every container: read again from the first packet, skipping
// whole packets by their durations where the container gives them, then
// decode, dropping samples up to the target.
void TFFmpegDecoder::SeekByDecodingFromStart(int64_t Target, bool SkipPackets) {
  FTargetSample = Target;
  if (!ReopenSource()) return;
  const int64_t firstDecoded = Target - FSource->PrerollSamples();
  if (!SkipPackets || firstDecoded <= 0) return;
  if (FSource->SkipPacketsBefore(firstDecoded)) {
    FPlaceByStamps = true;
    return;
  }
  ReopenSource();
}

bool TFFmpegDecoder::ReopenSource() {
  FSource.reset();
  FConverter->Reset();
  FNextSample = 0;
  FPlaceByStamps = false;
  if (OpenSource()) return true;
  Fail(drReadFailed);
  return false;
}
