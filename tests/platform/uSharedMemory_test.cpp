#include "platform/uSharedMemory.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "tests/support/uScopedEnv.h"

using namespace platform;
using morvotest::TScopedEnv;

namespace {

// Each run gets its own block names, so parallel test runs stay apart.
const std::u16string BlockName = [] {
  std::string Name = "MorvoTestBlock" + std::to_string(getpid());
  return std::u16string(Name.begin(), Name.end());
}();

class SharedMemory : public ::testing::Test {
protected:
  void TearDown() override { TSharedMemory::Remove(u"Local\\" + BlockName); }
};

}  // namespace

TEST_F(SharedMemory, ObjectNameDropsLocalPrefixAndAddsUserId) {
  const TScopedEnv NoNamespace("MORVO_SHM_NAMESPACE", std::nullopt);
  EXPECT_EQ(TSharedMemory::ObjectName(u"Local\\MorvoExeInterface"),
            "/MorvoExeInterface." + std::to_string(getuid()));
  EXPECT_EQ(TSharedMemory::ObjectName(u"MorvoEncoderMappingFile"),
            "/MorvoEncoderMappingFile." + std::to_string(getuid()));
}

TEST_F(SharedMemory, BlockWrittenByChildProcessIsSeenByParent) {
  ASSERT_EQ(TSharedMemory::OpenExisting(u"Local\\" + BlockName, 1601), nullptr);
  const pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    auto Block = TSharedMemory::CreateOrOpen(u"Local\\" + BlockName, 1601);
    if (!Block || !Block->Created() || Block->Data()[1592] != 0) _exit(1);
    Block->Data()[1592] = 1;
    Block->Data()[0] = 0x5A;
    _exit(0);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);

  // The block outlives its creator; the parent opens what the child wrote.
  auto Block = TSharedMemory::OpenExisting(u"Local\\" + BlockName, 1601);
  ASSERT_NE(Block, nullptr);
  EXPECT_FALSE(Block->Created());
  EXPECT_EQ(Block->Data()[1592], 1);
  EXPECT_EQ(Block->Data()[0], 0x5A);

  // A second mapping in this process shares the same bytes.
  auto Again = TSharedMemory::CreateOrOpen(BlockName, 1601);
  ASSERT_NE(Again, nullptr);
  EXPECT_FALSE(Again->Created());
  Again->Data()[1592] = 0;
  EXPECT_EQ(Block->Data()[1592], 0);
}

TEST_F(SharedMemory, OpenExistingRefusesABlockSmallerThanAsked) {
  auto Small = TSharedMemory::CreateOrOpen(BlockName, 4);
  ASSERT_NE(Small, nullptr);
  EXPECT_EQ(TSharedMemory::OpenExisting(BlockName, 1601), nullptr);
  EXPECT_NE(TSharedMemory::OpenExisting(BlockName, 4), nullptr);
}

TEST_F(SharedMemory, NamespaceKeepsTestRunsApart) {
  const std::string Separate = [] {
    const TScopedEnv Probe("MORVO_SHM_NAMESPACE", "probe");
    return TSharedMemory::ObjectName(BlockName);
  }();
  EXPECT_NE(Separate, TSharedMemory::ObjectName(BlockName));
  EXPECT_EQ(Separate.substr(Separate.size() - 6), ".probe");
}
