// The encode worker: a thread that converts one task at a time. It sleeps on
// its own wake event, asks the task manager for a task, prepares it (source,
// formats, decoder, target folder and file, encoder), pumps PCM from the
// decoder into the encoder in blocks of at most 16 KiB and reports success
// or failure, then asks for the next task.
//
// The files of a task: the source stays open, through the platform's share
// claim, for the whole task, so that nobody deletes or replaces it while it
// is read. The encoder writes a hidden temporary file in the target folder;
// only a task that succeeds renames it to the target's name, so a stopped or
// failed task leaves an existing target as it was and nothing half written
// under the target's name.
//
// The worker knows its owner only as an IWorkerHost (uWorkerHost.h): the
// task manager in the program, a stand-in in tests.
//
// Threading contract:
// - Activate, Deactivate, TerminateWorker, WaitFor and the destructor are
//   called on the main thread. The host's RequestTask writes FTask,
//   FWantedClass, FProgressCallback and FCpuUsage on the main thread while
//   the worker waits in its synchronised RequestWork step.
// - Every step that touches the task list or the window runs on the main
//   thread through platform::Synchronize while the worker waits; progress
//   reaches the window only as a posted message, a few a second at most
//   (the host holds back the rest; the worker offers them again).
// - FActive and the terminated flag are written on the main thread and read
//   by the worker at its checks.
// Ownership: the host owns the workers; a worker owns its decoder, its
// encoder and output references, its task's PCM tap and its wake event; the
// task belongs to the host.
#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "codecs/uEncodeIntf.h"
#include "codecs/uTagSet.h"
#include "engine/uPcmTap.h"
#include "platform/uFileIdentity.h"
#include "platform/uSync.h"

class TDecoderEx;
class TEncodeParam;
class TEncoderCallBack;
class TProgressCallback;
class TTaskItem;
class IWorkerHost;

class TEncodeWorker {
public:
  // Starts the thread; it waits on its wake event until activated.
  explicit TEncodeWorker(IWorkerHost* Host);
  // Terminates the thread if still running, waits for it and releases what
  // the worker still holds.
  ~TEncodeWorker();
  TEncodeWorker(const TEncodeWorker&) = delete;
  TEncodeWorker& operator=(const TEncodeWorker&) = delete;

  void Activate();
  void Deactivate();
  // Stops the thread for good: clears FActive, closes this worker's question
  // box, marks the thread terminated and wakes it.
  void TerminateWorker();
  // Waits until the thread body has returned (call TerminateWorker first).
  void WaitFor();

  bool Terminated() const { return FTerminated.load(); }
  bool Ended() const { return FEnded.load(); }
  uint32_t ThreadId() const { return FThreadId; }
  // "线程%d文件存在" with this worker's number.
  std::u16string QuestionCaption() const;

  // The worker's fields (see the class comment for who writes what).
  uint64_t FTotalBytes = 0;
  uint64_t FDoneBytes = 0;
  uint16_t FPercent = 0;
  bool FPercentUnposted = false;  // FPercent not yet posted to the window
  IWorkerHost* const FHost;
  TTaskItem* FTask = nullptr;
  std::unique_ptr<TDecoderEx> FDecoder;
  TComPtr<TProgressCallback> FProgressCallback;
  TComPtr<IThreadCpuUsageControl> FCpuUsage;
  WAVEFORMATEX FWaveFormat{};
  std::unique_ptr<platform::TEvent> FWakeEvent;
  std::atomic<uint8_t> FActive = 0;
  TComPtr<IEncoder> FEncoder;
  TComPtr<TEncoderCallBack> FOutput;
  std::u16string FTargetPath;  // the target's final path
  uint8_t FSourceOpened = 0;
  uint8_t FWantedClass = 1;
  int32_t FNumber = 0;

private:
  void Execute();
  void RunTask();
  bool Prepare();
  bool CheckSourceAndTarget();
  // The decoder is made on the main thread and opened on the worker.
  void MakeDecoder();
  void OpenSource();
  bool ComputeWaveFormat();
  bool CheckTrackBounds();
  bool SetupEncoder(const std::u16string& TargetExt);
  bool SetupMp3(IUnknown* Param, TEncodeParam* Settings, bool Lossless, double Samples);
  bool Pump();
  int32_t ReadBlock(int64_t Length);
  int64_t NextRequestLength() const;
  // Whole files and tracks that run to the end of their source.
  bool ReadsToEnd() const;
  void CleanUp();
  void RequestWork();
  void MarkConverting();
  void ReportProgress();
  void TaskSucceeded();
  void TaskFailed();
  void FinishTap(int32_t Result);
  void StoreResult(int32_t Code);
  // Fails the pump's task with code 6 and the decoder's reason.
  void ReadFailed();
  bool Stopped() const;
  // Runs Step on the main thread and waits; exceptions are swallowed.
  void Synchronized(void (TEncodeWorker::*Step)());

