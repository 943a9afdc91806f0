// The encode worker: a thread that converts one task at a time. It sleeps on
// its own wake event, asks the task manager for a task, prepares it (source,
// formats, decoder, target folder and file, encoder), pumps PCM from the
// decoder into the encoder in blocks of at most 16 KiB and reports success
// or failure, then asks for the next task.
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
//   reaches the window only as a posted message.
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
  std::u16string FTargetPath;
  uint8_t FSourceOpened = 0;
  uint8_t FWantedClass = 1;
  int32_t FNumber = 0;

private:
  void Execute();
  void RunTask();
  bool Prepare();
  bool CheckSourceAndTarget();
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
  void DeleteCreatedTarget();
  void FinishTap(int32_t Result);
  void StoreResult(int32_t Code);
  bool Stopped() const;
  // Runs Step on the main thread and waits; exceptions are swallowed.
  void Synchronized(void (TEncodeWorker::*Step)());

  // Existing targets (uEncodeWorkerTarget.cpp).
  bool ResolveExistingTarget();
  bool ReplaceExisting(bool TargetIsSource);
  bool AskOverwrite(bool TargetIsSource);
  void StoreTargetName(const std::u16string& Name);

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
  bool FTargetCreated = false;  // the current task created FTargetPath
  bool FOutputFailed = false;  // the output lost bytes or had no file
  int64_t FSeekPosition = 0;  // a cue track's first frame, in 100-ns units
  bool FCueTrack = false;
  bool FTrackToEnd = false;  // a cue track that runs to the end of the source
  uint32_t FFrameBytes = 0;  // one sample frame as the decoder delivers it
  TTagSet FTags;  // what the current target gets
  // Handed to the task's FDetail on the main thread: the system's reason
  // for a failure or a note on a success.
  std::u16string FDetail;
};
