#include "infra/uLxLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "infra/uExeInterface.h"
#include "infra/uUnitLifetime.h"
#include "platform/uCodePage.h"
#include "platform/uFileTime.h"
#include "platform/uSharedMemory.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uUtf16.h"

using morvotest::TTempDir;

namespace {

// This process's interface block is its own, apart from parallel test runs.
const bool OwnNamespace = [] {
  setenv("MORVO_SHM_NAMESPACE", ("logtest" + std::to_string(getpid())).c_str(), 1);
  return true;
}();

class TRemoveBlock : public ::testing::Environment {
  void TearDown() override {
    FinalizeExeInterface();
    platform::TSharedMemory::Remove(u"Local\\MorvoExeInterface");
  }
};
const auto* const BlockCleanup = ::testing::AddGlobalTestEnvironment(new TRemoveBlock);

// The player's side: a separate process publishes the block with the switch.
void PublishSwitchFromChild(bool On) {
  const pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    auto Block =
        platform::TSharedMemory::CreateOrOpen(u"Local\\MorvoExeInterface", ExeInterfaceSize);
    if (!Block) _exit(1);
    Block->Data()[ExeInterfaceLogSwitch] = On ? 1 : 0;
    _exit(0);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0);
}

// The file's lines (after the mark), without CR LF; Mark tells if FF FE led.
std::vector<std::u16string> ReadLogLines(const std::string& Path, bool* Mark = nullptr) {
  const std::string Bytes = morvotest::ReadBytes(Path);
  const bool HasMark = Bytes.size() >= 2 && Bytes[0] == '\xFF' && Bytes[1] == '\xFE';
  if (Mark) *Mark = HasMark;
  const std::u16string Text =
      morvotest::Utf16LeText(std::string_view(Bytes).substr(HasMark ? 2 : 0));
  std::vector<std::u16string> Lines;
  for (size_t Start = 0; Start < Text.size();) {
    const size_t End = Text.find(u"\r\n", Start);
    Lines.push_back(Text.substr(Start, End - Start));
    if (End == std::u16string::npos) break;
    Start = End + 2;
  }
  return Lines;
}

std::u16string Number(int N) {
  const std::string S = std::to_string(N);
  return std::u16string(S.begin(), S.end());
}

// Text after the fourth tab.
std::u16string InfoOf(const std::u16string& Line) {
  size_t Pos = 0;
  for (int Tab = 0; Tab < 4; ++Tab)
    Pos = Line.find(u'\t', Pos) + 1;
  return Line.substr(Pos);
}

std::u16string ThreadColumn(const std::u16string& Line) {
  const size_t First = Line.find(u'\t') + 1;
  return Line.substr(First, Line.find(u'\t', First) - First);
}

const std::u16string Header = u"Time\tThreadID\tCatalog\tLevel\tInfo";

}  // namespace

TEST(LxLog, SwitchOffMeansNoFileHoweverManyLines) {
  PublishSwitchFromChild(false);
  TTempDir Dir;
  const std::string Path = Dir / "output.log";
  TLxLog Log(platform::PathToWide(Path));
  for (int I = 0; I < 2500; ++I)
    Log.Add(u"line " + Number(I), 0, 127);
  Log.FinalWrite();
  EXPECT_FALSE(std::filesystem::exists(Path));
  EXPECT_EQ(Log.PendingCount(), 500u);  // the full batches were dropped
}

TEST(LxLog, ThousandLineBatchesAreWrittenUnsortedAndTheRestSortedAtTheEnd) {
  PublishSwitchFromChild(true);
  TTempDir Dir;
  const std::string Path = Dir / "output.log";
  TLxLog Log(platform::PathToWide(Path));
  // Lines alternate between the main thread and a worker, so that a sorted
  // write would group them by thread.
  for (int I = 0; I < 1000; ++I) {
    if (I % 2 == 0)
      Log.Add(u"line " + Number(I), 0, 127);
    else
      std::thread([&] { Log.Add(u"line " + Number(I), 0, 127); }).join();
  }
  EXPECT_FALSE(std::filesystem::exists(Path));  // 1000 lines pending: no write yet
  Log.Add(u"line 1000", 0, 127);                // the 1001st writes the first 1000
  bool Mark = false;
  std::vector<std::u16string> Lines = ReadLogLines(Path, &Mark);
  EXPECT_TRUE(Mark);
  ASSERT_EQ(Lines.size(), 1001u);
  EXPECT_EQ(Lines[0], Header);
  for (int I = 0; I < 1000; ++I)
    EXPECT_EQ(InfoOf(Lines[static_cast<size_t>(I) + 1]), u"line " + Number(I));
  EXPECT_EQ(ThreadColumn(Lines[1]), u"00000000");
  EXPECT_NE(ThreadColumn(Lines[2]), u"00000000");

  // The end: the remaining lines, sorted by thread (main first), no second header.
  std::thread([&] { Log.Add(u"worker late", 0, 127); }).join();
  Log.Add(u"main late", 0, 127);
  Log.FinalWrite();
  Lines = ReadLogLines(Path);
  ASSERT_EQ(Lines.size(), 1004u);
  EXPECT_EQ(InfoOf(Lines[1001]), u"line 1000");
  EXPECT_EQ(InfoOf(Lines[1002]), u"main late");
  EXPECT_EQ(InfoOf(Lines[1003]), u"worker late");
  EXPECT_EQ(std::count(Lines.begin(), Lines.end(), Header), 1);
}

