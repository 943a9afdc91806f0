// What an encode worker needs from the one who owns it and the task list:
// a task to convert, a place to report states and progress, the target
// folder and the policy for existing targets. The task manager implements
// it; tests may give a worker a host of their own.
//
// Threading contract: each operation states the thread it is called on.
// "Main thread" operations are reached by the worker only through a
// synchronised step (platform::Synchronize), while the worker waits.
// Ownership: the host outlives its workers; task items and parameter
// objects it hands out stay its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/uPcmTap.h"
#include "engine/uTaskItem.h"

namespace platform {
class IMessageTarget;
}
class TEncodeParam;
class TEncodeWorker;

// Policies for an existing target.
enum TExistPolicy : uint8_t {
  epRename = 0,
  epAsk = 1,
  epOverwrite = 2,
};

class IWorkerHost {
public:
  // Main thread: gives Worker its next task (Worker->FTask, null when there
  // is none or the worker is not active) and renews its CPU usage control.
  virtual void RequestTask(TEncodeWorker* Worker) = 0;
  // Main thread: a listener to the PCM of the task just handed out
  // (uPcmTap.h), or none.
  virtual std::unique_ptr<IPcmTap> MakePcmTap(const TTaskItem& Task) = 0;
  // Main thread: the task's new state; done and failed end it in this run.
  virtual void SetTaskState(int32_t Id, TTaskState State) = 0;
  // Worker thread: the task's progress in percent, reported while running.
  // The percentage is kept at once; the window may hear of it later (all
  // workers together wake it only a few times a second): false when this
  // report was held back, and the worker offers its percentage again.
  virtual bool SetTaskProgress(TTaskItem* Item, int32_t Percent) = 0;
  // Any thread: a notification for the window (see TNotifyKind).
  virtual void PostNotify(uint8_t Kind, int32_t Value) = 0;
  // Main thread: the task leaves the list (delete after success).
  virtual void RemoveTask(int32_t Id) = 0;
  // Main thread: a target converted in this run.
  virtual void AddConverted(const std::u16string& Target) = 0;
  // Main thread: a target for the player's playlist.
  virtual void QueueForPlaylist(const std::u16string& Target) = 0;

  // Any thread: the target folder and the policy, read once per task.
  virtual std::u16string DestPath() const = 0;
  virtual uint8_t ExistPolicy() const = 0;
  // Any thread: the window that owns question boxes, or null.
  virtual platform::IMessageTarget* MainForm() const = 0;
  // Any thread: the parameter object of a task (FParamId), or null.
  virtual TEncodeParam* FindParam(int32_t ParamId) const = 0;
  // Any thread: whether targets get the tags of their sources, read once
  // per task.
  virtual bool WriteTags() const { return true; }

  // The targets of the current run (from StartConvert on). A target that a
  // task of the run writes or has written is never another task's target
  // in the same run, whatever the policy. Paths are compared as files: by
  // the folder's identity and the name, and by the identity of a written
  // file. Any thread.
  //
  // Claims Path for task Id (replacing the task's earlier claim); false,
  // and nothing claimed, when another task of the run holds it.
  virtual bool ClaimTarget(int32_t Id, const std::u16string& Path) = 0;
  // Whether another task of the run than Id holds Path.
  virtual bool IsTargetOfRun(int32_t Id, const std::u16string& Path) = 0;
  // Whether Path is the source of another task of the run than Id that has
  // not ended yet: a file the run still has to read is never written over.
  virtual bool IsSourceOfRun(int32_t Id, const std::u16string& Path) = 0;
  // Task Id has written its target to Path.
  virtual void TargetWritten(int32_t Id, const std::u16string& Path) = 0;
  // Task Id wrote nothing: its claim goes.
  virtual void ReleaseTarget(int32_t Id) = 0;

  // Worker thread, the last thing it does: its thread body has returned.
  virtual void WorkerEnded(TEncodeWorker* Worker) = 0;

protected:
  ~IWorkerHost() = default;
};
