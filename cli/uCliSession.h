// One run of morvo-convert: chooses the format and quality, checks the
// target folder, adds the sources through the shared source-adding unit,
// drives the task manager's run with the platform's message loop and
// reports every task. Main thread only, except the interrupt hook.
#pragma once

#include <memory>
#include <set>
#include <string>

#include "cli/uCliOptions.h"
#include "cli/uCliReport.h"
#include "platform/uMessageQueue.h"

class TTaskManager;
class TEncodeParam;
class TCliAnswerer;

// Exit statuses.
constexpr int ecAllSucceeded = 0;
constexpr int ecSomeFailed = 1;
constexpr int ecUsage = 2;

class TCliSession final : public platform::IMessageTarget {
public:
  explicit TCliSession(TCliOptions Options);
  ~TCliSession();

  int Run();
  // Any thread: the N-th Ctrl+C of the run.
  void Interrupt(int Count);

  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

private:
  int Prepare();
  bool ChooseFormat();
  bool UseFormat(const std::string& Ext);
  bool ApplyParameters();
  void ListQualities() const;
  bool ChooseTargetFolder();
  void AddSources();
  int Convert();
  void Finish();

  void OnTaskChanged(int32_t Value, uint8_t Kind);
  void ReportIfFinished(int32_t Id);
  void ReportRemaining();
  void FlushPlaylistQueue();
  void UsageError(const std::string& Text);

  TCliOptions FOptions;
  std::unique_ptr<TTaskManager> FManager;
  std::shared_ptr<TCliAnswerer> FAnswerer;
  std::unique_ptr<TCliReport> FReport;
  TEncodeParam* FParam = nullptr;
  std::u16string FTargetExt;
  std::set<int32_t> FReported;
  bool FAnyRefused = false;
  int FInterrupts = 0;
};
