// The container on a real file: exact bytes of a tiny file, the golden
// whole-file MD5 (which covers descriptor, header, seek table and the MD5
// field), growth of a too small seek table, and unused reserved entries.
#include <gtest/gtest.h>

#include "player/codecs/ape/uApeFileWriter.h"
#include "player/codecs/ape/uApeFrameBuffer.h"
#include "player/codecs/ape/uApeFrameEncoder.h"
#include "tests/player/codecs/ape/uApeTestSupport.h"

using namespace ape;
using namespace apetest;

namespace {

// The container straight on a file, as the encoder object's output is.
class TCallbackOutput final : public TApeOutput {
public:
  explicit TCallbackOutput(IEncoderCallback& Callback) : FCallback(Callback) {}
  bool SeekTo(int64_t Position) override { return FCallback.Seek(Position, 0, nullptr) == 0; }
  bool Write(const void* Data, size_t Bytes) override {
    return FCallback.Write(Data, static_cast<int32_t>(Bytes)) == 0;
  }
  bool Read(void* Data, size_t Bytes) override {
    return FCallback.Read(Data, static_cast<int32_t>(Bytes)) == 0;
  }

private:
  IEncoderCallback& FCallback;
};

// Encodes Pcm at Level through the units (no object) with the given seek
// table reservation; returns the file.
std::vector<uint8_t> WriteFile(const TPcm& pcm, int level, uint32_t reservation,
                               const std::string& name) {
  const std::string path = TempDir() + "/" + name;
  TFileCallback callback(path);
  TCallbackOutput output(callback);
  const TLevelParams& params = *FindLevel(level);
  TApeStreamInfo info;
  info.Level = static_cast<uint16_t>(level);
  info.Bits = static_cast<uint16_t>(pcm.Bits);
  info.Channels = static_cast<uint16_t>(pcm.Channels);
  info.SampleRate = pcm.Rate;
  info.BlocksPerFrame = params.BlocksPerFrame;
  TApeFileWriter writer;
  writer.Begin(output, 0, info, reservation);
  TApeFrameBuffer buffer;
  buffer.Init(pcm.Bits, pcm.Channels, params.BlocksPerFrame);
  TApeFrameEncoder encoder(params, pcm.Channels, pcm.Bits, TArithmetic::Wrap32Predict);
  const uint8_t* p = pcm.Bytes.data();
  size_t left = pcm.Bytes.size();
  std::vector<int32_t> c0, c1;
  std::vector<uint8_t> bytes;
  while (left > 0) {
    buffer.Append(p, left);
    const uint32_t crc = buffer.TakeFrame(c0, c1);
    const auto blocks = static_cast<uint32_t>(c0.size());
    encoder.Encode(c0, c1, crc, bytes);
    EXPECT_TRUE(writer.AddFrame(bytes, blocks, left == 0));
  }
  EXPECT_TRUE(writer.Finish());
  callback.Close();
  return ReadFile(path);
}

}  // namespace

TEST(ApeFileWriter, TinyMonoFileIsExact) {
  TPcm pcm;
  pcm.Channels = 1;
  for (int v : {5, -3, 7})
    PutSample(pcm, v);
  const std::vector<uint8_t> file = WriteFile(pcm, 1000, 100, "tiny.ape");
  const std::vector<uint8_t> expected = {
      0x4d, 0x41, 0x43, 0x20, 0x96, 0x0f, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x18, 0x00,
      0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf6, 0xc2, 0x3b, 0x4f, 0xd5, 0x5b,
      0xa0, 0xbe, 0x86, 0xc8, 0xf4, 0x0b, 0x0f, 0xf1, 0x08, 0x37, 0xe8, 0x03, 0x20, 0x00,
      0x00, 0x20, 0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00,
      0x01, 0x00, 0x44, 0xac, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x20, 0x2e, 0x6d, 0x32,
      0x9b, 0x58, 0x01, 0x00, 0x00, 0x00, 0x69, 0x06, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(file, expected);
}

TEST(ApeFileWriter, GrowsATooSmallSeekTableToTheGoldenFile) {
  // Reserving one entry for a file of two frames makes Finish move the
  // frame data; the result must equal the file written with an exact table.
  const TPcm g16s = MakeTri(16, 2, 44100, 80000, 12345);
  std::vector<uint8_t> file = WriteFile(g16s, 2000, 1, "grown.ape");
  EXPECT_EQ(file.size(), 217380u);
  EXPECT_EQ(Md5Hex(file.data(), file.size()), "7e2ce16a96ffb24b068fdc5269d8e6ab");
  file = WriteFile(MakeSpecial16(), 3000, 2, "special.ape");
  EXPECT_EQ(Md5Hex(file.data(), file.size()), "af905936ffef2d45260ad392773ba690");
  // Frame 1 starts mid-word, 13 bytes after frame 0.
  EXPECT_EQ(Le32(file, 76 + 4) - Le32(file, 76), 13u);
}

TEST(ApeFileWriter, UnusedReservedEntriesStayZeroAndTheFileDecodes) {
  const TPcm pcm = MakeTri(16, 1, 44100, 80000, 12345);
  const std::vector<uint8_t> file = WriteFile(pcm, 1000, 10, "reserved.ape");
  EXPECT_EQ(Le32(file, 16), 40u);
  EXPECT_EQ(Le32(file, 76), 76u + 40u);  // first frame right after the table
  EXPECT_EQ(Le32(file, 76 + 4) - Le32(file, 76), 100468u);
  for (size_t i = 2; i < 10; ++i)
    EXPECT_EQ(Le32(file, 76 + 4 * i), 0u);
  std::vector<uint8_t> decoded;
  std::string errors;
  EXPECT_TRUE(FFmpegDecode(TempDir() + "/reserved.ape", 16, decoded, errors)) << errors;
  EXPECT_TRUE(decoded == pcm.Bytes);
}

TEST(ApeFileWriter, NoFrameNoFile) {
  const std::string path = TempDir() + "/none.ape";
  TFileCallback callback(path);
  TCallbackOutput output(callback);
  TApeFileWriter writer;
  writer.Begin(output, 0, TApeStreamInfo(), 10);
  EXPECT_FALSE(writer.Finish());
  callback.Close();
  EXPECT_TRUE(ReadFile(path).empty());
}
