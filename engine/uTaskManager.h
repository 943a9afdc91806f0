// The task manager: the one owner of the conversion list, its run counters,
// the target settings, the worker threads, the CPU usage control, the
// parameter manager, the list of converted files and the playlist queue.
//
// Threading contract:
// - Every operation runs on the main thread, except SetTaskProgress,
//   PostNotify and WorkerEnded (worker threads) and the accessors marked
//   "any thread" (here and in uWorkerHost.h).
//   Workers reach RequestTask, SetTaskState and the other list operations
//   only through a synchronised step on the main thread.
// - FLock (re-entrant) guards the task list and the run counters; the
//   change callback is always called after it is released, and no other
//   lock is taken while it is held.
// - FOnTaskChanged is called on the main thread only, synchronously.
// Ownership: the manager owns its task items (also a refused one handed to
// AddTask), the workers, the CPU control, the parameter manager and all
// lists. Task pointers handed out (FindTask, GetTask) stay valid until the
// task is removed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/uPcmTap.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "platform/uFileIdentity.h"
#include "platform/uMessageQueue.h"
#include "platform/uSync.h"

class TCpuControl;
class TEncodeWorker;
class TParamManager;

// Receives (value, kind): see the notification kinds in uTaskItem.h.
using TTaskChangedEvent = std::function<void(int32_t Value, uint8_t Kind)>;

// Task priorities (FPriority).
constexpr uint8_t tpFaster = 0;
constexpr uint8_t tpResourcesFirst = 1;

class TTaskManager final : public platform::IMessageTarget, public IWorkerHost {
public:
  TTaskManager();
  // Ends the workers (as Shutdown) and frees everything.
  ~TTaskManager();
  TTaskManager(const TTaskManager&) = delete;
  TTaskManager& operator=(const TTaskManager&) = delete;

  // The list.
  void AddTask(std::unique_ptr<TTaskItem> Item);
  // Whether a task Id may have Source and TargetName. When not, Reason says
  // why and ConflictId names the task in the way (Id itself when none):
  //   0 another task has the same source and target name (letter case
  //     ignored), 1 the target format is not available, 2 reserved for a
  //     source/target compatibility check, 3 the name has nothing before its
  //     extension. Reason is -1 when the check passes.
  bool CheckTask(int32_t Id, const std::u16string& Source, const std::u16string& TargetName,
                 int32_t& Reason, int32_t& ConflictId);
  bool IsTargetFormatAvailable(const std::u16string& Ext);
  void RemoveTask(int32_t Id) override;
  TTaskItem* FindTask(int32_t Id);
  TTaskItem* GetTask(int32_t Index);
  int32_t TaskCount();
  int32_t PendingCount();
  void ResetAll();
  void RenameTarget(int32_t Id, const std::u16string& NewName);
  static std::u16string ReplaceInvalidChars(std::u16string Name);
  // Key 0 source path, 1 target name (both ordinal, letter case counts),
  // 2 result code; direction 1 ascending, 2 descending. Any other key or
  // direction keeps the order; the whole list is reported changed anyway.
  void Sort(int32_t Key, int32_t Direction);
  std::u16string GetSummary();
  // The quality entries of the format registered for Ext, or null.
  const std::vector<std::string>* GetQualityList(const std::u16string& Ext);

  // Runs.
  void StartConvert();
  void StopConvert();
  // Ends every worker (waiting for each, serving the main thread's queue
  // meanwhile, so a worker waiting for a synchronised step can finish).
  void Shutdown();
  void RequestTask(TEncodeWorker* Worker) override;
  std::unique_ptr<IPcmTap> MakePcmTap(const TTaskItem& Task) override;
  bool TakeNextTask(uint8_t SourceClass, TTaskItem*& Item);
  void SetTaskState(int32_t Id, TTaskState State) override;
  // Worker thread: stores the percentage and posts kind 6, while running;
  // the posts of all workers together at most one per ProgressIntervalMs
  // (false when this one was held back).
  bool SetTaskProgress(TTaskItem* Item, int32_t Percent) override;
  // Any thread: posts WM_ENCODE_NOTIFY (kind, value) to FMainForm if set.
  void PostNotify(uint8_t Kind, int32_t Value) override;
  void SetRunning(uint8_t Flag);

  // Settings and files.
  void LoadSettings();
  void SaveSettings();
  // Appends the new, still existing converted targets to the UTF-16LE list
  // at Path; errors writing the file reach the caller.
  void SaveConvertedList(const std::u16string& Path);

  // The target folder is read by workers while the window may change it.
  std::u16string DestPath() const override;  // any thread
  void SetDestPath(const std::u16string& Path);

