// The task list and the runs: adding, refusing, renaming, sorting, the
// counters, stopping and shutting down, the workers' shares, the steps after
// success and the list of converted files.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>

#include "engine/uEncodeWorker.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "tests/support/uUtf16.h"
#include "text/uTextReader.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

class TaskManagerTest : public TEngineTest {
protected:
  int32_t LastRefused() {
    for (auto it = FReports.rbegin(); it != FReports.rend(); ++it)
      if (it->Kind == nkRefused) return it->Value;
    return -2;
  }
  // A task on two hours of audio: an action on its first progress report
  // lands in the pump however late it comes.
  int32_t AddTwoHourTask(const std::string& TargetName) {
    const std::string source = NewDir("long") + "/two-hours.wav";
    MakeSparseRf64(source, 7200);
    return Add(source, TargetName);
  }
};

TEST_F(TaskManagerTest, AddCleansNamesAndRefusesDuplicates) {
  const std::string src = TSources::Get().Wav16;
  const int32_t first = Add(src, "a:b?.mp3");
  ASSERT_GT(first, 0);
  EXPECT_EQ(U(Task(first)->FTargetName), "a-b-.mp3");
  EXPECT_EQ(Task(first)->FParamId, FManager->FParamManager->FindIdByExtension(".mp3"));
  EXPECT_EQ(Task(first)->FResult, rcNotRun);

  EXPECT_EQ(Add(src, "A-B-.MP3"), -1);  // same source, name differs in case only
  EXPECT_EQ(LastRefused(), first);
  EXPECT_EQ(Add(src, ".mp3"), -1);  // nothing before the extension
  EXPECT_EQ(LastRefused(), first + 1);
  EXPECT_EQ(Add(src, "x.ogg"), -1);
  EXPECT_EQ(Add(src, "noext"), -1);
  EXPECT_EQ(FManager->TaskCount(), 1);

  // Numbers are never given out twice, removals notwithstanding.
  const int32_t second = Add(src, "b.flac");
  EXPECT_EQ(second, first + 1);
  FManager->RemoveTask(second);
  EXPECT_EQ(Add(src, "c.flac"), second + 1);
  EXPECT_EQ(FManager->GetTask(5), nullptr);
  EXPECT_EQ(FManager->FindTask(second), nullptr);
}

TEST_F(TaskManagerTest, ParameterChangesReachTheWindow) {
  FManager->FParamManager->FindByExtension(".mp3")->Changed();
  ASSERT_FALSE(FReports.empty());
  EXPECT_EQ(FReports.back().Kind, nkParamsChanged);
  EXPECT_EQ(FReports.back().Value, -1);
  EXPECT_FALSE(FReports.back().Posted);
}

TEST_F(TaskManagerTest, RenameTargetChecksAndResets) {
  const std::string src = TSources::Get().Wav16;
  const int32_t a = Add(src, "a.mp3");
  const int32_t b = Add(src, "b.mp3");
  Task(b)->FState = tsDone;
  Task(b)->FTaken = 1;
  FManager->RenameTarget(b, u"A.MP3");
  EXPECT_EQ(LastRefused(), a);
  EXPECT_EQ(U(Task(b)->FTargetName), "b.mp3");

  FReports.clear();
  FManager->RenameTarget(b, u"new|name.flac");
  EXPECT_EQ(U(Task(b)->FTargetName), "new-name.flac");
  EXPECT_EQ(U(Task(b)->FTargetExt), ".flac");
  EXPECT_EQ(Task(b)->FParamId, FManager->FParamManager->FindIdByExtension(".flac"));
  EXPECT_EQ(Task(b)->FState, tsWaiting);
  EXPECT_EQ(Task(b)->FTaken, 0);
  ASSERT_EQ(FReports.size(), 1u);
  EXPECT_EQ(FReports[0].Kind, nkChanged);
  EXPECT_EQ(FReports[0].Value, b);
}

