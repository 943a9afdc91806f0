// What the window's tests share: a temporary program folder (configuration,
// encode.log), source files to add, the window's units started once per
// test executable, the message boxes answered by a script, and helpers to
// put tasks into each state.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/forms/ufrmMain.h"
#include "engine/uTaskItem.h"
#include "platform/uMessageBox.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

namespace formstest {

// Starts the program's units (log, tooltip and hint window) for the whole
// executable.
void StartWindowUnits();

// A file of Bytes bytes (the list only needs the file to exist).
std::filesystem::path MakeSourceFile(const std::filesystem::path& Folder, const std::string& Name);

// Answers boxes from a list of results in order, then with their first
// button, so that no box is left open on the test's thread. Keeps every box.
class TTestAnswerer : public platform::IMessageBoxAnswerer {
public:
  void Push(int Result) { FScript.Push(Result); }
  void BoxOpened(const platform::TMessageBoxPtr& Box) override {
    FScript.BoxOpened(Box);
    if (!Box->Answered()) Box->Answer(platform::DefaultButton(Box->Flags()));
  }
  std::vector<platform::TMessageBoxPtr> Seen() const { return FScript.Seen(); }

private:
  platform::TScriptedAnswerer FScript;
};

class TFormTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the window (FormCreate runs; the tip dialog shows on an empty
  // list unless TipShow is 1).
  TfrmMain& Form();
  // Adds files named Names in the source folder; returns their paths.
  std::vector<std::u16string> AddFiles(const std::vector<std::string>& Names);
  // Puts task Row into State with Result (for failures) and Progress.
  void SetState(int Row, TTaskState State, int32_t Result = 0, int32_t Progress = 0);
  // Marks a run as going on with Total counted tasks.
  void StartRunDisplay(int32_t Total);
  std::vector<std::u16string> TaskTargets();

  morvotest::TTempDir FDir;
  morvotest::TScopedEnv FProgramEnv{"MORVO_PROGRAM_DIR", (FDir.Path() / "prog").string()};
  std::shared_ptr<TTestAnswerer> FAnswerer;
  std::unique_ptr<TfrmMain> FForm;
};

}  // namespace formstest