  // The rest of what a worker asks of its host (see uWorkerHost.h).
  void AddConverted(const std::u16string& Target) override;
  void QueueForPlaylist(const std::u16string& Target) override;
  uint8_t ExistPolicy() const override { return FExistPolicy.load(); }
  platform::IMessageTarget* MainForm() const override { return FMainForm.load(); }
  TEncodeParam* FindParam(int32_t ParamId) const override;
  bool WriteTags() const override { return FWriteTags.load(); }
  void WorkerEnded(TEncodeWorker* Worker) override;
  // The targets of the current run (uTaskManagerTargets.cpp), any thread.
  bool ClaimTarget(int32_t Id, const std::u16string& Path) override;
  bool IsTargetOfRun(int32_t Id, const std::u16string& Path) override;
  bool IsSourceOfRun(int32_t Id, const std::u16string& Path) override;
  void TargetWritten(int32_t Id, const std::u16string& Path) override;
  void ReleaseTarget(int32_t Id) override;

  // Main thread: the run has ended and no worker holds a task (a stopped
  // worker still ending its task holds it until its failure step).
  bool WorkersIdle() const;

  // Any thread.
  bool IsRunning() const { return FRunning.load() != 0; }
  const std::vector<std::unique_ptr<TEncodeWorker>>& Workers() const { return FWorkers; }

  // Read and written directly by the window (main thread; workers read the
  // atomics of the policy and the priority, and FMainForm).
  std::atomic<uint8_t> FExistPolicy = epAsk;
  std::vector<std::u16string> FExistPolicyNames;
  std::vector<std::u16string> FPriorityNames;
  std::atomic<uint8_t> FPriority = tpFaster;
  // Targets get their sources' tags ([General] WriteTags, on by default).
  std::atomic<bool> FWriteTags = true;
  TTaskChangedEvent FOnTaskChanged;
  std::vector<std::u16string> FConverted;
  std::atomic<platform::IMessageTarget*> FMainForm = nullptr;
  int32_t FTipShow = 0;
  std::unique_ptr<TParamManager> FParamManager;
  std::unique_ptr<TCpuControl> FCpuControl;
  int32_t FFinishedCount = 0;
  int32_t FSucceededCount = 0;
  int32_t FTotalCount = 0;
  // Filled by a worker's success step, emptied by the window (main thread).
  std::vector<std::u16string> FPlaylistQueue;
  // Set by the front end (main thread, not during a run): who listens to
  // which task's PCM (uPcmTap.h). None: nobody.
  TPcmTapFactory FPcmTapFactory;

  // Private message: a worker's thread has ended (see Shutdown).
  static constexpr uint32_t WM_WORKER_ENDED = platform::WM_USER + 2100;
  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

private:
  void Notify(int32_t Value, uint8_t Kind);
  void OnParamsChanged(uint8_t FormatType);
  int32_t FindIndex(int32_t Id);
  bool IsHeldByWorker(const TTaskItem* Task) const;
  bool AnyWorkerActive() const;
  void RenewCpuUsage(TEncodeWorker* Worker);
  void WaitForWorkers();
  // Posts nkWorkersIdle when the run's notice is due and the workers are idle.
  void NoticeWhenIdle();
  void AssertMainThread() const;

  platform::TCriticalSection FLock;
  std::vector<std::unique_ptr<TTaskItem>> FTasks;
  int32_t FLastId = 0;
  mutable std::mutex FDestPathLock;
  std::u16string FDestPath;
  std::atomic<uint8_t> FRunning = 0;
  // Progress is posted about ten times a second: what a person can follow,
  // and every post wakes the main thread.
  static constexpr int64_t ProgressIntervalMs = 100;
  std::atomic<int64_t> FNextProgressPostMs = 0;  // steady clock
  bool ClaimProgressPost();
  std::vector<std::unique_ptr<TEncodeWorker>> FWorkers;
  // The targets claimed and written in the current run; FRunTargetsLock is
  // a leaf lock, never held together with FLock.
  struct TRunTarget {
    int32_t TaskId;
    platform::TMaybeIdentity Folder;
    std::u16string Name;               // the file name, letter case as given
    std::u16string FullPath;           // for a folder that cannot be examined
    platform::TMaybeIdentity Written;  // known once the task has written it
  };
  std::mutex FRunTargetsLock;
  std::vector<TRunTarget> FRunTargets;
  void ForgetRunTargets();
  bool FWaitingForWorkers = false;
  bool FIdleNoticeDue = false;  // main thread; set by StartConvert
  bool FWorkerEndedQuit = false;
};