TEST_F(TaskManagerTest, SortByResultSourceAndName) {
  const std::string src = TSources::Get().Wav16;
  const int32_t results[] = {12, 2, 13, 11};
  for (int i = 0; i < 4; ++i)
    Task(Add(src, std::string(1, char('d' - i)) + ".mp3"))->FResult = results[i];
  FManager->Sort(2, 1);
  std::vector<int32_t> order;
  for (int i = 0; i < 4; ++i)
    order.push_back(FManager->GetTask(i)->FResult);
  EXPECT_EQ(order, (std::vector<int32_t>{2, 11, 12, 13}));
  EXPECT_EQ(FReports.back().Kind, nkListChanged);
  FManager->Sort(2, 2);
  EXPECT_EQ(FManager->GetTask(0)->FResult, 13);
  FManager->Sort(1, 1);
  EXPECT_EQ(U(FManager->GetTask(0)->FTargetName), "a.mp3");
  FManager->Sort(1, 2);
  EXPECT_EQ(U(FManager->GetTask(0)->FTargetName), "d.mp3");
  FManager->Sort(7, 1);  // unknown key: order kept, still reported
  EXPECT_EQ(U(FManager->GetTask(0)->FTargetName), "d.mp3");
  EXPECT_EQ(FReports.back().Kind, nkListChanged);
}

TEST_F(TaskManagerTest, ResetAllAndCountersAfterRemovals) {
  const TSources& s = TSources::Get();
  const int32_t ok1 = Add(s.Wav16, "ok1.flac");
  const int32_t ok2 = Add(s.Wav16, "ok2.flac");
  const int32_t bad = Add(s.Mp3_128, "bad.flac");
  ConvertAll();
  EXPECT_EQ(FManager->FTotalCount, 3);
  EXPECT_EQ(FManager->FFinishedCount, 3);
  EXPECT_EQ(FManager->FSucceededCount, 2);
  EXPECT_EQ(U(FManager->GetSummary()), "1个文件转换失败,2个文件转换成功");
  // Counters follow removals once no worker is active any more.
  FManager->StopConvert();

  FManager->RemoveTask(ok1);
  EXPECT_EQ(FManager->FTotalCount, 2);
  EXPECT_EQ(FManager->FFinishedCount, 2);
  EXPECT_EQ(FManager->FSucceededCount, 1);
  FManager->RemoveTask(bad);
  EXPECT_EQ(FManager->FTotalCount, 1);
  EXPECT_EQ(FManager->FFinishedCount, 1);
  EXPECT_EQ(FManager->FSucceededCount, 1);

  // A reset puts done tasks back, so a second start converts them again.
  FManager->ResetAll();
  EXPECT_EQ(Task(ok2)->FState, tsWaiting);
  EXPECT_EQ(Task(ok2)->FResult, rcNotRun);
  EXPECT_EQ(FManager->PendingCount(), 1);
  std::filesystem::remove(TargetPath(ok2));
  FManager->FExistPolicy = epOverwrite;
  ConvertAll();
  EXPECT_EQ(Task(ok2)->FResult, rcSucceeded);
  EXPECT_TRUE(FileExists(TargetPath(ok2)));
}

TEST_F(TaskManagerTest, StopDuringThePump) {
  const int32_t id = AddTwoHourTask("stopped.flac");
  OnFirstProgress([this] { FManager->StopConvert(); });
  FManager->StartConvert();
  RunUntil([&] { return Task(id)->FState == tsFailed; });
  EXPECT_EQ(Task(id)->FResult, rcAbortedInPump);
  EXPECT_FALSE(FileExists(TargetPath(id))) << "the partial target is deleted";
  EXPECT_EQ(FManager->FFinishedCount, 0);
  EXPECT_FALSE(FManager->IsRunning());
  // Removing the aborted task lowers only the total.
  FManager->RemoveTask(id);
  EXPECT_EQ(FManager->FTotalCount, 0);
}

