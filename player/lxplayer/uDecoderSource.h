// One opened source: FFmpeg's demuxer and audio decoder for the best audio
// stream of a file, and where in the source its decoded frames lie.
// Used by one thread at a time (the decoder object that owns it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

class TDecoderSource {
public:
  TDecoderSource() = default;
  ~TDecoderSource();
  TDecoderSource(const TDecoderSource&) = delete;
  TDecoderSource& operator=(const TDecoderSource&) = delete;

  // False when the file cannot be opened or holds no decodable audio stream.
  bool Open(const std::string& Utf8Path);

  // Decodes the next frame into Frame: 1 a frame, 0 the end, negative an
  // error that ends decoding. Damaged packets are skipped, as players do,
  // except in a source that states its length: there a frame that follows
  // damaged data gives AVERROR_INVALIDDATA (the damage lies inside).
  int ReceiveFrame(AVFrame* Frame);

  // Samples the container states exactly (WAV/AIFF data size, FLAC and APE
  // sample counts), counted from the first decoded sample; -1 when the
  // length is unknown or only estimated (MP3 and the like).
  int64_t StatedSamples() const { return FStatedSamples; }
  // The codec reproduces its input exactly.
  bool IsLosslessCodec() const;

  // True when the container stamps every packet with its exact sample
  // position, so that a seek can be trusted to the sample.
  bool HasExactTimestamps() const { return FExactTimestamps; }
  // Samples a decoder needs to run before its output is exact again after a
  // jump into the middle of the stream.
  int64_t PrerollSamples() const;
  // Moves the demuxer to a packet at or before Sample (counted from the
  // first decoded sample). False when the container could not seek.
  bool SeekBefore(int64_t Sample);
  // On a freshly opened source: reads packets without decoding them up to
  // the one that holds Sample, using the packets' own durations (exact for
  // MPEG audio, ADTS AAC, AC-3, DTS frames). That packet is decoded first;
  // frames are then placed by their stamps. False when some packet has no
  // duration or the source ends first (the source must then be opened
  // again), and for codecs not known to settle after such a jump.
  bool SkipPacketsBefore(int64_t Sample);
  // Source position of a decoded frame's first sample (negative inside the
  // encoder delay); nullopt when the frame carries no stamp.
  std::optional<int64_t> FrameStartSample(const AVFrame& Frame) const;

  // Samples the container says the source holds, counted from the first
  // decoded sample, when it trims the codec's padding by that count (MP4
  // edit lists); -1 otherwise.
  int64_t PresentedSamples() const;

  // The container's metadata, then the audio stream's (UTF-8 keys and
  // values, as FFmpeg names them), and the bytes of the first attached
  // picture (empty when there is none).
  void CollectTags(std::vector<std::pair<std::string, std::string>>& Pairs,
                   std::vector<uint8_t>& Picture) const;

  int64_t BitrateKbps() const;
  int64_t Duration100ns() const;
  const AVCodecContext& Decoder() const { return *FDecoder; }
  const AVCodecParameters& Parameters() const { return *FStream->codecpar; }

private:
  bool OpenDecoder();
  int64_t ReadStatedSamples(const std::string& Utf8Path) const;
  int ReadPacket();
  bool StampsNameSingleSamples() const;
  bool DemuxerStampsExactly() const;
  bool HoldsOnlyPcmInPcmContainer() const;
  static int64_t FramePts(const AVFrame& Frame);

  AVFormatContext* FFormat = nullptr;
  AVStream* FStream = nullptr;
  AVCodecContext* FDecoder = nullptr;
  AVPacket* FPacket = nullptr;
  bool FDraining = false;
  bool FPacketHeld = false;  // FPacket was read but not yet sent
  bool FExactTimestamps = false;
  bool FFirstFrameSeen = false;
  int64_t FOriginPts = AV_NOPTS_VALUE;  // stamp of the first decoded sample
  int64_t FStatedSamples = -1;
};