// Seconds "2.5" and six more decimals, a tab, then exactly Rest.
static bool IsLineAfter2_5Seconds(const std::string& Line, const std::string& Rest) {
  if (Line.size() != 10 + Rest.size() || Line.compare(0, 3, "2.5") != 0 || Line[9] != '\t')
    return false;
  for (size_t I = 3; I < 9; ++I)
    if (Line[I] < '0' || Line[I] > '9') return false;
  return Line.compare(10, std::string::npos, Rest) == 0;
}

TEST(LxLog, LineFormat) {
  PublishSwitchFromChild(true);
  TTempDir Dir;
  const std::string Path = Dir / "output.log";
  TLxLog Log(platform::PathToWide(Path));
  Log.SetStartTime(platform::SystemTimeAsFileTime() - 25000000);  // started 2.5 s ago
  Log.Add(u"uLxLog.initialization", 0, 127);
  Log.Add(u"其他", 5, 3);
  Log.FinalWrite();
  const std::vector<std::u16string> Lines = ReadLogLines(Path);
  ASSERT_EQ(Lines.size(), 3u);
  const std::string First = platform::WideToUtf8(Lines[1]);
  EXPECT_TRUE(IsLineAfter2_5Seconds(First, "00000000\t未知\t127\tuLxLog.initialization")) << First;
  const std::string Second = platform::WideToUtf8(Lines[2]);
  EXPECT_TRUE(IsLineAfter2_5Seconds(Second, "00000000\t \t3\t其他")) << Second;
}

TEST(LxLog, SwitchFollowsThePlayerBetweenBatches) {
  TTempDir Dir;
  const std::string Path = Dir / "output.log";
  TLxLog Log(platform::PathToWide(Path));
  Log.SetMaxPending(10);
  PublishSwitchFromChild(true);
  for (int I = 0; I < 11; ++I)
    Log.Add(u"on " + Number(I), 0, 127);
  EXPECT_EQ(ReadLogLines(Path).size(), 11u);  // header and 10 lines
  PublishSwitchFromChild(false);
  for (int I = 0; I < 10; ++I)
    Log.Add(u"off " + Number(I), 0, 127);  // the 11th add drops the batch
  Log.FinalWrite();
  EXPECT_EQ(ReadLogLines(Path).size(), 11u);
}

TEST(LxLog, OverlappingBatchWritesLoseNoLines) {
  PublishSwitchFromChild(true);
  TTempDir Dir;
  const std::string Path = Dir / "output.log";
  TLxLog Log(platform::PathToWide(Path));
  Log.SetMaxPending(5);  // many small batches, written by whichever thread fills one
  constexpr int Threads = 8, PerThread = 300;
  std::vector<std::thread> Workers;
  for (int T = 0; T < Threads; ++T)
    Workers.emplace_back([&] {
      for (int I = 0; I < PerThread; ++I)
        Log.Add(u"x", 0, 127);
    });
  for (auto& W : Workers)
    W.join();
  Log.FinalWrite();
  const std::vector<std::u16string> Lines = ReadLogLines(Path);
  EXPECT_EQ(Lines.size(), static_cast<size_t>(Threads * PerThread + 1));
}

TEST(LxLog, UnitsStartAndEndInOrderWithTheirLogLines) {
  PublishSwitchFromChild(true);
  TTempDir Dir;
  const morvotest::TScopedEnv ProgramDir("MORVO_PROGRAM_DIR", Dir.Path().string());
  std::vector<std::string> Order;
  AddUnit({"first", [&] { Order.push_back("first+"); },
           [&] {
             Order.push_back("first-");
             WriteLog(u"first finalization");
           }});
  AddUnit({"second", [&] { Order.push_back("second+"); },
           [&] {
             Order.push_back("second-");
             WriteLog(u"second finalization");
           }});
  StartUnits();
  ASSERT_NE(LxLog(), nullptr);
  EXPECT_EQ(LxLog()->FileName(), platform::PathToWide((Dir / "output.log").string()));
  EndUnits();
  EXPECT_EQ(LxLog(), nullptr);
  WriteLog(u"after the end");  // ignored, not a crash
  EXPECT_EQ(Order, (std::vector<std::string>{"first+", "second+", "second-", "first-"}));
  const std::vector<std::u16string> Lines = ReadLogLines(Dir / "output.log");
  ASSERT_EQ(Lines.size(), 5u);
  EXPECT_EQ(InfoOf(Lines[1]), u"uLxLog.initialization");
  EXPECT_EQ(InfoOf(Lines[2]), u"second finalization");
  EXPECT_EQ(InfoOf(Lines[3]), u"first finalization");
  EXPECT_EQ(InfoOf(Lines[4]), u"uLxLog.finalization");
}

TEST(ExeInterface, ReadCopiesTheWholeBlock) {
  PublishSwitchFromChild(true);
  ExeInterfaceBlock Block{};
  Block.Bytes[0] = 0xAA;
  ASSERT_TRUE(ReadExeInterface(Block));
  EXPECT_EQ(Block.Bytes[ExeInterfaceLogSwitch], 1);
  EXPECT_EQ(Block.Bytes[0], 0);  // the player's bytes, zero here
  EXPECT_TRUE(ExeInterfaceLogSwitchOn());
}