// Front ends that act on the whole run's outcome (the rip report) wait for
// the idle notice: it comes once a run has ended and every worker has let go
// of its task, never before a stopped task has ended, once per run.
TEST_F(TaskManagerTest, TheIdleNoticeFollowsTheLastTasksOutcomeOncePerRun) {
  const auto Notices = [this] {
    return std::count_if(FReports.begin(), FReports.end(),
                         [](const TReport& r) { return r.Posted && r.Kind == nkWorkersIdle; });
  };
  const int32_t stopped = AddTwoHourTask("stopped.flac");
  OnFirstProgress([this] { FManager->StopConvert(); });
  FManager->StartConvert();
  RunUntil([&] { return Notices() == 1; });
  EXPECT_FALSE(FManager->IsRunning());
  EXPECT_EQ(Task(stopped)->FState, tsFailed) << "the notice came before the stopped task ended";
  EXPECT_TRUE(FManager->WorkersIdle());

  FManager->RemoveTask(stopped);
  FOnReport = nullptr;
  const int32_t done = Add(TSources::Get().Wav16, "done.flac");
  FManager->StartConvert();
  EXPECT_FALSE(FManager->WorkersIdle());
  RunUntil([&] { return Notices() == 2; });
  EXPECT_EQ(Task(done)->FState, tsDone);
  // Stopping an ended run brings no further notice.
  bool marked = false;
  FOnOtherMessage = [&](uint32_t) {
    marked = true;
    platform::QuitMessageLoop(0);
  };
  FManager->StopConvert();
  platform::PostMessage(this, platform::WM_USER + 1, 0, 0);  // behind any notice
  RunUntil([&] { return marked; });
  EXPECT_EQ(Notices(), 2);
}

TEST_F(TaskManagerTest, StopBeforeThePump) {
  const int32_t id = Add(TSources::Get().Wav16, "never.flac");
  FManager->StartConvert();
  // With the running flag down, the hand-out raises it again (kind 7): stop
  // right there, between taking the task and preparing it.
  FManager->SetRunning(0);
  FOnReport = [&](const TReport& r) {
    if (r.Kind == nkRunning && FManager->IsRunning()) FManager->StopConvert();
  };
  RunUntil([&] { return Task(id)->FState == tsFailed; });
  EXPECT_EQ(Task(id)->FResult, rcUserAbort);
  EXPECT_FALSE(FileExists(TargetPath(id)));
  EXPECT_EQ(FManager->FFinishedCount, 0);
}

TEST_F(TaskManagerTest, ShutdownDuringThePump) {
  const int32_t id = AddTwoHourTask("shut.flac");
  ShutDownAtFirstProgress();
  EXPECT_FALSE(FileExists(TargetPath(id)));
  EXPECT_EQ(Task(id)->FState, tsConverting) << "the task keeps its state";
  for (const auto& worker : FManager->Workers())
    EXPECT_TRUE(worker->Ended());
}

TEST_F(TaskManagerTest, TwoProcessorsConvertInParallel) {
  if (FManager->Workers().size() < 2) GTEST_SKIP() << "one processor";
  const TSources& s = TSources::Get();
  const int32_t a = Add(s.Long16, "pa.flac");
  const int32_t b = Add(s.Long16, "pb.flac");
  int most = 0;
  FOnReport = [&](const TReport&) {
    most =
        std::max(most, int(Task(a)->FState == tsConverting) + int(Task(b)->FState == tsConverting));
  };
  ConvertAll();
  EXPECT_EQ(most, 2);
  EXPECT_EQ(Task(a)->FResult, rcSucceeded);
  EXPECT_EQ(Task(b)->FResult, rcSucceeded);
}

