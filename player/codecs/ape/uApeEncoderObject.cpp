#include "player/codecs/ape/uApeEncoderObject.h"

#include <memory>
#include <new>
#include <vector>

#include "player/codecs/ape/uApeDecoderCompat.h"
#include "player/codecs/ape/uApeFileWriter.h"
#include "player/codecs/ape/uApeFormat.h"
#include "player/codecs/ape/uApeFrameBuffer.h"
#include "player/codecs/ape/uApeFrameEncoder.h"
#include "player/codecs/ape/uApeSelfDecoder.h"
#include "player/codecs/uEncoderObject.h"

namespace ape {

namespace {

// One file being written at one level: input frames, their coding, the
// decoder check and the container.
struct TApePipeline {
  int Level = 2000;
  TApeFrameBuffer Buffer;
  std::unique_ptr<TApeFrameEncoder> Encoder;
  std::unique_ptr<TApeDecoderCompat> Compat;
  TApeFileWriter Writer;

  void Init(int Level_, int InputBits, int Channels, uint32_t SampleRate, TApeOutput& Output,
            int64_t Origin) {
    Level = Level_;
    const TLevelParams& level = *FindLevel(Level);
    Buffer.Init(InputBits, Channels, level.BlocksPerFrame);
    const int bits = Buffer.StoredBits();
    const TArithmetic arithmetic = ChooseArithmetic(bits, Channels, Level);
    Encoder = std::make_unique<TApeFrameEncoder>(level, Channels, bits, arithmetic);
    Compat = std::make_unique<TApeDecoderCompat>(bits, Channels, Level, arithmetic);
    TApeStreamInfo info;
    info.Level = static_cast<uint16_t>(Level);
    info.Bits = static_cast<uint16_t>(bits);
    info.Channels = static_cast<uint16_t>(Channels);
    info.SampleRate = SampleRate;
    info.BlocksPerFrame = level.BlocksPerFrame;
    Writer.Begin(Output, Origin, info, TApeFileWriter::DefaultReservation(info));
  }
};

// Interleaves channel samples of the stored width back into bytes as Encode
// receives them: 32-bit input gets its zero low byte back, as the input
// after a fallback is still 32-bit.
void ToPcmBytes(const std::vector<int32_t>& C0, const std::vector<int32_t>& C1, int InputBits,
                std::vector<uint8_t>& Out) {
  const int channels = C1.empty() ? 1 : 2;
  const int bytes = InputBits / 8;
  const int shift = InputBits == 32 ? 8 : 0;
  Out.resize(C0.size() * channels * bytes);
  uint8_t* p = Out.data();
  for (size_t i = 0; i < C0.size(); ++i)
    for (int c = 0; c < channels; ++c) {
      const int32_t v = c == 0 ? C0[i] : C1[i];
      if (InputBits == 8) {
        *p++ = static_cast<uint8_t>(v + 128);
      } else {
        const uint32_t u = static_cast<uint32_t>(v) << shift;
        for (int b = 0; b < bytes; ++b)
          *p++ = static_cast<uint8_t>(u >> (8 * b));
      }
    }
}

class TApeEncoderObject final : public TEncoderObject<IApeEncoderParam, IID_IApeEncoderParam>,
                                private TApeOutput {
public:
  int32_t MORVO_STDCALL SetCompressionLevel(int32_t Level) override {
    if (Started() || FindLevel(Level) == nullptr) return -1;
    FLevel = Level;
    return 0;
  }

private:
  bool AcceptsFormat(const WAVEFORMATEX& Format) const override {
    return Format.nChannels == 1 || Format.nChannels == 2;
  }
  bool Open() override {
    FPipeline.Init(FLevel, FFormat.wBitsPerSample, FFormat.nChannels, FFormat.nSamplesPerSec, *this,
                   0);
    return true;
  }
  bool EncodeFrames(const uint8_t* Data, uint32_t FrameCount) override {
    const size_t bytes = size_t{FrameCount} * FFrameBytes;
    return FPipeline.Buffer.Accepts(Data, bytes) && Feed(Data, bytes);
  }
  bool Close() override;

  // The container writes through the base's output.
  bool SeekTo(int64_t Position) override { return TEncoderObject::SeekTo(Position); }
  bool Write(const void* Data, size_t Bytes) override { return WriteOut(Data, Bytes); }
  bool Read(void* Data, size_t Bytes) override { return ReadIn(Data, Bytes); }

  bool Feed(const uint8_t* Data, size_t Bytes);
  bool EncodeFrame(bool Last);
  bool FallBack();

  int FLevel = 2000;
  TApePipeline FPipeline;
  std::vector<int32_t> FChannel0, FChannel1;
  std::vector<uint8_t> FFrameData;
};

bool TApeEncoderObject::EncodeFrame(bool Last) {
  TApePipeline& p = FPipeline;
  const uint32_t crc = p.Buffer.TakeFrame(FChannel0, FChannel1);
  const auto blocks = static_cast<uint32_t>(FChannel0.size());
  const TApeFrameEvents events = p.Encoder->Encode(FChannel0, FChannel1, crc, FFrameData);
  // Level 1000 always passes the decoder check.
  if (!p.Compat->AddFrame(events) && p.Level > 1000) {
    // This frame goes in again as input, behind the frames written before;
    // the buffer still holds its bytes.
    std::vector<uint8_t> pcm;
    p.Buffer.TakenFrameAsInput(pcm);
    if (!FallBack()) return false;
    return Feed(pcm.data(), pcm.size()) &&
           (!Last || FPipeline.Buffer.Blocks() == 0 || EncodeFrame(true));
  }
  return p.Writer.AddFrame(FFrameData, blocks, Last);
}

// Some frame cannot be written at this level so that both decoders read
// it. Start the file again at level 1000 (no NN filters, so no rounding
// events; both decoders always agree) behind what was written so far:
// decode the frames written, encode them again, and move the new file to
// the front at the end.
bool TApeEncoderObject::FallBack() {
  TApePipeline old = std::move(FPipeline);
  const int bits = old.Buffer.StoredBits();
  TApeSelfDecoder decoder;
  if (!decoder.Open(old.Level, bits, FFormat.nChannels, FFormat.nSamplesPerSec)) return false;
  if (!SeekTo(old.Writer.End())) return false;
  FPipeline = TApePipeline();
  FPipeline.Init(1000, FFormat.wBitsPerSample, FFormat.nChannels, FFormat.nSamplesPerSec, *this,
                 old.Writer.End());

  std::vector<uint8_t> stored, pcm;
  std::vector<int32_t> channel0, channel1;
  const uint32_t blocksPerFrame = old.Buffer.BlocksPerFrame();
  for (uint32_t i = 0; i < old.Writer.Frames(); ++i) {
    uint32_t skip = 0;
    int64_t resume = 0;
    if (!Tell(resume) || !old.Writer.ReadFrame(i, stored, skip) || !SeekTo(resume)) return false;
    if (!decoder.DecodeFrame(stored, skip, blocksPerFrame, channel0, channel1)) return false;
    ToPcmBytes(channel0, channel1, FFormat.wBitsPerSample, pcm);
    if (!Feed(pcm.data(), pcm.size())) return false;
  }
  return true;
}

bool TApeEncoderObject::Feed(const uint8_t* Data, size_t Bytes) {
  while (Bytes > 0) {
    // A full frame waits until more input shows it is not the last one.
    if (FPipeline.Buffer.Blocks() == FPipeline.Buffer.BlocksPerFrame() && !EncodeFrame(false))
      return false;
    FPipeline.Buffer.Append(Data, Bytes);
  }
  return true;
}

bool TApeEncoderObject::Close() {
  if (FPipeline.Buffer.Blocks() > 0 && !EncodeFrame(true)) return false;
  if (!FPipeline.Writer.Finish()) return false;
  // A file started again at a lower level stands behind the first attempt.
  // Move it to the front; zero what is left of the first (the output cannot
  // be shortened; decoders ignore bytes after the data).
  const int64_t from = FPipeline.Writer.Origin();
  if (from == 0) return true;
  const int64_t length = FPipeline.Writer.End() - from;
  return Copy(from, 0, length) && SeekTo(length) && WriteZeros(from);
}

}  // namespace

}  // namespace ape

IEncoder* CreateApeEncoderObject() { return new (std::nothrow) ape::TApeEncoderObject(); }
