#include "uPcmLayout.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace {

AVSampleFormat SwrOutputFormat(int Bits) {
  switch (Bits) {
  case 8:
    return AV_SAMPLE_FMT_U8;
  case 16:
    return AV_SAMPLE_FMT_S16;
  default:  // 24 is packed from the upper three bytes of s32
    return AV_SAMPLE_FMT_S32;
  }
}

AVChannelLayout UsableLayout(const AVChannelLayout& Layout) {
  AVChannelLayout result{};
  if (Layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&Layout) == 0)
    av_channel_layout_default(&result, Layout.nb_channels);
  else
    av_channel_layout_copy(&result, &Layout);
  return result;
}

// s32 samples to 3-byte little-endian samples: the upper 24 bits carry the
// value (FFmpeg aligns 24-bit and narrower sources to the top of s32).
void AppendPacked24(const uint8_t* S32, size_t Samples, std::vector<uint8_t>& Out) {
  const size_t start = Out.size();
  Out.resize(start + Samples * 3);
  uint8_t* dst = Out.data() + start;
  for (size_t i = 0; i < Samples; ++i) {
    std::memcpy(dst, S32 + i * 4 + 1, 3);
    dst += 3;
  }
}

// Output width for a stream whose decoder produces DecodedFormat.
int ChooseOutputBits(AVCodecID Codec, AVSampleFormat DecodedFormat, int RawBits, int CodedBits) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(Codec);
  const int props = descriptor ? descriptor->props : 0;
  const bool lossy = (props & AV_CODEC_PROP_LOSSY) != 0;
  const bool lossless = (props & AV_CODEC_PROP_LOSSLESS) != 0;
  const AVSampleFormat packed = av_get_packed_sample_fmt(DecodedFormat);
  if (packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL) return lossy ? 16 : 24;
  if (lossy && !lossless) return 16;

  const int decodedBits = av_get_bytes_per_sample(DecodedFormat) * 8;
  int bits = RawBits > 0 ? RawBits : CodedBits > 0 ? CodedBits : decodedBits;
  bits = std::clamp(bits, 1, decodedBits > 0 ? decodedBits : 32);
  bits = (bits + 7) / 8 * 8;
  return std::clamp(bits, 8, 32);
}

}  // namespace

TPcmLayout ChooseLayout(const AVCodecContext& Decoder, const AVCodecParameters& Stream,
                        const AVFrame& Frame) {
  TPcmLayout layout;
  const int raw =
      Decoder.bits_per_raw_sample > 0 ? Decoder.bits_per_raw_sample : Stream.bits_per_raw_sample;
  layout.Bits = ChooseOutputBits(Stream.codec_id, static_cast<AVSampleFormat>(Frame.format), raw,
                                 Stream.bits_per_coded_sample);
  layout.Channels = std::min(Frame.ch_layout.nb_channels, 2);
  layout.SampleRate = Frame.sample_rate;
  return layout;
}

TPcmConverter::~TPcmConverter() {
  swr_free(&FSwr);
  av_channel_layout_uninit(&FInLayout);
}

bool TPcmConverter::Configure(const AVFrame& Frame) {
  AVChannelLayout in = UsableLayout(Frame.ch_layout);
  if (FSwr && FInFormat == Frame.format && FInRate == Frame.sample_rate &&
      av_channel_layout_compare(&in, &FInLayout) == 0) {
    av_channel_layout_uninit(&in);
    return true;
  }
  swr_free(&FSwr);
  AVChannelLayout out{};
  if (FOut.Channels == in.nb_channels)
    av_channel_layout_copy(&out, &in);
  else
    av_channel_layout_default(&out, FOut.Channels);
  const int rc =
      swr_alloc_set_opts2(&FSwr, &out, SwrOutputFormat(FOut.Bits), FOut.SampleRate, &in,
                          static_cast<AVSampleFormat>(Frame.format), Frame.sample_rate, 0, nullptr);
  av_channel_layout_uninit(&out);
  av_channel_layout_uninit(&FInLayout);
  FInLayout = in;
  FInFormat = static_cast<AVSampleFormat>(Frame.format);
  FInRate = Frame.sample_rate;
  if (rc < 0 || swr_init(FSwr) < 0) {
    swr_free(&FSwr);
    return false;
  }
  return true;
}

bool TPcmConverter::Convert(const AVFrame& Frame, int SkipSamples, std::vector<uint8_t>& Out) {
  if (SkipSamples >= Frame.nb_samples) return true;
  if (!Configure(Frame)) return false;
  const int channels = Frame.ch_layout.nb_channels;
  const int sampleBytes = av_get_bytes_per_sample(static_cast<AVSampleFormat>(Frame.format));
  const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(Frame.format));
  const size_t stride = planar ? sampleBytes : static_cast<size_t>(sampleBytes) * channels;
  FInPlanes.resize(planar ? channels : 1);
  for (size_t i = 0; i < FInPlanes.size(); ++i)
    FInPlanes[i] = Frame.extended_data[i] + stride * SkipSamples;
  return Emit(FInPlanes.data(), Frame.nb_samples - SkipSamples, Out);
}

bool TPcmConverter::Drain(std::vector<uint8_t>& Out) {
  if (!FSwr) return true;
  return Emit(nullptr, 0, Out);
}

void TPcmConverter::Reset() { swr_free(&FSwr); }

bool TPcmConverter::Emit(const uint8_t** In, int InSamples, std::vector<uint8_t>& Out) {
  const int capacity = swr_get_out_samples(FSwr, InSamples);
  if (capacity < 0) return false;
  if (capacity == 0) return true;
  const AVSampleFormat format = SwrOutputFormat(FOut.Bits);
  const size_t frameBytes = static_cast<size_t>(av_get_bytes_per_sample(format)) * FOut.Channels;
  // 24-bit output is made as s32 and packed afterwards; every other width
  // is converted straight onto the end of Out.
  const bool packed24 = FOut.Bits == 24;
  std::vector<uint8_t>& target = packed24 ? FScratch : Out;
  const size_t start = packed24 ? 0 : Out.size();
  target.resize(start + frameBytes * capacity);
  uint8_t* dst = target.data() + start;
  const int produced = swr_convert(FSwr, &dst, capacity, In, InSamples);
  target.resize(start + frameBytes * std::max(produced, 0));
  if (produced < 0) return false;
  if (packed24) AppendPacked24(FScratch.data(), static_cast<size_t>(produced) * FOut.Channels, Out);
  return true;
}
