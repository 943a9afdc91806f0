#include "uWavDecoder.h"

#include <algorithm>
#include <cstring>

#include "uStatedLength.h"

namespace {

constexpr int64_t k100nsPerSecond = 10'000'000;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// Far above any real rate, and within the format words' signed field.
constexpr uint32_t kMaxSampleRate = 0x7FFFFFFF;

bool IsPlainPcm(const TWavHeader& Header) {
  const bool pcm = Header.FormatTag == kFormatPcm ||
                   (Header.FormatTag == kFormatExtensible && Header.PcmSubFormat &&
                    Header.ValidBits == Header.BitsPerSample);
  const uint16_t bits = Header.BitsPerSample;
  return pcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
         (Header.Channels == 1 || Header.Channels == 2) && Header.SampleRate > 0 &&
         Header.SampleRate <= kMaxSampleRate && Header.BlockAlign == Header.Channels * bits / 8 &&
         Header.ByteRate == uint64_t{Header.SampleRate} * Header.BlockAlign &&
         !Header.OpenDataSize && Header.DataSize > 0 && Header.DataSize % Header.BlockAlign == 0;
}

// A * B / C for A, B >= 0 and C > 0, rounded to the nearest, halves up
// (FFmpeg's rescaling), at most Limit.
int64_t Rescale(int64_t A, int64_t B, int64_t C, int64_t Limit) {
  const __int128 result = (static_cast<__int128>(A) * B + C / 2) / C;
  return result > Limit ? Limit : static_cast<int64_t>(result);
}

}  // namespace

bool TWavDecoder::LooksLikeWave(const uint8_t* Head, size_t Count) {
  if (Count < 12 || std::memcmp(Head + 8, "WAVE", 4) != 0) return false;
  return std::memcmp(Head, "RIFF", 4) == 0 || std::memcmp(Head, "RF64", 4) == 0 ||
         std::memcmp(Head, "BW64", 4) == 0;
}

bool TWavDecoder::OpenFile(const std::string& Path, std::string&) {
  FFile.open(Path, std::ios::binary);
  TWavHeader header;
  if (!ReadWavHeader(FFile, header) || !IsPlainPcm(header) || !FFile.seekg(0, std::ios::end))
    return false;
  // A file that stops inside its data chunk is FFmpeg's to report.
  const auto fileSize = static_cast<uint64_t>(FFile.tellg());
  if (header.DataOffset > fileSize || header.DataSize > fileSize - header.DataOffset) return false;
  FDataOffset = header.DataOffset;
  FBlockAlign = header.BlockAlign;
  FFrames = static_cast<int64_t>(header.DataSize / header.BlockAlign);
  FInfo.BitsPerSample = header.BitsPerSample;
  FInfo.Channels = header.Channels;
  FInfo.SampleRate = static_cast<int32_t>(header.SampleRate);
  FInfo.Bitrate = static_cast<int32_t>((uint64_t{header.ByteRate} * 8 + 500) / 1000);
  FInfo.Duration = Rescale(FFrames, k100nsPerSecond, header.SampleRate, INT64_MAX);
  FInfo.Flags = DecoderInfoTag | dfLosslessCodec | dfStatedLength;
  FInfo.ReadError = DecoderInfoTag;
  return SeekTo(0) == 0;
}

int32_t TWavDecoder::ReadInto(void* Buffer, int32_t Size) {
  if (!Buffer || Size < 0 || FBlockAlign == 0 || FFailed) return -1;
  const int64_t fits = Size / FBlockAlign;
  if (fits == 0) return Size == 0 ? 0 : -1;  // not even one whole sample fits
  const int64_t frames = std::min(fits, FFrames - FNextFrame);
  if (frames <= 0) return 0;
  const auto bytes = static_cast<std::streamsize>(frames * FBlockAlign);
  // The file was checked whole when it was opened: a short read now means
  // that it was cut or could not be read since.
  if (!FFile.read(static_cast<char*>(Buffer), bytes)) {
    FFailed = true;
    FInfo.ReadError = DecoderInfoTag | drReadFailed;
    return -1;
  }
  FNextFrame += frames;
  return static_cast<int32_t>(bytes);
}

int32_t TWavDecoder::SeekTo(int64_t Position) {
  if (FBlockAlign == 0) return -1;
  FFailed = false;
  FInfo.ReadError = DecoderInfoTag;
  FNextFrame = Rescale(std::max<int64_t>(Position, 0), FInfo.SampleRate, k100nsPerSecond, FFrames);
  FFile.clear();
  const auto offset = static_cast<std::streamoff>(FDataOffset + FNextFrame * FBlockAlign);
  if (FFile.seekg(offset)) return 0;
  FFailed = true;
  FInfo.ReadError = DecoderInfoTag | drReadFailed;
  return -1;
}
