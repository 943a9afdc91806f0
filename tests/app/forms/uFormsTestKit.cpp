#include "tests/app/forms/uFormsTestKit.h"

#include <fstream>

#include "app/uProgramUnits.h"
#include "app/uSourceAdding.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uUnitLifetime.h"
#include "platform/qt/uQtMessageQueue.h"
#include "platform/uCodePage.h"
#include "widgets/uMiraFonts.h"
#include "widgets/uMiraHintWindow.h"

namespace fs = std::filesystem;

namespace formstest {

void StartWindowUnits() {
  static bool Started = false;
  if (Started) return;
  Started = true;
  QApplication::setFont(SongTiFont());
  RegisterProgramUnits();
  AddUnit(MiraHintWindowUnit());
  StartUnits();
  platform::qt::BindMessageQueue(QStringLiteral("格式转换工具"));
}

fs::path MakeSourceFile(const fs::path& Folder, const std::string& Name) {
  const fs::path File = Folder / fs::u8path(Name);
  fs::create_directories(File.parent_path());
  std::ofstream(File, std::ios::binary) << "RIFF";
  return File;
}

void TFormTest::SetUp() {
  StartWindowUnits();
  fs::create_directories(FDir.Path() / "prog");
  FAnswerer = std::make_shared<TTestAnswerer>();
  platform::SetMessageBoxAnswerer(FAnswerer);
}

void TFormTest::TearDown() {
  FForm.reset();
  platform::SetMessageBoxAnswerer(nullptr);
}

TfrmMain& TFormTest::Form() {
  if (!FForm) {
    FForm = std::make_unique<TfrmMain>();
    FForm->show();
    QApplication::processEvents();
  }
  return *FForm;
}

std::vector<std::u16string> TFormTest::AddFiles(const std::vector<std::string>& Names) {
  std::vector<std::u16string> Paths;
  for (const std::string& Name : Names)
    Paths.push_back(platform::PathToWide(MakeSourceFile(FDir.Path() / "src", Name).string()));
  Form().AddSources(Paths, TSourceAdder::ModeUser);
  return Paths;
}

void TFormTest::SetState(int Row, TTaskState State, int32_t Result, int32_t Progress) {
  TTaskManager& Manager = *Form().Manager();
  TTaskItem* Task = Manager.GetTask(Row);
  ASSERT_NE(Task, nullptr);
  if (Result) Task->FResult = Result;
  Task->FProgress = Progress;
  Manager.SetTaskState(Task->FId, State);
}

void TFormTest::StartRunDisplay(int32_t Total) {
  TTaskManager& Manager = *Form().Manager();
  Manager.FTotalCount = Total;
  Manager.SetRunning(1);
}

std::vector<std::u16string> TFormTest::TaskTargets() {
  std::vector<std::u16string> Targets;
  TTaskManager& Manager = *Form().Manager();
  for (int32_t I = 0; I < Manager.TaskCount(); ++I)
    Targets.push_back(Manager.GetTask(I)->FTargetName);
  return Targets;
}

}  // namespace formstest
