// The output object handed to encoders: it writes, reads and seeks in the
// target file, and answers -1 when the file could not be created.
#include <filesystem>
#include <string>

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
