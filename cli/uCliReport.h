// What morvo-convert prints: on a terminal one live line per converting task
// with its progress bar and a total line "finished/total", redrawn in place;
// otherwise plain lines. Each finished task prints its source, its target
// and "完成" or "失败(" + result text + ")", followed by ": " and the
// task's detail (the system's reason, a note) when it has one; after a
// stop, tasks that never started print "等待". With JSON, one object per
// task goes to standard output instead (the detail in "detail", the
// audio's length in "seconds", the files' sizes in "source_bytes" and
// "target_bytes", null where unknown).
// Main thread, except Suspend/Resume, which any thread may call (the
// terminal prompt makes room with them).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// How a task stands when it is reported: done or failed as the list shows
// it; after a stop, cut off while converting, or never started.
enum class TTaskOutcome { Done, Failed, Stopped, Waiting };

struct TFinishedTask {
  std::u16string Source;
  std::u16string Target;  // full path
  TTaskOutcome Outcome = TTaskOutcome::Failed;
  int32_t Result = 0;
  std::u16string ResultText;
  std::u16string Detail;  // shown after the result text; empty when none
  // For JSON: the audio's length in seconds and the files' sizes in bytes;
  // negative when unknown (no target written, a source that cannot be read).
  double Seconds = -1;
  int64_t SourceBytes = -1;
  int64_t TargetBytes = -1;
};

class TCliReport {
public:
  // Quiet: only failures, notices and JSON objects; no progress, no lines
  // for tasks that succeeded or never ran, no summary.
  TCliReport(std::ostream& Out, std::ostream& Err, bool Live, bool Json, int Columns,
             bool Quiet = false);

  void Progress(int32_t Id, const std::u16string& Name, int32_t Percent);
  void Finished(int32_t Id, const TFinishedTask& Task);
  void Totals(int32_t Finished, int32_t Total);
  // A source that gave no task, or any other notice: a plain line on the
  // error stream.
  void Notice(const std::u16string& Text);
  void Summary(const std::u16string& Text);

  void Suspend();
  void Resume();

  // Text of the total bar: "%d/%d", or "%d%%" when the total is exactly 100.
  static std::string TotalText(int32_t Finished, int32_t Total);
  static std::string Bar(int32_t Percent, int Width);
  static std::string JsonLine(const TFinishedTask& Task);

private:
  void Print(std::ostream& Stream, const std::string& Line);
  // Ends a suspension and prints the lines that waited for it.
  void FlushDeferred();
  void ClearLive();
  void DrawLive();
  std::string FitLine(const std::string& Line) const;

  std::ostream& FOut;
  std::ostream& FErr;
  const bool FLive;
  const bool FJson;
  const bool FQuiet;
  const int FColumns;
  std::recursive_mutex FMutex;
  struct TLiveTask {
    std::string Name;
    int32_t Percent = 0;
  };
  std::map<int32_t, TLiveTask> FConverting;
  int32_t FFinished = 0;
  int32_t FTotal = 0;
  int FDrawnLines = 0;
  bool FSuspended = false;
  std::vector<std::pair<std::ostream*, std::string>> FDeferred;
};
