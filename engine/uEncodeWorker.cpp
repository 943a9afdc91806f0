// The worker thread's life: waking, asking for tasks, the pump, clean-up
// and the steps it hands to the main thread.
#include "engine/uEncodeWorker.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "codecs/uDecoderEx.h"
#include "engine/uCpuControl.h"
#include "engine/uEncoderCallBack.h"
#include "engine/uTargetTags.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "infra/uLxFileUtils.h"
#include "infra/uLxLog.h"
#include "infra/uMessages.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"
#include "platform/uTrash.h"

namespace {

// A bounded wait for a question box that a worker has committed to open.
constexpr uint32_t QuestionBoxAppearMs = 5000;
// Bytes of one pump block and of the buffer.
constexpr int32_t EncodeBlockSize = 16384;
// Reads of 0 bytes tolerated before a source has delivered anything.
constexpr int32_t EmptyReadLimit = 100;

// Moves a converted whole file's source to the trash; when that fails the
// source stays where it is (it is never deleted outright) and the task
// says why.
bool MoveSourceToTrash(TTaskItem& Task) {
  std::string reason;
  if (platform::MoveToTrash(Task.FSource, &reason)) return true;
  // A note on the tags written before stays in front of this one.
  if (!Task.FDetail.empty()) Task.FDetail += u"; ";
  Task.FDetail += FormatText(TrNoop(u"源文件未能移到回收站: %s"), {platform::Utf8ToWide(reason)});
  return false;
}

std::u16string WakeEventNameFor(uint32_t ThreadId) {
  char name[64];
  std::snprintf(name, sizeof name, "Encode_Work_Event_%s_%.8X", "TEncodeWorker", ThreadId);
  return platform::Utf8ToWide(name);
}

}  // namespace

TEncodeWorker::TEncodeWorker(IWorkerHost* Host) : FHost(Host) {
  std::future<uint32_t> id = FIdPromise.get_future();
  std::shared_future<void> ready = FReady.get_future().share();
  FThread = std::thread([this, ready] {
    FIdPromise.set_value(platform::CurrentThreadId());
    ready.wait();
    Execute();
    FEnded = true;
    FHost->WorkerEnded(this);
  });
  FThreadId = id.get();
  FWakeEvent = std::make_unique<platform::TEvent>(WakeEventNameFor(FThreadId));
  FReady.set_value();
}

TEncodeWorker::~TEncodeWorker() {
  if (FThread.joinable()) {
    TerminateWorker();
    WaitFor();
  }
  FEncoder.Reset();
  FOutput.Reset();
  FDecoder.reset();
  ReleaseSource();
}

std::u16string TEncodeWorker::QuestionCaption() const {
  // Shown as the question's caption and used to find the box again: every
  // use goes through here.
  return FormatText(Tr(u"线程%d文件存在"), {platform::Utf8ToWide(std::to_string(FNumber))});
}

void TEncodeWorker::Activate() {
  FActive = 1;
  FWakeEvent->SetEvent();
}

void TEncodeWorker::Deactivate() { FActive = 0; }

void TEncodeWorker::TerminateWorker() {
  FActive = 0;
  bool asking;
  {
    std::lock_guard lock(FAskLock);
    FTerminated = true;
    asking = FAsking;
  }
  // A worker that has decided to ask opens its box at once; wait for the box
  // so that closing it cannot come too early.
  if (asking) platform::WaitForMessageBox(QuestionCaption(), QuestionBoxAppearMs);
  platform::CloseMessageBox(QuestionCaption());
  FWakeEvent->SetEvent();
}

void TEncodeWorker::WaitFor() {
  if (FThread.joinable()) FThread.join();
}

bool TEncodeWorker::Stopped() const { return FActive.load() == 0 || Terminated(); }

void TEncodeWorker::StoreResult(int32_t Code) {
  if (FTask) FTask->FResult = Code;
}

