// One run of morvo-convert: chooses the format and quality, checks the
// target folder, adds the sources through the shared source-adding unit,
// drives the task manager's run with the platform's message loop and
// reports every task. Main thread only, except the interrupt hook.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "cli/uCliOptions.h"
#include "cli/uCliReport.h"
#include "platform/uConsole.h"
#include "platform/uMessageQueue.h"

class TCdRipLog;
class TTaskManager;
class TTaskItem;
class TEncodeParam;
class TCliAnswerer;

// Exit statuses. A run ended by a signal reports 128 + its number after the
// clean-up (platform::InterruptExitStatus).
constexpr int ecAllSucceeded = 0;
constexpr int ecSomeFailed = 1;  // also: a source meant for the trash stayed
constexpr int ecUsage = 2;

class TCliSession final : public platform::IMessageTarget {
public:
  explicit TCliSession(TCliOptions Options);
  ~TCliSession();

  int Run();
  // Any thread: the Count-th interrupt of the run. The first stops the run
  // and lets the tasks being converted end as stopped; the second also
  // drops open questions and ends at once.
  void Interrupt(platform::TInterruptKind Kind, int Count);

  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

private:
  int Prepare();
  bool ChooseFormat();
  bool UseFormat(const std::string& Ext);
  bool ApplyParameters();
  void ListQualities() const;
  void ListDrives() const;
  bool OnlyEject() const;
  void WriteRipReports();
  bool ChooseTargetFolder();
  void AddSources();
  int Convert();
  void Finish();

  void OnTaskChanged(int32_t Value, uint8_t Kind);
  void OnInterrupt(platform::TInterruptKind Kind, int Count);
  // Ends the message loop once the run is over and no worker holds a task.
  void QuitWhenIdle();
  void ReportIfFinished(int32_t Id);
  void ReportRemaining();
  void Report(const TTaskItem& Task, TTaskOutcome Outcome);
  std::u16string LowToHighHint(const TTaskItem& Task) const;
  void FlushPlaylistQueue();
  void UsageError(const std::string& Text);

  TCliOptions FOptions;
  std::unique_ptr<TTaskManager> FManager;
  std::shared_ptr<TCliAnswerer> FAnswerer;
  std::unique_ptr<TCliReport> FReport;
  std::unique_ptr<TCdRipLog> FRipLog;
  TEncodeParam* FParam = nullptr;
  std::u16string FTargetExt;
  std::set<int32_t> FReported;
  bool FAnyRefused = false;
  bool FSourceKept = false;  // a source meant for the trash stayed
  int FInterrupts = 0;
  std::optional<platform::TInterruptKind> FInterrupt;  // the first one
};
