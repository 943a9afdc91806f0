#include "app/forms/uEncoderApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <atomic>
#include <cstdlib>

#include "app/forms/ufrmMain.h"
#include "app/uHandOver.h"
#include "app/uProgramUnits.h"
#include "infra/uLxLog.h"
#include "infra/uUnitLifetime.h"
#include "platform/qt/uQtFolderBrowser.h"
#include "platform/qt/uQtMessageBox.h"
#include "platform/qt/uQtMessageQueue.h"
#include "platform/qt/uQtText.h"
#include "platform/uConsole.h"
#include "platform/uHandOverSocket.h"
#include "platform/uMessageBox.h"
#include "platform/uThreads.h"
#include "widgets/uMiraFonts.h"
#include "widgets/uMiraHintWindow.h"
#include "widgets/uWindowLanguage.h"

namespace {

using platform::qt::WideText;

QString MainCaption() { return QCoreApplication::translate("TfrmMain", "格式转换工具"); }

std::atomic<TfrmMain*> OpenWindow = nullptr;

// Before the window exists there is nothing to save: the start just ends.
void OnTerminationRequest(platform::TInterruptKind Kind, int) {
  if (TfrmMain* Form = OpenWindow.load())
    Form->RequestClose();
  else
    std::_Exit(platform::InterruptExitStatus(Kind));
}

void RunSecondInstance(uint32_t RunningPid) {
  if (HandOverToRunningInstance(RunningPid) == THandOverResult::PathTooLong) {
    std::u16string Path;
    GetConvertParam(Path);
    platform::MessageBoxW(nullptr, PathTooLongText(Path), WideText("TfrmMain", "提示"),
                          platform::MB_OK | platform::MB_ICONINFORMATION);
  }
  RestoreRunningInstance(RunningPid);
}

void RunFirstInstance(QApplication& App, TSingleInstance& Instance, const TEncoderHooks& Hooks) {
  auto Form = std::make_unique<TfrmMain>();
  platform::THandOverServer Server(Form->Target());
  if (!Server.Listen(platform::CurrentProcessId())) WriteLog(u"hand-over socket: cannot listen");
  Form->SetActivationTokenSource([&Server] { return Server.LastActivationToken(); });
  Form->show();
  Instance.Publish(platform::CurrentProcessId());
  OpenWindow = Form.get();
  if (Hooks.OnWindowReady) Hooks.OnWindowReady(*Form);
  App.exec();
  OpenWindow = nullptr;
  Server.Stop();
  Form.reset();
}

}  // namespace

int RunEncoder(int& argc, char** argv, const TEncoderHooks& Hooks) {
  // Before any thread starts, so that every thread leaves the signals to
  // the watcher.
  platform::WatchInterrupts(OnTerminationRequest);
  QApplication App(argc, argv);
  InstallWindowTranslation(App);
  App.setFont(SongTiFont());
  platform::RegisterMainThread();
  RegisterProgramUnits();
  AddUnit(MiraHintWindowUnit());
  StartUnits();
  platform::qt::BindMessageQueue(MainCaption());
  platform::SetMessageBoxAnswerer(
      Hooks.Answerer ? Hooks.Answerer : std::make_shared<platform::qt::TQtMessageBoxAnswerer>());
  platform::qt::InstallFolderBrowser();
  {
    TSingleInstance Instance;
    switch (Instance.Claim()) {
    case TSingleInstance::TRole::Second:
      RunSecondInstance(Instance.RunningPid());
      break;
    case TSingleInstance::TRole::First:
      RunFirstInstance(App, Instance, Hooks);
      break;
    case TSingleInstance::TRole::Unusable:
      break;
    }
  }
  platform::SetFolderBrowser(nullptr);
  platform::SetMessageBoxAnswerer(nullptr);
  platform::qt::UnbindMessageQueue();
  EndUnits();
  return 0;
}
