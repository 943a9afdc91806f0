// The output object handed to encoders: it writes, reads and seeks in the
// target file (gathering writes in a buffer), and answers -1 when the file
// could not be created.
#include <fcntl.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/uEncoderCallBack.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

class EncoderCallBackTest : public TEngineTest {};

TEST_F(EncoderCallBackTest, OutputWritesReadsAndSeeks) {
  const std::string path = FOut + "/out.bin";
  WriteBytes(path, "previous content that must go");
  auto* out = new TEncoderCallBack(W(path));
  ASSERT_TRUE(out->HasFile());
  EXPECT_EQ(ReadBytes(path), "") << "the file is created anew";
  EXPECT_EQ(out->Write("abcdef", 6), 0);
  int64_t position = -1;
  EXPECT_EQ(out->Seek(0, 2, &position), 0);
  EXPECT_EQ(position, 6);
  char buffer[8] = {'x', 'x'};
  EXPECT_EQ(out->Read(buffer, 4), 0);  // at the end: nothing read
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(out->Seek(1, 0, nullptr), 0);  // moves without reporting
  EXPECT_EQ(out->Read(buffer, 2), 0);
  EXPECT_EQ(std::string(buffer, 2), "bc");
  EXPECT_EQ(out->Seek(-1, 1, &position), 0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(out->Write("Z", 1), 0);
  EXPECT_EQ(out->Write(nullptr, 3), -1);
  EXPECT_EQ(out->Read(nullptr, 3), -1);
  // Positions beyond 32 bits are kept whole.
  EXPECT_EQ(out->Seek(int64_t(5) << 32, 0, &position), 0);
  EXPECT_EQ(position, int64_t(5) << 32);
  EXPECT_TRUE(out->WriteFailed());  // the null write counts
  out->Release();
  std::filesystem::resize_file(path, 6);
  EXPECT_EQ(ReadBytes(path), "abZdef");
}

// Writes of every size, position queries, patches behind the position,
// reads back and moves to the end, as encoders mix them, against a model of
// the file in memory.
TEST_F(EncoderCallBackTest, GatheredWritesLandWhereAPlainFileWouldPutThem) {
  const std::string path = FOut + "/mixed.bin";
  auto* out = new TEncoderCallBack(W(path));
  ASSERT_TRUE(out->HasFile());
  std::string model;
  int64_t at = 0;
  std::mt19937 random(7);
  const size_t sizes[] = {1,
                          3,
                          4096,
                          16384,
                          TEncoderCallBack::BufferSize - 1,
                          TEncoderCallBack::BufferSize,
                          TEncoderCallBack::BufferSize + 5};
  for (int step = 0; step < 300; ++step) {
    const unsigned what = random() % 10;
    if (what < 6) {
      std::string bytes(sizes[random() % std::size(sizes)], '\0');
      for (char& c : bytes)
        c = char('a' + random() % 26);
      ASSERT_EQ(out->Write(bytes.data(), int32_t(bytes.size())), 0);
      if (model.size() < size_t(at) + bytes.size()) model.resize(size_t(at) + bytes.size());
      model.replace(size_t(at), bytes.size(), bytes);
      at += int64_t(bytes.size());
    } else if (what == 6) {
      int64_t position = -1;
      ASSERT_EQ(out->Seek(0, 1, &position), 0);
      ASSERT_EQ(position, at) << "step " << step;
    } else if (what == 7 && !model.empty()) {
      // A header patched behind the position (a WAV or FLAC header).
      at = int64_t(random() % model.size());
      ASSERT_EQ(out->Seek(at, 0, nullptr), 0);
    } else if (what == 8 && !model.empty()) {
      at = int64_t(random() % model.size());
      const size_t length = std::min<size_t>(1 + random() % 70000, model.size() - size_t(at));
      std::string back(length, '?');
      ASSERT_EQ(out->Seek(at, 0, nullptr), 0);
      ASSERT_EQ(out->Read(back.data(), int32_t(length)), 0);
      ASSERT_EQ(back, model.substr(size_t(at), length)) << "step " << step;
      at += int64_t(length);
    } else {
      int64_t position = -1;
      ASSERT_EQ(out->Seek(0, 2, &position), 0);
      at = int64_t(model.size());
      ASSERT_EQ(position, at) << "step " << step;
    }
  }
  out->Close();
  EXPECT_FALSE(out->WriteFailed());
  EXPECT_EQ(out->Write("x", 1), -1) << "closed";
  out->Release();
  EXPECT_TRUE(ReadBytes(path) == model);
}

// A device that takes nothing (as a full disk): bytes the buffer still held
// are a failed write when they go out, whenever that is.
TEST_F(EncoderCallBackTest, BytesRefusedLaterStillFailTheOutput) {
  for (const char* when : {"close", "seek", "read", "large write"}) {
    SCOPED_TRACE(when);
    const int full = open("/dev/full", O_RDWR | O_CLOEXEC);
    if (full < 0) GTEST_SKIP() << "no /dev/full";
    auto* out = new TEncoderCallBack(full);
    EXPECT_EQ(out->Write("header", 6), 0) << "gathered, not yet written";
    const std::string moment = when;
    char back[4];
    if (moment == "close") {
      out->Close();
    } else if (moment == "seek") {
      out->Seek(0, 0, nullptr);
    } else if (moment == "read") {
      EXPECT_EQ(out->Read(back, 4), -1);
    } else {
      const std::vector<char> block(TEncoderCallBack::BufferSize, 'a');
      EXPECT_EQ(out->Write(block.data(), int32_t(block.size())), -1);
    }
    EXPECT_TRUE(out->WriteFailed());
    EXPECT_EQ(out->WriteError(), "No space left on device");
    out->Release();
  }
}

TEST_F(EncoderCallBackTest, OutputWithoutFileAnswersMinusOne) {
  auto* out = new TEncoderCallBack(W(FOut + "/no/such/folder/x.wav"));
  EXPECT_FALSE(out->HasFile());
  char buffer[4];
  int64_t position = 7;
  EXPECT_EQ(out->Write("ab", 2), -1);
  EXPECT_EQ(out->Read(buffer, 2), -1);
  EXPECT_EQ(out->Seek(0, 0, &position), -1);
  EXPECT_EQ(position, 7);
  void* asked = nullptr;
  EXPECT_EQ(out->QueryInterface(IID_IEncoderCallback, &asked), S_OK);
  EXPECT_EQ(asked, static_cast<IEncoderCallback*>(out));
  out->Release();
  EXPECT_EQ(out->Release(), 0u);
}

}  // namespace
}  // namespace enginetest
