// The task manager's runs: starting and stopping, handing tasks to the
// workers, task states, progress and the end of the workers.
#include <algorithm>
#include <chrono>

#include "engine/uCpuControl.h"
#include "engine/uEncodeWorker.h"
#include "engine/uTaskManager.h"
#include "params/uParamManager.h"
#include "platform/uThreads.h"

void TTaskManager::StartConvert() {
  AssertMainThread();
  FFinishedCount = 0;
  FSucceededCount = 0;
  FTotalCount = PendingCount();
  ForgetRunTargets();
  FIdleNoticeDue = true;
  SetRunning(1);
  for (size_t i = 0; i < FWorkers.size(); ++i) {
    // Workers start a moment apart so that the first ones pick first; a
    // worker for whom no task is left has nothing to wait for, and the
    // main thread's pause would only hold up the workers already started.
    if (i > 0 && FTotalCount > static_cast<int32_t>(i)) platform::Sleep(5);
    FWorkers[i]->FWantedClass = i == 0 ? 0 : 1;
    FWorkers[i]->Activate();
  }
}

void TTaskManager::StopConvert() {
  AssertMainThread();
  SetRunning(0);
  for (const auto& worker : FWorkers)
    worker->Deactivate();
  NoticeWhenIdle();
}

bool TTaskManager::WorkersIdle() const {
  AssertMainThread();
  return !IsRunning() && std::none_of(FWorkers.begin(), FWorkers.end(),
                                      [](const auto& w) { return w->FTask != nullptr; });
}

// Posted, so that the step that let go of the last task has ended first.
void TTaskManager::NoticeWhenIdle() {
  if (!FIdleNoticeDue || !WorkersIdle()) return;
  FIdleNoticeDue = false;
  PostNotify(nkWorkersIdle, -1);
}

void TTaskManager::Shutdown() {
  AssertMainThread();
  SetRunning(0);
  FOnTaskChanged = nullptr;
  for (const auto& worker : FWorkers)
    worker->TerminateWorker();
  WaitForWorkers();
  for (const auto& worker : FWorkers)
    worker->WaitFor();
}

// A worker may be waiting for the main thread (a synchronised step, its
// question box) when it is terminated, so the main thread serves its queue
// until every worker's thread has said that it ended. A quit asked by
// someone else meanwhile is handed on once the workers are gone.
void TTaskManager::WaitForWorkers() {
  bool foreignQuit = false;
  int foreignCode = 0;
  auto allEnded = [this] {
    return std::all_of(FWorkers.begin(), FWorkers.end(), [](const auto& w) { return w->Ended(); });
  };
  FWaitingForWorkers = true;
  while (!allEnded()) {
    FWorkerEndedQuit = false;
    const int code = platform::RunMessageLoop();
    if (!FWorkerEndedQuit) {
      foreignQuit = true;
      foreignCode = code;
    }
  }
  FWaitingForWorkers = false;
  if (foreignQuit) platform::QuitMessageLoop(foreignCode);
}

// Posted, so that the manager hears of it on the main thread.
void TTaskManager::WorkerEnded(TEncodeWorker*) {
  platform::PostMessage(this, WM_WORKER_ENDED, 0, 0);
}

intptr_t TTaskManager::HandleMessage(uint32_t Msg, uintptr_t, intptr_t) {
  // Only a Shutdown waiting for the workers cares that one ended.
  if (Msg == WM_WORKER_ENDED && FWaitingForWorkers) {
    FWorkerEndedQuit = true;
    platform::QuitMessageLoop(0);
  }
  return 0;
}

std::unique_ptr<IPcmTap> TTaskManager::MakePcmTap(const TTaskItem& Task) {
  return FPcmTapFactory ? FPcmTapFactory(Task) : nullptr;
}

void TTaskManager::RequestTask(TEncodeWorker* Worker) {
  AssertMainThread();
  if (!Worker || std::none_of(FWorkers.begin(), FWorkers.end(),
                              [Worker](const auto& w) { return w.get() == Worker; }))
    return;
  Worker->FTask = nullptr;
  if (!Worker->FActive) {
    NoticeWhenIdle();
    return;
  }
  TTaskItem* item = nullptr;
  bool found = false;
  if (Worker->FWantedClass == scOptical) {
    found = TakeNextTask(scOptical, item);
    if (!found) {
      Worker->FWantedClass = scOther;
      found = TakeNextTask(scOther, item);
    }
  } else {
    found = TakeNextTask(scOther, item);
  }
  if (!found) {
    NoticeWhenIdle();
    return;
  }
  Worker->FTask = item;
  RenewCpuUsage(Worker);
}

