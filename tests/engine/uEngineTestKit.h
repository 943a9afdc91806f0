// Shared ground of the engine tests: a scratch folder with real sources made
// by the ffmpeg/lame/flac tools, a stand-in for the main window that records
// what the engine tells it, and a fixture that runs the platform's message
// loop until a condition holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace enginetest {

using morvotest::Quote;
using morvotest::ReadBytes;
using morvotest::WriteBytes;

std::u16string W(const std::string& Utf8);
std::string U(const std::u16string& Wide);
// The exit code of Command (its output is dropped); -1 when it could not run.
int Shell(const std::string& Command);
bool FileExists(const std::string& Path);

// The data chunk of a RIFF/WAVE file and its format fields.
using TWavData = morvotest::TWav<std::string>;
TWavData ReadWav(const std::string& Path);
// Decodes any audio file to 16/24-bit WAV with ffmpeg (codec kept lossless).
TWavData DecodeWithFfmpeg(const std::string& Path, const std::string& PcmCodec);
using morvotest::MakeSparseRf64;
// "codec,bitrate" of the first audio stream, as ffprobe reports it.
std::string Probe(const std::string& Path);

// Sources made once per test program, in a scratch folder.
struct TSources {
  std::string Root;     // scratch root (environment folders live here)
  std::string Dir;      // sources
  std::string Wav16;    // 3 s stereo 16-bit 44.1 kHz noise
  std::string Wav24;    // 2 s stereo 24-bit 48 kHz noise
  std::string Long16;   // 95 s stereo 16-bit 44.1 kHz noise
  std::string Mp3_128;  // 3 s MP3 at 128 kbit/s
  std::string Flac;     // Wav16 through the flac tool
  static const TSources& Get();
};

// The main window as the engine sees it: a message target plus the change
// callback. Every report goes into one ordered list.
struct TReport {
  bool Posted;  // WM_ENCODE_NOTIFY rather than the change callback
  uint8_t Kind;
  int32_t Value;
};

class TEngineTest : public ::testing::Test, public platform::IMessageTarget {
protected:
  void SetUp() override;
  void TearDown() override;
  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

  // A new folder under the scratch root.
  std::string NewDir(const std::string& Name);
  // Copies a source into Dir under Name; returns the new path.
  std::string CopySource(const std::string& Source, const std::string& Dir,
                         const std::string& Name);
  // Adds a task; returns its number or -1 when refused.
  int32_t Add(const std::string& Source, const std::string& TargetName, uint8_t Kind = tkWholeFile,
              int32_t StartMs = 0, int32_t EndMs = 0, uint8_t SourceClass = scOther);
  // Runs the message loop until Done holds (checked after every report);
  // fails the test after a generous time-out instead of hanging.
  void RunUntil(const std::function<bool()>& Done, int TimeoutSeconds = 240);
  // Runs Action at the first posted progress report of the next run.
  void OnFirstProgress(const std::function<void()>& Action);
  // Starts a run and shuts the manager down at its first progress report.
  void ShutDownAtFirstProgress();
  // Starts a run and waits until every task has reached done or failed.
  void ConvertAll(int TimeoutSeconds = 240);
  bool AllEnded();
  TTaskItem* Task(int32_t Id) { return FManager->FindTask(Id); }
  std::string TargetPath(int32_t Id);
  std::vector<TReport> ReportsOf(int32_t Id);

  std::unique_ptr<TTaskManager> FManager;
  std::vector<TReport> FReports;
  std::string FOut;                               // the target folder
  std::function<void(const TReport&)> FOnReport;  // runs before the Done check
  std::function<void(uint32_t Msg)> FOnOtherMessage;
  std::shared_ptr<platform::TScriptedAnswerer> FAnswerer;

private:
  void Record(const TReport& Report);
  std::function<bool()> FDone;
};

}  // namespace enginetest
