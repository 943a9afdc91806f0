#include "uMusepackDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kBits = 16;
constexpr int64_t k100nsPerSecond = 10'000'000;

// As mpcdec writes 16-bit WAV: scaled by 32768, truncated toward zero,
// held to the 16-bit range.
int16_t ToSample(float Value) {
  const float scaled = Value * 32768.0f;
  if (!(scaled > -32768.0f)) return std::isnan(scaled) ? 0 : -32768;
  if (scaled > 32767.0f) return 32767;
  return static_cast<int16_t>(scaled);
}

}  // namespace

TMusepackDecoder::~TMusepackDecoder() {
  if (FDemux) mpc_demux_exit(FDemux);
  if (FReaderOpen) mpc_reader_exit_stdio(&FReader);
}

bool TMusepackDecoder::Recognizes(const uint8_t* Head, size_t Count) {
  if (Count >= 4 && std::memcmp(Head, "MPCK", 4) == 0) return true;
  return Count >= 4 && std::memcmp(Head, "MP+", 3) == 0 && (Head[3] & 0x0F) == 7;
}

bool TMusepackDecoder::OpenFile(const std::string& Path, std::string& Reason) {
  if (mpc_reader_init_stdio(&FReader, Path.c_str()) != MPC_STATUS_OK) {
    Reason = "the file cannot be read";
    return false;
  }
  FReaderOpen = true;
  FDemux = mpc_demux_init(&FReader);
  if (!FDemux) {
    Reason = "damaged Musepack file: its stream header cannot be read";
    return false;
  }
  mpc_streaminfo info{};
  mpc_demux_get_info(FDemux, &info);
  FChannels = static_cast<int>(info.channels);
  FSampleRate = static_cast<int>(info.sample_freq);
  FSamples = mpc_streaminfo_get_length_samples(&info);
  if (FChannels < 1 || FChannels > 2 || FSampleRate <= 0 || FSamples < 0) {
    Reason = "damaged Musepack file: impossible stream header";
    return false;
  }
  FFrame.resize(MPC_DECODER_BUFFER_LENGTH);
  FInfo.BitsPerSample = kBits;
  FInfo.Channels = FChannels;
  FInfo.SampleRate = FSampleRate;
  FInfo.Bitrate = static_cast<int32_t>(std::lround(info.average_bitrate / 1000));
  FInfo.Duration = (FSamples * k100nsPerSecond + FSampleRate / 2) / FSampleRate;
  return true;
}

bool TMusepackDecoder::DecodeNextFrame() {
  mpc_frame_info frame{};
  frame.buffer = FFrame.data();
  const mpc_status status = mpc_demux_decode(FDemux, &frame);
  if (frame.bits == -1) {
    FEnded = true;
    FFailed = status != MPC_STATUS_OK;
    return false;
  }
  const size_t count = size_t(frame.samples) * FChannels;
  FPending.resize(count);
  FPendingPos = 0;
  std::transform(FFrame.begin(), FFrame.begin() + count, FPending.begin(), ToSample);
  return true;
}

int32_t TMusepackDecoder::ReadInto(void* Buffer, int32_t Size) {
  if (!Buffer || Size < 0 || !FDemux) return -1;
  const size_t block = size_t(kBits / 8 * FChannels);
  const size_t wanted = size_t(Size) / block * block;
  if (wanted == 0) return Size == 0 ? 0 : -1;  // not even one whole sample fits
  auto* out = static_cast<uint8_t*>(Buffer);
  size_t done = 0;
  while (done < wanted) {
    if (PendingSamples() > 0) {
      const size_t n = std::min(PendingSamples() * sizeof(int16_t), wanted - done);
      std::memcpy(out + done, FPending.data() + FPendingPos, n);
      FPendingPos += n / sizeof(int16_t);
      done += n;
      continue;
    }
    if (FEnded || !DecodeNextFrame()) break;
  }
  if (done == 0 && FFailed) return -1;
  return static_cast<int32_t>(done);
}

int32_t TMusepackDecoder::SeekTo(int64_t Position) {
  if (!FDemux) return -1;
  const double exact = std::max<double>(0, double(Position)) * FSampleRate / k100nsPerSecond;
  const int64_t target = std::min<int64_t>(std::llround(exact), FSamples);
  FPending.clear();
  FPendingPos = 0;
  FEnded = FFailed = false;
  if (target == FSamples) {
    FEnded = true;  // nothing is left to decode
    return 0;
  }
  if (mpc_demux_seek_sample(FDemux, static_cast<mpc_uint64_t>(target)) != MPC_STATUS_OK) {
    FFailed = true;
    return -1;
  }
  return 0;
}