// Every progress post wakes the window: all workers together post a few a
// second, while every task still ends at 100 % and done.
TEST_F(TaskManagerTest, ProgressWakesTheWindowAFewTimesASecond) {
  const TSources& s = TSources::Get();
  const std::vector<int32_t> ids = {Add(s.Long16, "pa.flac"), Add(s.Long16, "pb.wav"),
                                    Add(s.Wav16, "pc.flac"), Add(s.Wav24, "pd.wav")};
  FReports.clear();
  const auto start = std::chrono::steady_clock::now();
  ConvertAll();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  const auto posted = std::count_if(FReports.begin(), FReports.end(), [](const TReport& r) {
    return r.Posted && r.Kind == nkProgress;
  });
  // Posts are at least 100 ms apart (whole milliseconds on both clocks).
  EXPECT_LE(posted, 1 + (elapsed.count() + 1) / 100) << elapsed.count() << " ms";
  EXPECT_GE(posted, 1);
  for (const int32_t id : ids) {
    EXPECT_EQ(Task(id)->FState, tsDone);
    EXPECT_EQ(Task(id)->FProgress, 100);
  }
}

TEST_F(TaskManagerTest, OpticalSourcesGoToWorkerOneOnly) {
  const TSources& s = TSources::Get();
  std::vector<int32_t> optical;
  for (int i = 0; i < 3; ++i)
    optical.push_back(
        Add(s.Wav16, "cd" + std::to_string(i) + ".flac", tkWholeFile, 0, 0, scOptical));
  const int32_t other = Add(s.Long16, "disk.flac");
  int most = 0;
  bool onlyWorkerOne = true;
  FOnReport = [&](const TReport& r) {
    int converting = 0;
    for (int32_t id : optical)
      converting += Task(id)->FState == tsConverting;
    most = std::max(most, converting);
    if (!r.Posted && r.Kind == nkChanged && Task(r.Value) &&
        Task(r.Value)->FSourceClass == scOptical && Task(r.Value)->FState == tsConverting) {
      for (const auto& worker : FManager->Workers())
        if (worker->FTask == Task(r.Value) && worker->FNumber != 1) onlyWorkerOne = false;
    }
  };
  ConvertAll();
  EXPECT_EQ(most, 1);
  EXPECT_TRUE(onlyWorkerOne);
  for (int32_t id : optical)
    EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(Task(other)->FResult, rcSucceeded);
}

TEST_F(TaskManagerTest, TaskAddedDuringARunIsConvertedButNotCounted) {
  const TSources& s = TSources::Get();
  const int32_t first = Add(s.Long16, "first.flac");
  int32_t late = -1;
  FOnReport = [&](const TReport& r) {
    if (late < 0 && r.Kind == nkChanged && r.Value == first && Task(first)->FState == tsConverting)
      late = Add(s.Wav16, "late.flac");
  };
  FManager->ResetAll();
  FManager->StartConvert();
  RunUntil([&] { return late > 0 && AllEnded() && !FManager->IsRunning(); });
  EXPECT_EQ(Task(late)->FResult, rcSucceeded);
  EXPECT_EQ(FManager->FTotalCount, 1);
  EXPECT_EQ(FManager->FFinishedCount, 1);
}

TEST_F(TaskManagerTest, DeleteAfterSuccess) {
  const std::string dir = NewDir("src");
  const std::string whole =
      CopySource(TSources::Get().Wav16, dir, "whole-" + std::to_string(getpid()) + ".wav");
  const std::string image = CopySource(TSources::Get().Long16, dir, "image.wav");
  FManager->FParamManager->FindByExtension(".flac")->FDelAftSucc = 1;
  const int32_t w = Add(whole, "whole.flac");
  const int32_t t = Add(image, "track.flac", tkCueTrack, 1000, 3000);
  ConvertAll();
  EXPECT_EQ(FManager->FindTask(w), nullptr);
  EXPECT_EQ(FManager->FindTask(t), nullptr);
  EXPECT_TRUE(FileExists(FOut + "/whole.flac"));
  EXPECT_TRUE(FileExists(FOut + "/track.flac"));
  EXPECT_FALSE(FileExists(whole));
  const std::string trash = std::string(getenv("XDG_DATA_HOME")) + "/Trash/files/" +
                            std::filesystem::path(whole).filename().string();
  EXPECT_TRUE(FileExists(trash)) << "the source went to the trash";
  EXPECT_TRUE(FileExists(image)) << "a cue track's source is shared and stays";
  int removed = 0;
  for (const TReport& r : FReports)
    removed += r.Kind == nkRemoved;
  EXPECT_EQ(removed, 2);
}

