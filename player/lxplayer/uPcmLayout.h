// The PCM this library hands out and the conversion of decoded frames to it.
//
// Output is interleaved little-endian integer PCM: integer sources keep their
// width (8 unsigned, 16, 24 packed in 3 bytes, 32), lossy codecs give 16 bits,
// float sources 24 bits; more than two channels are mixed down to stereo.
// A converter belongs to one decoder and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

struct TPcmLayout {
  int Bits = 0;      // 8, 16, 24 or 32
  int Channels = 0;  // 1 or 2
  int SampleRate = 0;
  int BlockAlign() const { return Bits / 8 * Channels; }
};

// The layout handed out for a source whose first decoded frame is Frame.
TPcmLayout ChooseLayout(const AVCodecContext& Decoder, const AVCodecParameters& Stream,
                        const AVFrame& Frame);

// Converts decoded frames of any format, channel layout and rate to one
// output layout. The input side is set up again whenever a frame differs
// from the previous one (streams may change mid-way).
class TPcmConverter {
public:
  explicit TPcmConverter(const TPcmLayout& Out) : FOut(Out) {}
  ~TPcmConverter();
  TPcmConverter(const TPcmConverter&) = delete;
  TPcmConverter& operator=(const TPcmConverter&) = delete;

  // Appends the frame's samples from SkipSamples on to Out. False on failure.
  bool Convert(const AVFrame& Frame, int SkipSamples, std::vector<uint8_t>& Out);
  // Appends what the resampler still holds at the end of the source.
  bool Drain(std::vector<uint8_t>& Out);
  // Forgets buffered resampler state (after a seek).
  void Reset();

private:
  bool Configure(const AVFrame& Frame);
  bool Emit(const uint8_t** In, int InSamples, std::vector<uint8_t>& Out);

  TPcmLayout FOut;
  SwrContext* FSwr = nullptr;
  AVSampleFormat FInFormat = AV_SAMPLE_FMT_NONE;
  AVChannelLayout FInLayout{};
  int FInRate = 0;
  std::vector<const uint8_t*> FInPlanes;  // where the samples to convert start
  std::vector<uint8_t> FScratch;          // s32 output before it is packed to 24 bits
};
