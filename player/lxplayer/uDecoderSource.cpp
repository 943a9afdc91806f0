#include "uDecoderSource.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "uStatedLength.h"

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace {

constexpr int64_t k100nsPerSecond = 10'000'000;
constexpr int kReadEnd = 0;
constexpr int kReadPacket = 1;
// Consecutive undecodable packets after which a stream counts as broken.
constexpr int kMaxDamagedPackets = 1000;

// Demuxers that give each packet the sample position stored in the
// container (as opposed to estimates from bit rates or frame counts).
constexpr std::array<std::string_view, 11> kExactDemuxers = {
    "wav", "w64", "aiff", "au", "flac", "ape", "mov", "ogg", "caf", "wv", "tta"};

// Plain samples (the PCM codecs come before the first ADPCM one).
bool IsPcmCodec(AVCodecID Codec) {
  return Codec >= AV_CODEC_ID_FIRST_AUDIO && Codec < AV_CODEC_ID_ADPCM_IMA_QT;
}

bool NameListContains(const char* Names, std::string_view Wanted) {
  std::string_view rest(Names ? Names : "");
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    if (rest.substr(0, comma) == Wanted) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

TDecoderSource::~TDecoderSource() {
  av_packet_free(&FPacket);
  avcodec_free_context(&FDecoder);
  avformat_close_input(&FFormat);
}

bool TDecoderSource::Open(const std::string& Utf8Path) {
  // The explicit protocol keeps names with a colon from being taken as URLs.
  const std::string url = "file:" + Utf8Path;
  // A playlist-like source (HLS, concat) must not reach out to the network.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const int opened = avformat_open_input(&FFormat, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) return false;
  // The header of a PCM container says all there is to know; FFmpeg's
  // default analysis would still read and decode seconds of samples (11 ms
  // for a 2-second WAV). One packet is enough for what it adds.
  if (HoldsOnlyPcmInPcmContainer()) FFormat->probesize = 32;
  if (avformat_find_stream_info(FFormat, nullptr) < 0) return false;
  const int index = av_find_best_stream(FFormat, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return false;
  FStream = FFormat->streams[index];
  for (unsigned i = 0; i < FFormat->nb_streams; ++i)
    if (static_cast<int>(i) != index) FFormat->streams[i]->discard = AVDISCARD_ALL;
  FStatedSamples = ReadStatedSamples(Utf8Path);
  FPacket = av_packet_alloc();
  if (!FPacket || !OpenDecoder()) return false;
  FExactTimestamps = DemuxerStampsExactly();
  return true;
}

bool TDecoderSource::HoldsOnlyPcmInPcmContainer() const {
  const char* format = FFormat->iformat->name;
  if (!NameListContains(format, "wav") && !NameListContains(format, "w64") &&
      !NameListContains(format, "aiff"))
    return false;
  for (unsigned i = 0; i < FFormat->nb_streams; ++i)
    if (!IsPcmCodec(FFormat->streams[i]->codecpar->codec_id)) return false;
  return FFormat->nb_streams > 0;
}

bool TDecoderSource::OpenDecoder() {
  const AVCodec* codec = avcodec_find_decoder(FStream->codecpar->codec_id);
  if (!codec) return false;
  FDecoder = avcodec_alloc_context3(codec);
  if (!FDecoder || avcodec_parameters_to_context(FDecoder, FStream->codecpar) < 0) return false;
  // Lets the decoder move frame stamps along with the samples it trims.
  FDecoder->pkt_timebase = FStream->time_base;
  // A source with a stated length is held to it: checksums are checked and
  // a frame that fails them is reported instead of passed on.
  if (FStatedSamples >= 0) FDecoder->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
  return avcodec_open2(FDecoder, codec, nullptr) >= 0;
}

// Only containers whose header counts the samples exactly; FFmpeg's own
// duration of a WAV follows the file's size, so the header is read here.
int64_t TDecoderSource::ReadStatedSamples(const std::string& Utf8Path) const {
  const char* format = FFormat->iformat->name;
  // WAV and AIFF count plain samples only when they hold PCM (a compressed
  // payload counts blocks or bytes).
  const bool pcm = IsPcmCodec(FStream->codecpar->codec_id);
  if (NameListContains(format, "wav")) return pcm ? WavStatedFrames(Utf8Path) : -1;
  const bool counted = (pcm && NameListContains(format, "aiff")) ||
                       NameListContains(format, "flac") || NameListContains(format, "ape");
  if (!counted || FStream->duration == AV_NOPTS_VALUE || FStream->duration <= 0) return -1;
  // A FLAC stream that does not count its samples gets a duration estimated
  // from its bit rate.
  if (FFormat->duration_estimation_method != AVFMT_DURATION_FROM_STREAM) return -1;
  const int rate = FStream->codecpar->sample_rate;
  if (rate <= 0) return -1;
  return av_rescale_q(FStream->duration, FStream->time_base, AVRational{1, rate});
}

bool TDecoderSource::IsLosslessCodec() const {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(FStream->codecpar->codec_id);
  return descriptor && (descriptor->props & AV_CODEC_PROP_LOSSLESS);
}

// A stamp must be able to name every single sample.
bool TDecoderSource::StampsNameSingleSamples() const {
  const AVRational tb = FStream->time_base;
  const int rate = FStream->codecpar->sample_rate;
  return tb.num > 0 && tb.den > 0 && rate > 0 && static_cast<int64_t>(tb.num) * rate <= tb.den;
}

bool TDecoderSource::DemuxerStampsExactly() const {
  if (!StampsNameSingleSamples()) return false;
  for (std::string_view name : kExactDemuxers)
    if (NameListContains(FFormat->iformat->name, name)) return true;
  return false;
}

int TDecoderSource::ReadPacket() {
  while (true) {
    const int rc = av_read_frame(FFormat, FPacket);
    if (rc == AVERROR(EAGAIN)) continue;
    // A truncated container ends where its data ends.
    if (rc == AVERROR_EOF || rc == AVERROR_INVALIDDATA || (rc < 0 && avio_feof(FFormat->pb)))
      return kReadEnd;
    if (rc < 0) return rc;
    if (FPacket->stream_index == FStream->index) return kReadPacket;
    av_packet_unref(FPacket);
  }
}

int TDecoderSource::ReceiveFrame(AVFrame* Frame) {
  int damaged = 0;
  while (true) {
    int rc = avcodec_receive_frame(FDecoder, Frame);
    if (rc == 0) {
      if (damaged > 0 && FStatedSamples >= 0) {
        av_frame_unref(Frame);
        return AVERROR_INVALIDDATA;
      }
      if (!FFirstFrameSeen) FOriginPts = FramePts(*Frame);
      FFirstFrameSeen = true;
      return 1;
    }
    if (rc == AVERROR_EOF) return 0;
    if (rc == AVERROR_INVALIDDATA)
      ++damaged;
    else if (rc != AVERROR(EAGAIN))
      return rc;
    if (FDraining) return 0;

    rc = FPacketHeld ? kReadPacket : ReadPacket();
    FPacketHeld = false;
    if (rc < 0) return rc;
    if (rc == kReadEnd) {
      FDraining = true;
      avcodec_send_packet(FDecoder, nullptr);
      continue;
    }
    rc = avcodec_send_packet(FDecoder, FPacket);
    av_packet_unref(FPacket);
    if (rc == AVERROR_INVALIDDATA) {
      if (++damaged > kMaxDamagedPackets) return rc;
      continue;
    }
    if (rc < 0 && rc != AVERROR(EAGAIN)) return rc;
  }
}

int64_t TDecoderSource::FramePts(const AVFrame& Frame) {
  return Frame.pts != AV_NOPTS_VALUE ? Frame.pts : Frame.best_effort_timestamp;
}

int64_t TDecoderSource::PrerollSamples() const {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(FStream->codecpar->codec_id);
  const bool independentFrames = descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) &&
                                 (descriptor->props & AV_CODEC_PROP_LOSSLESS);
  // Half a second covers the overlap and bit reservoir of every lossy codec.
  return independentFrames ? 0 : FStream->codecpar->sample_rate / 2;
}

bool TDecoderSource::SeekBefore(int64_t Sample) {
  if (FOriginPts == AV_NOPTS_VALUE) return false;
  const int rate = FStream->codecpar->sample_rate;
  const int64_t ts = FOriginPts + av_rescale_q(Sample, AVRational{1, rate}, FStream->time_base);
  if (avformat_seek_file(FFormat, FStream->index, INT64_MIN, ts, ts, 0) < 0) return false;
  avcodec_flush_buffers(FDecoder);
  FDraining = false;
  return true;
}

bool TDecoderSource::SkipPacketsBefore(int64_t Sample) {
  // Codecs whose decoders settle within the preroll after a jump, checked
  // against a straight run; stamps must name single samples.
  static constexpr std::array<AVCodecID, 6> kSkippable = {AV_CODEC_ID_MP1, AV_CODEC_ID_MP2,
                                                          AV_CODEC_ID_MP3, AV_CODEC_ID_AAC,
                                                          AV_CODEC_ID_AC3, AV_CODEC_ID_EAC3};
  if (std::find(kSkippable.begin(), kSkippable.end(), FStream->codecpar->codec_id) ==
          kSkippable.end() ||
      !StampsNameSingleSamples())
    return false;
  const AVRational sampleBase{1, FStream->codecpar->sample_rate};
  int64_t firstPts = AV_NOPTS_VALUE;
  int64_t startSkip = 0;  // encoder delay the decoder drops from packet one
  int64_t elapsed = 0;    // in stream time base, from the first packet
  while (ReadPacket() == kReadPacket) {
    if (firstPts == AV_NOPTS_VALUE) {
      firstPts = FPacket->pts;
      size_t size = 0;
      const uint8_t* skip = av_packet_get_side_data(FPacket, AV_PKT_DATA_SKIP_SAMPLES, &size);
      if (skip && size >= 4) startSkip = AV_RL32(skip);
    }
    if (FPacket->duration <= 0 || firstPts == AV_NOPTS_VALUE) break;
    const int64_t end =
        av_rescale_q(elapsed + FPacket->duration, FStream->time_base, sampleBase) - startSkip;
    if (end > Sample) {
      FPacketHeld = true;
      // The first delivered sample of a straight run carries this stamp.
      FOriginPts = firstPts + av_rescale_q(startSkip, sampleBase, FStream->time_base);
      FFirstFrameSeen = true;
      return true;
    }
    elapsed += FPacket->duration;
    av_packet_unref(FPacket);
  }
  av_packet_unref(FPacket);
  return false;
}

std::optional<int64_t> TDecoderSource::FrameStartSample(const AVFrame& Frame) const {
  const int64_t pts = FramePts(Frame);
  if (pts == AV_NOPTS_VALUE || FOriginPts == AV_NOPTS_VALUE) return std::nullopt;
  return av_rescale_q(pts - FOriginPts, FStream->time_base,
                      AVRational{1, FStream->codecpar->sample_rate});
}

int64_t TDecoderSource::PresentedSamples() const {
  if (!NameListContains(FFormat->iformat->name, "mov") || !FExactTimestamps) return -1;
  if (FStream->duration == AV_NOPTS_VALUE || FStream->duration <= 0) return -1;
  return av_rescale_q(FStream->duration, FStream->time_base,
                      AVRational{1, FStream->codecpar->sample_rate});
}

int64_t TDecoderSource::BitrateKbps() const {
  int64_t bitsPerSecond = FStream->codecpar->bit_rate;
  if (bitsPerSecond <= 0) bitsPerSecond = FFormat->bit_rate;
  if (bitsPerSecond <= 0 && FFormat->duration > 0 && FFormat->pb) {
    const int64_t size = avio_size(FFormat->pb);
    if (size > 0) bitsPerSecond = av_rescale(size * 8, AV_TIME_BASE, FFormat->duration);
  }
  return bitsPerSecond > 0 ? (bitsPerSecond + 500) / 1000 : 0;
}

int64_t TDecoderSource::Duration100ns() const {
  if (FStream->duration != AV_NOPTS_VALUE && FStream->duration > 0) {
    int64_t duration = FStream->duration;
    // Estimating demuxers (MP3) count the encoder delay that the decoder
    // drops at the start in the duration and report it as the start time.
    if (!FExactTimestamps && FStream->start_time != AV_NOPTS_VALUE && FStream->start_time > 0 &&
        FStream->start_time < duration)
      duration -= FStream->start_time;
    return av_rescale_q(duration, FStream->time_base, AVRational{1, k100nsPerSecond});
  }
  if (FFormat->duration != AV_NOPTS_VALUE && FFormat->duration > 0)
    return av_rescale(FFormat->duration, k100nsPerSecond, AV_TIME_BASE);
  return 0;
}

void TDecoderSource::CollectTags(std::vector<std::pair<std::string, std::string>>& Pairs,
                                 std::vector<uint8_t>& Picture) const {
  for (const AVDictionary* metadata : {FFormat->metadata, FStream->metadata}) {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)))
      Pairs.emplace_back(entry->key, entry->value);
  }
  for (unsigned i = 0; i < FFormat->nb_streams; ++i) {
    const AVStream* stream = FFormat->streams[i];
    if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && stream->attached_pic.size > 0) {
      Picture.assign(stream->attached_pic.data,
                     stream->attached_pic.data + stream->attached_pic.size);
      return;
    }
  }
}