  // The target's name and an existing target (uEncodeWorkerTarget.cpp).
  bool ChooseTarget(const std::u16string& Folder);
  bool ResolveExistingTarget();
  bool ReplaceExisting(bool TargetIsSource);
  // Whether the existing target may be written over now: nobody reads or
  // writes it and no task of the run has still to convert it. When not,
  // FDetail says why.
  bool MayWriteOverTarget();
  // Whether a task of the run that has not ended has the existing target
  // as its source; FDetail says so then.
  bool RunStillReadsTarget();
  bool AskOverwrite(bool TargetIsSource);
  // The first copy name of Path that no file and no task of the run uses.
  std::u16string CopyNameFor(const std::u16string& Path);
  void StoreTargetName(const std::u16string& Name);
  void NoteRenamedForRun(const std::u16string& Taken);

  // The files of a task (uEncodeWorkerFiles.cpp).
  bool HoldSource();
  void ReleaseSource();
  bool CreateTemporaryTarget();
  // Renames the temporary file to FTargetPath; false with code 2 or 8.
  bool CommitTarget();
  void UseCopyName();
  void DeleteTemporaryTarget();
  // The source still is the file this task converted and not its target.
  bool SourceIsStillTheConverted(const std::u16string& Source) const;
  void NoteSystemReason();
  // Appends a note to the detail the task gets, after any note before it.
  void AddToDetail(const std::u16string& Note);

  std::thread FThread;
  uint32_t FThreadId = 0;
  std::promise<uint32_t> FIdPromise;
  std::promise<void> FReady;
  std::mutex FAskLock;  // orders a question against TerminateWorker
  bool FAsking = false;
  std::atomic<bool> FTerminated = false;
  std::atomic<bool> FEnded = false;
  std::vector<uint8_t> FBuffer;
  std::unique_ptr<IPcmTap> FPcmTap;  // the current task's listener, if any
  bool FOutputFailed = false;        // the output lost bytes or had no file
  bool FLossless = false;            // the source counts as lossless
  platform::THandle FSourceHold = platform::INVALID_HANDLE_VALUE;
  platform::TMaybeIdentity FSourceIdentity;
  std::u16string FTempPath;  // the temporary file this task created, if any
  platform::TMaybeIdentity FTempIdentity;
  int32_t FNameLimit = 255;  // bytes of a file name in the target folder
  // The existing target the policy agreed to replace, if any.
  platform::TMaybeIdentity FReplaceIdentity;
  // Handed to the task's FDetail on the main thread: the system's reason
  // for a failure or a note on a success.
  std::u16string FDetail;
  int64_t FSeekPosition = 0;  // a cue track's first frame, in 100-ns units
  bool FCueTrack = false;
  bool FTrackToEnd = false;  // a cue track that runs to the end of the source
  uint32_t FFrameBytes = 0;  // one sample frame as the decoder delivers it
  TTagSet FTags;             // what the current target gets
};
