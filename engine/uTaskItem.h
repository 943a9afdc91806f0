// One conversion of the list (a whole source file or one track of a cue
// sheet), its states, result codes and the notification kinds the engine
// reports to the window.
//
// Threading: a task item is owned by the task manager. Its fields are
// written on the main thread, except FProgress (the worker thread that
// converts the task) and FResult (that worker, between hand-out and its
// final synchronised step). Readers on other threads take what they see.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct TSheetTrackTags;

// Task states (FState).
enum TTaskState : uint8_t {
  tsWaiting = 0,
  tsConverting = 1,
  tsDone = 2,
  tsFailed = 3,
};

// Task kinds (FKind).
constexpr uint8_t tkWholeFile = 0;
constexpr uint8_t tkCueTrack = 1;

// Source classes (FSourceClass).
constexpr uint8_t scOptical = 0;
constexpr uint8_t scOther = 1;

// Result codes (FResult). 1..11 name the step that failed. The field stays
// 32 bits wide: the window, the command line and stored lists read it so.
enum TResultCode : uint8_t {
  rcUserAbort = 1,
  rcEncodeFailed = 2,
  rcLowToHigh = 3,
  rcExistsUserAbort = 4,
  rcSourceMissing = 5,
  rcReadFailed = 6,
  rcBadFolder = 7,
  rcCannotOverwrite = 8,
  rcLossyToLossless = 9,
  rcMp3TooLow = 10,
  rcAbortedInPump = 11,
  rcSucceeded = 12,
  rcNotRun = 13,
};

// True for the codes of a user abort, which the run counters leave out.
inline bool IsUserAbort(int32_t Result) {
  return Result == rcUserAbort || Result == rcAbortedInPump;
}

// The failure text of a result code; empty for 12, 13 and unknown codes.
std::u16string TaskResultText(int32_t Result);

// Notification kinds, shared by the change callback and WM_ENCODE_NOTIFY
// (its WParam).
enum TNotifyKind : uint8_t {
  nkAdded = 0,
  nkRemoved = 1,
  nkChanged = 2,
  nkListChanged = 3,
  nkSelect = 4,
  nkRefused = 5,
  nkProgress = 6,
  nkRunning = 7,
  nkParamsChanged = 8,
  nkPlaylistQueued = 9,
  // Posted once per run when it has ended (done or stopped) and no worker
  // holds a task any more: every task's outcome is known.
  nkWorkersIdle = 10,
};

class TTaskItem {
public:
  int32_t FId = -1;
  uint8_t FKind = tkWholeFile;
  std::u16string FSource;
  uint8_t FSourceClass = scOther;
  std::u16string FTargetName;
  std::u16string FTargetExt;
  uint8_t FQueued = 0;
  uint8_t FTaken = 0;
  int32_t FStartMs = 0;
  int32_t FEndMs = 0;
  // A cue track's exact cut, in CD frames (1/75 s) of its source: from
  // FStartFrame up to FEndFrame, or to the end of the source when FEndFrame
  // is -1. The worker turns frames into samples once the decoder reports
  // the rate. FStartFrame -1: none given, FStartMs and FEndMs mark the cut.
  // The milliseconds stay what is shown and stored.
  int64_t FStartFrame = -1;
  int64_t FEndFrame = -1;
  int32_t FParamId = -1;
  // The length of the audio a successful conversion wrote, in ms; -1 until
  // then. Set on the main thread.
  int64_t FAudioMs = -1;
  std::atomic<int32_t> FProgress = 0;
  TTaskState FState = tsWaiting;
  uint8_t FSelected = 0;
  int32_t FColor = -1;
  std::atomic<int32_t> FResult = rcNotRun;
  // The system's reason for a failure (why the source could not be opened,
  // when the decoder said) or a note on a success (a tag that could not be
  // written, a source that could not go to the trash), shown after the
  // result text; empty when none. Written and read on the main thread only.
  std::u16string FDetail;
  // A cue track's tags from its sheet (uTargetTags.h); null for a whole
  // file. Set when the task is made and never changed after, so a worker
  // may read it.
  std::shared_ptr<const TSheetTrackTags> FSheetTags;
};