TEST_F(TaskManagerTest, PlaylistQueueAfterSuccess) {
  FManager->FParamManager->FindByExtension(".wav")->FInsAftSucc = 1;
  const int32_t id = Add(TSources::Get().Wav16, "list.wav");
  ConvertAll();
  const std::string target = TargetPath(id);
  RunUntil([&] { return !FReports.empty() && FReports.back().Kind == nkPlaylistQueued; });
  EXPECT_TRUE(FReports.back().Posted);
  EXPECT_EQ(FReports.back().Value, -1);
  ASSERT_EQ(FManager->FPlaylistQueue.size(), 1u);
  EXPECT_EQ(U(FManager->FPlaylistQueue[0]), target);
}

TEST_F(TaskManagerTest, ConvertedListKeepsOnlyNewExistingPaths) {
  const std::string log =
      TSources::Get().Root + "/program/encode-" + std::to_string(getpid()) + ".log";
  const std::string kept = FOut + "/kept.wav";
  WriteBytes(kept, "x");
  // An earlier list in UTF-8 with one existing path and blank lines.
  WriteBytes(log, "\xEF\xBB\xBF" + kept + "\r\n  \r\n");
  const int32_t id = Add(TSources::Get().Wav16, "fresh.wav");
  ConvertAll();
  FManager->FConverted.push_back(W(kept));                // already listed
  FManager->FConverted.push_back(W(FOut + "/gone.wav"));  // deleted meanwhile
  FManager->SaveConvertedList(W(log));
  const std::u16string expected = u"\uFEFF" + W(kept) + u"\r\n" + W(TargetPath(id)) + u"\r\n";
  const std::string bytes = ReadBytes(log);
  ASSERT_EQ(bytes.size(), expected.size() * 2);
  EXPECT_EQ(morvotest::Utf16LeText(bytes), expected);

  // Nothing new: the file is not rewritten (a rewrite would be UTF-16).
  FManager->FConverted = {W(kept)};
  WriteBytes(log, "\xEF\xBB\xBF" + kept + "\r\n");
  FManager->SaveConvertedList(W(log));
  EXPECT_EQ(ReadBytes(log), "\xEF\xBB\xBF" + kept + "\r\n");
}

TEST_F(TaskManagerTest, ConvertedListKeepsNamesThatAreNotUtf8) {
  const std::string log =
      TSources::Get().Root + "/program/encode-legacy-" + std::to_string(getpid()) + ".log";
  const std::string target = FOut + "/caf\xE9.wav";
  WriteBytes(target, "x");
  FManager->FConverted = {platform::PathToWide(target)};
  FManager->SaveConvertedList(W(log));
  const std::string written = ReadBytes(log);
  FManager->SaveConvertedList(W(log));
  EXPECT_EQ(ReadBytes(log), written) << "found in the list again: not added twice";
  TWideStringList list;
  list.LoadFromFile(W(log));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(platform::WideToPath(list.Get(0)), target);
}

TEST_F(TaskManagerTest, SettingsSurviveTheManager) {
  FManager->SetDestPath(W(FOut + "/kept/"));
  FManager->FTipShow = 1;
  FManager->SaveSettings();
  FManager.reset();
  FManager = std::make_unique<TTaskManager>();
  EXPECT_EQ(U(FManager->DestPath()), FOut + "/kept/");
  EXPECT_EQ(FManager->FTipShow, 1);
  std::filesystem::remove(TSources::Get().Root + "/program/EncodeConfig.ini");
}

}  // namespace
}  // namespace enginetest
