// Any PCM, of every width, channel count and level the APE encoder takes,
// encoded into a real file and decoded back by FFmpeg (its demuxer and
// decoder, CRC checks on, every error fatal): the encoder must be lossless
// for every input.
//
// Input: byte 0 chooses width (8, 16, 24, 32 bits), channels (1, 2) and
// level (1000..5000); byte 1 the sample rate, the size of the blocks handed
// to Encode, whether the input is stretched past the first frame (levels
// up to 3000, whose frames are shortest) and, for 32 bits, whether the low
// bytes are kept (the encoder must then refuse them); the rest is the PCM.
#include <array>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "player/codecs/ape/uApeFormat.h"
#include "tests/fuzz/uFuzzSupport.h"
#include "tests/player/codecs/ape/uApeTestSupport.h"

namespace {

constexpr std::array<int, 4> Widths{8, 16, 24, 32};
constexpr std::array<int, 5> Levels{1000, 2000, 3000, 4000, 5000};
constexpr std::array<uint32_t, 4> Rates{44100, 48000, 8000, 96000};
constexpr std::array<size_t, 4> Chunks{16384, 1, 4095, 1 << 20};

// The decoder's samples of one frame in the byte layout of the input (WAV
// order, 8-bit unsigned); 24-bit files come as 32-bit samples whose low
// byte is zero.
void AppendFrame(const AVFrame& Frame, int InputBits, std::vector<uint8_t>& Out) {
  const int Channels = Frame.ch_layout.nb_channels;
  for (int I = 0; I < Frame.nb_samples; ++I)
    for (int C = 0; C < Channels; ++C) {
      const uint8_t* Plane = Frame.extended_data[C];
      switch (Frame.format) {
      case AV_SAMPLE_FMT_U8P:
        Out.push_back(Plane[I]);
        break;
      case AV_SAMPLE_FMT_S16P:
        Out.insert(Out.end(), Plane + 2 * I, Plane + 2 * I + 2);
        break;
      case AV_SAMPLE_FMT_S32P: {
        const uint8_t* Sample = Plane + 4 * I;
        FUZZ_CHECK(Sample[0] == 0);
        Out.insert(Out.end(), Sample + (InputBits == 32 ? 0 : 1), Sample + 4);
        break;
      }
      default:
        FUZZ_CHECK(!"a sample format the APE decoder does not give");
      }
    }
}

// False when FFmpeg cannot open or decode the file or reports any error.
bool DecodeWithFFmpeg(const std::string& Path, int InputBits, std::vector<uint8_t>& Pcm) {
  AVFormatContext* Format = nullptr;
  if (avformat_open_input(&Format, Path.c_str(), nullptr, nullptr) < 0) return false;
  bool Ok = avformat_find_stream_info(Format, nullptr) >= 0 && Format->nb_streams == 1;
  const AVCodec* Codec =
      Ok ? avcodec_find_decoder(Format->streams[0]->codecpar->codec_id) : nullptr;
  AVCodecContext* Context = Codec ? avcodec_alloc_context3(Codec) : nullptr;
  AVPacket* Packet = av_packet_alloc();
  AVFrame* Frame = av_frame_alloc();
  Ok = Context && Packet && Frame &&
       avcodec_parameters_to_context(Context, Format->streams[0]->codecpar) >= 0;
  if (Ok) {
    Context->err_recognition = AV_EF_CRCCHECK | AV_EF_EXPLODE;
    Ok = avcodec_open2(Context, Codec, nullptr) >= 0;
  }
  const auto Drain = [&] {
    int Rc;
    while ((Rc = avcodec_receive_frame(Context, Frame)) >= 0) {
      AppendFrame(*Frame, InputBits, Pcm);
      av_frame_unref(Frame);
    }
    return Rc == AVERROR(EAGAIN) || Rc == AVERROR_EOF;
  };
  int Rc = 0;
  while (Ok && (Rc = av_read_frame(Format, Packet)) >= 0) {
    Ok = avcodec_send_packet(Context, Packet) >= 0 && Drain();
    av_packet_unref(Packet);
  }
  Ok = Ok && Rc == AVERROR_EOF && avcodec_send_packet(Context, nullptr) >= 0 && Drain();
  av_frame_free(&Frame);
  av_packet_free(&Packet);
  avcodec_free_context(&Context);
  avformat_close_input(&Format);
  return Ok;
}

// Input stretched to one frame of Level and a bit more, by repeating it.
std::vector<uint8_t> Stretched(const std::vector<uint8_t>& Pcm, size_t BlockAlign, int Level) {
  const size_t Blocks = ape::FindLevel(Level)->BlocksPerFrame + Pcm.size() / BlockAlign;
  std::vector<uint8_t> Out(Blocks * BlockAlign);
  for (size_t I = 0; I < Out.size(); ++I)
    Out[I] = Pcm[I % Pcm.size()];
  return Out;
}

// 32-bit input carries 24 bits: its low bytes must be zero.
bool ZeroLowBytes(std::vector<uint8_t>& Pcm, bool Keep) {
  bool AllZero = true;
  for (size_t I = 0; I < Pcm.size(); I += 4) {
    if (!Keep) Pcm[I] = 0;
    AllZero = AllZero && Pcm[I] == 0;
  }
  return AllZero;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool Quiet = (av_log_set_level(AV_LOG_QUIET), true);
  (void)Quiet;
  morvofuzz::TFuzzInput Input(Data, Size);
  const uint8_t Format = Input.Byte();
  const uint8_t Options = Input.Byte();
  apetest::TPcm Pcm;
  Pcm.Bits = Widths[Format % 4];
  Pcm.Channels = 1 + (Format / 4) % 2;
  const int Level = Levels[(Format / 8) % Levels.size()];
  Pcm.Rate = Rates[Options % Rates.size()];
  const size_t Chunk = Chunks[(Options / 4) % Chunks.size()];
  const bool Stretch = (Options & 0x10) != 0 && Level <= 3000;
  const bool KeepLowBytes = (Options & 0x20) != 0;
  const std::string_view Rest = Input.Rest();
  Pcm.Bytes.assign(Rest.begin(), Rest.end());

  const size_t BlockAlign = size_t(Pcm.Bits / 8 * Pcm.Channels);
  if (Stretch && Pcm.Bytes.size() >= BlockAlign)
    Pcm.Bytes = Stretched(Pcm.Bytes, BlockAlign, Level);
  Pcm.Bytes.resize(Pcm.Bytes.size() / BlockAlign * BlockAlign);
  const bool Takes24Bits = Pcm.Bits != 32 || ZeroLowBytes(Pcm.Bytes, KeepLowBytes);

  const std::string Path = (morvofuzz::ScratchDir() / "out.ape").string();
  const apetest::TEncodeResult Result = apetest::EncodeFile(Pcm, Level, Path, Chunk);
  FUZZ_CHECK(Result.InitResult == 0);
  FUZZ_CHECK(Result.RefsAfterRelease == 0);
  if (!Takes24Bits) {
    FUZZ_CHECK(Result.EncodeResult != 0);
    return 0;
  }
  FUZZ_CHECK(Result.EncodeResult == 0);
  if (Pcm.Bytes.empty()) {
    // No frame to write: refused, and nothing is left behind.
    FUZZ_CHECK(Result.FinishResult != 0 && apetest::ReadFile(Path).empty());
    return 0;
  }
  FUZZ_CHECK(Result.FinishResult == 0);

  std::vector<uint8_t> Decoded;
  FUZZ_CHECK(DecodeWithFFmpeg(Path, Pcm.Bits, Decoded));
  FUZZ_CHECK(Decoded == Pcm.Bytes);
  return 0;
}