void TTaskManager::RenewCpuUsage(TEncodeWorker* Worker) {
  try {
    if (Worker->FCpuUsage) {
      IThreadCpuUsageControl* old = Worker->FCpuUsage.Detach();
      FCpuControl->ReleaseUsageControl(old);
    }
    Worker->FProgressCallback.Reset();
    TProgressCallback* callback = nullptr;
    IThreadCpuUsageControl* control = nullptr;
    FCpuControl->CreateUsageControl(callback, control);
    if (!control) return;
    Worker->FProgressCallback = TComPtr<TProgressCallback>(callback);
    Worker->FCpuUsage = TComPtr<IThreadCpuUsageControl>(control);
    control->AttachThread(Worker->ThreadId());
    control->SetProgressCallback(callback);
    const uint8_t priority = FPriority;
    if (priority == tpFaster || priority == tpResourcesFirst) {
      control->SetCpuLimit(priority == tpFaster ? 100 : 30);
      control->SetCpuLimitMode(1);
    }
    control->Start();
  } catch (...) {
    // The worker converts without a limit.
  }
}

bool TTaskManager::TakeNextTask(uint8_t SourceClass, TTaskItem*& Item) {
  AssertMainThread();
  Item = nullptr;
  for (const auto& task : FTasks) {
    if (task->FQueued == 0 || task->FSourceClass != SourceClass) continue;
    platform::TCriticalSectionLock lock(FLock);
    if (task->FTaken == 0) {
      task->FTaken = 1;
      Item = task.get();
      break;
    }
  }
  if (Item) SetRunning(1);
  return Item != nullptr;
}

void TTaskManager::SetTaskState(int32_t Id, TTaskState State) {
  AssertMainThread();
  TTaskItem* task = FindTask(Id);
  if (!task || task->FState == State) return;
  {
    platform::TCriticalSectionLock lock(FLock);
    task->FState = State;
    if (State == tsDone) {
      task->FQueued = 0;
      task->FResult = rcSucceeded;
      if (FFinishedCount < FTotalCount) {
        ++FFinishedCount;
        ++FSucceededCount;
      }
    } else if (State == tsFailed) {
      task->FQueued = 0;
      if (FFinishedCount < FTotalCount && !IsUserAbort(task->FResult)) ++FFinishedCount;
    }
  }
  Notify(Id, nkChanged);
  if (FFinishedCount == FTotalCount) SetRunning(0);
  NoticeWhenIdle();
}

bool TTaskManager::SetTaskProgress(TTaskItem* Item, int32_t Percent) {
  if (!Item || FRunning == 0) return true;
  Item->FProgress = Percent;
  if (!ClaimProgressPost()) return false;
  PostNotify(nkProgress, Item->FId);
  return true;
}

// Any worker may take the next post once the interval has passed.
bool TTaskManager::ClaimProgressPost() {
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  int64_t next = FNextProgressPostMs.load();
  do {
    if (now < next) return false;
  } while (!FNextProgressPostMs.compare_exchange_weak(next, now + ProgressIntervalMs));
  return true;
}

void TTaskManager::PostNotify(uint8_t Kind, int32_t Value) {
  if (platform::IMessageTarget* form = FMainForm.load())
    platform::PostMessage(form, platform::WM_ENCODE_NOTIFY, Kind, Value);
}

void TTaskManager::AddConverted(const std::u16string& Target) {
  AssertMainThread();
  FConverted.push_back(Target);
}

void TTaskManager::QueueForPlaylist(const std::u16string& Target) {
  AssertMainThread();
  FPlaylistQueue.push_back(Target);
  PostNotify(nkPlaylistQueued, -1);
}

TEncodeParam* TTaskManager::FindParam(int32_t ParamId) const {
  return FParamManager->FindById(ParamId);
}

void TTaskManager::SetRunning(uint8_t Flag) {
  if (FRunning == Flag) return;
  FRunning = Flag;
  Notify(-1, nkRunning);
}