void TEncodeWorker::Synchronized(void (TEncodeWorker::*Step)()) {
  try {
    platform::Synchronize([this, Step] {
      try {
        (this->*Step)();
      } catch (...) {
        // Steps on behalf of a worker never fail the main thread.
      }
    });
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// Thread body

void TEncodeWorker::Execute() {
  while (!Terminated()) {
    if (FActive.load() == 0) FWakeEvent->WaitFor();
    if (Terminated()) break;
    Synchronized(&TEncodeWorker::RequestWork);
    if (!FTask) {
      FActive = 0;
      continue;
    }
    RunTask();
  }
}

void TEncodeWorker::RunTask() {
  FBuffer.assign(EncodeBlockSize, 0);
  FOutputFailed = false;
  FPercent = 0;
  FPercentUnposted = false;
  FTags = TTagSet();
  FDetail.clear();
  bool success = Prepare();
  // Read while the decoder is open: it knows the tags of containers that
  // TagLib does not read.
  if (success && FHost->WriteTags()) FTags = CollectTaskTags(*FTask, FDecoder.get());
  if (success) {
    FDoneBytes = 0;
    Synchronized(&TEncodeWorker::MarkConverting);
    if (FEncoder->Init(FOutput.Get(), &FWaveFormat) != 0) {
      StoreResult(rcEncodeFailed);
      success = false;
    } else {
      success = Pump();
    }
  }
  CleanUp();
  if (Terminated()) {
    DeleteTemporaryTarget();
    if (FTask) FHost->ReleaseTarget(FTask->FId);
    ReleaseSource();
    FPcmTap.reset();
    return;
  }
  // An output that could not take every byte means a damaged target,
  // whatever the encoder made of it.
  if (success && FOutputFailed) {
    StoreResult(rcEncodeFailed);
    success = false;
  }
  // The target is complete and closed; its tags go in before it takes its
  // final name, so that a reader never sees it without them.
  if (success) AddToDetail(WriteTargetTags(*FTask, FTags, FTempPath));
  FTags = TTagSet();
  if (success) success = CommitTarget();
  Synchronized(success ? &TEncodeWorker::TaskSucceeded : &TEncodeWorker::TaskFailed);
  ReleaseSource();
}

void TEncodeWorker::CleanUp() {
  if (FEncoder) {
    try {
      FEncoder->Finish();
    } catch (...) {
    }
    FEncoder.Reset();
  }
  if (FOutput) {
    const bool hadFile = FOutput->HasFile();
    // The last gathered bytes go out here, so that a full disk shows now,
    // and the file is closed before its tags are written and it is renamed.
    FOutput->Close();
    FOutputFailed = FOutput->WriteFailed() || !hadFile;
    if (FOutput->WriteFailed() && FDetail.empty())
      FDetail = platform::Utf8ToWide(FOutput->WriteError());
    FOutput.Reset();
  }
  FDecoder.reset();
  FBuffer.clear();
  FBuffer.shrink_to_fit();
}

void TEncodeWorker::FinishTap(int32_t Result) {
  std::unique_ptr<IPcmTap> tap = std::move(FPcmTap);
  if (tap) tap->Finish(Result, FTargetPath);
}

// ---------------------------------------------------------------------------
// The pump

// The decoder lives in the player's library: should it report more bytes
// than it wrote, the encoder gets silence rather than the previous block.
int32_t TEncodeWorker::ReadBlock(int64_t Length) {
  std::memset(FBuffer.data(), 0, static_cast<size_t>(Length));
  return FDecoder->Read(FBuffer.data(), static_cast<int32_t>(Length));
}

bool TEncodeWorker::ReadsToEnd() const { return !FCueTrack || FTrackToEnd; }

// Whole sample frames only, at most one block; a bounded cue track asks for
// exactly what is left of it.
int64_t TEncodeWorker::NextRequestLength() const {
  const int64_t frame = FFrameBytes > 0 ? FFrameBytes : 1;
  const int64_t block = EncodeBlockSize / frame * frame;
  if (ReadsToEnd()) return block;
  const uint64_t left = FTotalBytes > FDoneBytes ? FTotalBytes - FDoneBytes : 0;
  return left < static_cast<uint64_t>(block) ? static_cast<int64_t>(left) : block;
}

bool TEncodeWorker::Pump() {
  bool success = true;
  int32_t read = -1;
  int32_t emptyReads = 0;
  // Whole files and tracks that run to the end of their source are read
  // until the decoder says the data ended; a bounded track until its bytes
  // are done.
  const bool toEnd = ReadsToEnd();
  try {
    if (FCueTrack) FDecoder->Seek((static_cast<double>(FSeekPosition) + 0.5) / 10000000.0);
    read = ReadBlock(NextRequestLength());
  } catch (...) {
    success = false;
    read = -1;
  }
  while ((toEnd || FDoneBytes != FTotalBytes) && success && read >= 0) {
    if (Stopped()) {
      success = false;
      StoreResult(rcAbortedInPump);
      break;
    }
    try {
      if (read > 0) {
        if (FPcmTap) FPcmTap->Write(FBuffer.data(), static_cast<size_t>(read));
        if (FEncoder->Encode(FBuffer.data(), read) < 0) success = false;
        FDoneBytes += static_cast<uint64_t>(read);
        const uint16_t percent =
            FTotalBytes == 0
                ? 0
                : static_cast<uint16_t>(std::min<double>(
                      65535.0, std::trunc(static_cast<double>(FDoneBytes) / FTotalBytes * 100.0)));
        if (FProgressCallback) FProgressCallback->FProgress = FPercent;
        if (percent != FPercent) {
          FPercent = percent;
          FPercentUnposted = true;
        }
        // A percentage held back is offered again with the next blocks.
        if (FPercentUnposted) ReportProgress();
      } else if (FDoneBytes > 0) {
        break;  // end of data
      } else if (++emptyReads > EmptyReadLimit) {
        // A source that never delivers anything cannot be read.
        StoreResult(rcReadFailed);
        success = false;
        break;
      }
      const int64_t length = NextRequestLength();
      if (length == 0) break;
      read = ReadBlock(length);
    } catch (...) {
      success = false;
      StoreResult(rcEncodeFailed);
      break;
    }
  }
  // The decoder failed rather than ended: the source is cut short, damaged
  // or unreadable, and what was encoded is not the whole of it.
  if (success && read < 0) {
    ReadFailed();
    success = false;
  }
  return success;
}

void TEncodeWorker::ReadFailed() {
  StoreResult(rcReadFailed);
  switch (FDecoder->ReadError()) {
  case drEndsShort:
    FDetail = u"the file ends before the length its header states";
    break;
  case drDamaged:
    FDetail = u"the audio data is damaged";
    break;
  default:
    FDetail = u"the decoder could not read the file";
    break;
  }
}

// ---------------------------------------------------------------------------
// Steps on the main thread

void TEncodeWorker::RequestWork() {
  FPcmTap.reset();
  if (Terminated()) {
    FTask = nullptr;
    return;
  }
  FHost->RequestTask(this);
  if (FTask) FPcmTap = FHost->MakePcmTap(*FTask);
}

void TEncodeWorker::MarkConverting() {
  if (Terminated() || !FTask) return;
  FHost->SetTaskState(FTask->FId, tsConverting);
}

void TEncodeWorker::ReportProgress() {
  if (Terminated()) return;
  FPercentUnposted = !FHost->SetTaskProgress(FTask, FPercent);
}

void TEncodeWorker::TaskSucceeded() {
  TTaskItem* task = FTask;
  if (!task) return;
  // The worker is done with its task: the list may remove it from now on.
  FTask = nullptr;
  // A tag that could not be written is noted; the target stays.
  task->FDetail = FDetail;
  if (FFrameBytes > 0 && FWaveFormat.nSamplesPerSec > 0)
    task->FAudioMs =
        static_cast<int64_t>(FDoneBytes / FFrameBytes * 1000 / FWaveFormat.nSamplesPerSec);
  // Listeners learn the outcome before the list and the window do.
  FinishTap(rcSucceeded);
  TEncodeParam* param = FHost->FindParam(task->FParamId);
  const bool deleteSource = param && param->FDelAftSucc == 1;
  // The source goes before the task is reported done, so that the report
  // can say when it had to stay. The source of a cue track is shared with
  // the other tracks, and a name that no longer reaches the file this task
  // converted names another file: both stay.
  bool sourceStayed = false;
  if (deleteSource && task->FKind == tkWholeFile && SourceIsStillTheConverted(task->FSource)) {
    ReleaseSource();
    sourceStayed = !MoveSourceToTrash(*task);
  }
  if (!Terminated()) {
    FHost->SetTaskState(task->FId, tsDone);
    FHost->AddConverted(FTargetPath);
  }
  if (!param) return;
  if (param->FInsAftSucc == 1 && !Terminated()) FHost->QueueForPlaylist(FTargetPath);
  // A task whose source could not go stays in the list with its reason.
  if (deleteSource && !sourceStayed) FHost->RemoveTask(task->FId);
}

void TEncodeWorker::TaskFailed() {
  if (!FTask) return;
  // Only the temporary file of this task goes; an existing target stays.
  DeleteTemporaryTarget();
  FHost->ReleaseTarget(FTask->FId);
  TTaskItem* task = std::exchange(FTask, nullptr);
  task->FDetail = FDetail;
  FinishTap(task->FResult.load());
  WriteLog(u"TEncodeWorker " + platform::Utf8ToWide(std::to_string(FNumber)) + u": " +
           task->FSource + u" -> " + FTargetPath + u" failed with result " +
           platform::Utf8ToWide(std::to_string(task->FResult.load())) +
           (FDetail.empty() ? u"" : u" (" + FDetail + u")"));
  if (!Terminated()) FHost->SetTaskState(task->FId, tsFailed);
}
