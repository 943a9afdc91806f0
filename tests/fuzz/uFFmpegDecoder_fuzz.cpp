// A source file of any bytes, decoded by the player library as a worker
// decodes it: open, info, read to the end, seek, read again.
//
// Input: one byte choosing the file's extension and the read block size,
// one byte choosing where to seek, then the file's bytes.
//
// Properties: a decoder that does not open reports nothing and reads
// nothing; one that opens reports a layout the system can take (8, 16, 24
// or 32 bits, one or two channels, a rate); every read delivers whole
// sample frames, never more than asked, and the end stays the end; seeks
// to the start and into the source work on any input. Where the seek must
// be exact, the source reads after it as the first time did from that
// sample on: lossless codecs whose frames decode on their own (PCM, FLAC,
// APE, ...) and MIDI (rendered again from the start) when the first pass
// shows no damage (as many samples as the container announced). Lossy codecs start again a little
// before the target and may differ by rounding, and a damaged stream may decode differently from
// another starting point. Reading stops at 8 MiB of PCM, so that memory stays bounded.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "codecs/uEncodeIntf.h"
#include "codecs/uLxPlayerDllExport.h"
#include "platform/uCodePage.h"
#include "tests/fuzz/uFuzzSupport.h"

namespace {

constexpr std::array<const char*, 6> Extensions{".wav", ".flac", ".mp3", ".ape", ".ogg", ".bin"};
constexpr std::array<int32_t, 3> BlockSizes{16384, 4096, 1000};
constexpr size_t MaxPcm = 8u << 20;

struct TPass {
  std::vector<uint8_t> Pcm;
  bool Ended = false;  // Read gave 0 before the limit
};

TPass ReadToEnd(IDecoderEx& Decoder, int32_t BlockSize, int32_t BlockAlign) {
  TPass Pass;
  std::vector<uint8_t> Block(size_t(BlockSize) + 64, 0xA5);
  while (Pass.Pcm.size() < MaxPcm) {
    const int32_t Got = Decoder.Read(Block.data(), BlockSize);
    FUZZ_CHECK(Got >= -1 && Got <= BlockSize);
    for (size_t I = size_t(BlockSize); I < Block.size(); ++I)
      FUZZ_CHECK(Block[I] == 0xA5);
    if (Got <= 0) {
      Pass.Ended = Got == 0;
      if (Pass.Ended) FUZZ_CHECK(Decoder.Read(Block.data(), BlockSize) == 0);
      break;
    }
    FUZZ_CHECK(Got % BlockAlign == 0);
    Pass.Pcm.insert(Pass.Pcm.end(), Block.begin(), Block.begin() + Got);
  }
  return Pass;
}

void CheckInfo(const TDecoderInfo& Info) {
  const int32_t Bits = Info.BitsPerSample & 0xFFFF;
  FUZZ_CHECK(Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32);
  FUZZ_CHECK(Info.Channels == 1 || Info.Channels == 2);
  FUZZ_CHECK(Info.SampleRate > 0);
  FUZZ_CHECK(Info.Duration >= 0 && Info.Bitrate >= 0);
}

// What FFmpeg itself (not the player library) says of the file's audio:
// its frames decode on their own and without loss, so that decoding from
// any frame gives what decoding from the start gave there.
bool FramesStandAlone(const std::string& Path) {
  AVFormatContext* Format = nullptr;
  if (avformat_open_input(&Format, Path.c_str(), nullptr, nullptr) < 0) return false;
  bool StandAlone = false;
  if (avformat_find_stream_info(Format, nullptr) >= 0) {
    const int Stream = av_find_best_stream(Format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (Stream >= 0) {
      const AVCodecParameters& Params = *Format->streams[Stream]->codecpar;
      const AVCodecDescriptor* Descriptor = avcodec_descriptor_get(Params.codec_id);
      const int Props = Descriptor ? Descriptor->props : 0;
      const AVSampleFormat Packed = av_get_packed_sample_fmt(AVSampleFormat(Params.format));
      // Float samples far beyond full scale (2^32 times it) overflow in
      // FFmpeg's converter, whose plain and vector loops then give opposite
      // ends of the range: where a frame is split after a seek decides
      // which. Such values are damage, not sound.
      StandAlone = (Props & AV_CODEC_PROP_LOSSLESS) && (Props & AV_CODEC_PROP_INTRA_ONLY) &&
                   Packed != AV_SAMPLE_FMT_FLT && Packed != AV_SAMPLE_FMT_DBL;
    }
  }
  avformat_close_input(&Format);
  return StandAlone;
}

// A Standard MIDI File, plain or in a RIFF "RMID" form: the player library
// renders it again from the start for a seek, so any seek is exact.
bool IsMidi(std::string_view File) {
  return File.starts_with("MThd") ||
         (File.size() >= 12 && File.starts_with("RIFF") && File.substr(8, 4) == "RMID");
}

// The first pass gave the length the container announced (to a sample). A
// file shorter or longer than its headers say is damaged, and FFmpeg's
// demuxers may seek in it to places that a straight run never reads.
bool LooksUndamaged(const TDecoderInfo& Info, int64_t Frames) {
  const double Announced = double(Info.Duration) * Info.SampleRate / 10'000'000;
  return Info.Duration > 0 && std::abs(Announced - double(Frames)) <= 1.5;
}

IDecoderEx* NewDecoder() {
  IDecoderEx* Decoder = nullptr;
  CreateDecoder(Decoder);
  FUZZ_CHECK(Decoder != nullptr);
  return Decoder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool Quiet = (av_log_set_level(AV_LOG_QUIET), true);
  (void)Quiet;
  morvofuzz::TFuzzInput Input(Data, Size);
  const uint8_t Choice = Input.Byte();
  const char* Extension = Extensions[Choice % Extensions.size()];
  const int32_t BlockSize = BlockSizes[(Choice / Extensions.size()) % BlockSizes.size()];
  const uint8_t SeekFraction = Input.Byte();
  const auto File = morvofuzz::ScratchDir() / (std::string("source") + Extension);
  const std::string_view Source = Input.Rest();
  morvofuzz::WriteFile(File, Source);

  TComPtr<IDecoderEx> Decoder(NewDecoder());
  TDecoderInfo Info{};
  std::array<uint8_t, 64> Block{};
  if ((Decoder->Open(platform::PathToWide(File.string()).c_str()) & 0xFF) == 0) {
    FUZZ_CHECK(Decoder->GetInfo(&Info) == 0);
    FUZZ_CHECK(Info.BitsPerSample == 0 && Info.Channels == 0 && Info.SampleRate == 0);
    FUZZ_CHECK(Decoder->Read(Block.data(), int32_t(Block.size())) == -1);
    return 0;
  }
  FUZZ_CHECK(Decoder->GetInfo(&Info) == 0);
  CheckInfo(Info);
  const int32_t BlockAlign = (Info.BitsPerSample & 0xFFFF) / 8 * Info.Channels;

  const TPass First = ReadToEnd(*Decoder.Get(), BlockSize, BlockAlign);
  if (!First.Ended) return 0;
  const int64_t Frames = int64_t(First.Pcm.size()) / BlockAlign;
  const bool Exact =
      LooksUndamaged(Info, Frames) && (IsMidi(Source) || FramesStandAlone(File.string()));

  const int32_t ToStart = Decoder->Seek(0);
  FUZZ_CHECK(ToStart == 0 || (ToStart == -1 && !Exact));
  const TPass Again = ReadToEnd(*Decoder.Get(), BlockSize, BlockAlign);
  if (Exact) FUZZ_CHECK(Again.Ended && Again.Pcm == First.Pcm);

  // The sample's start in 100-ns units, rounded up so that it names the
  // sample itself; above 10 MHz not every sample has a position of its
  // own, so the sample the position names (to the nearest) is the target.
  const int64_t Position =
      (Frames * SeekFraction / 256 * 10'000'000 + Info.SampleRate - 1) / Info.SampleRate;
  const int64_t Target =
      std::min<int64_t>(Frames, (Position * Info.SampleRate + 5'000'000) / 10'000'000);
  const int32_t Into = Decoder->Seek(Position);
  FUZZ_CHECK(Into == 0 || (Into == -1 && !Exact));
  const TPass Tail = ReadToEnd(*Decoder.Get(), BlockSize, BlockAlign);
  if (Exact)
    FUZZ_CHECK(Tail.Ended &&
               Tail.Pcm ==
                   std::vector<uint8_t>(First.Pcm.begin() + Target * BlockAlign, First.Pcm.end()));
  return 0;
}
