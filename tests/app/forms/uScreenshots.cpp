// Saves pictures of the window for people to look at:
//   morvo_screenshots OUTPUT_FOLDER
// main_window.png   the main window at its design size during a run, with
//                   tasks converting, done, failed, stopped and waiting
// status_detail.png the status cells of that list, three times as large
// main_summary.png  the same list after the run, with its summary
// tip_dialog.png    the window at start with an empty list and its tip
// balloon.png       the balloon warning over the rename editor
// hint.png          a control hint below its button
// cd_menu.png       the CD button's menu below it
// flac_settings.png the window with FLAC chosen: its quality list and tip
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "app/forms/ufrmMain.h"
#include "app/uProgramUnits.h"
#include "app/uSourceAdding.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uUnitLifetime.h"
#include "platform/qt/uQtMessageQueue.h"
#include "platform/uCodePage.h"
#include "platform/uThreads.h"
#include "tests/support/forms/uScreenshot.h"
#include "tests/support/uTempDir.h"
#include "widgets/uMiraFonts.h"
#include "widgets/uMiraHintWindow.h"
#include "widgets/uMiraToolTip.h"
#include "widgets/uWindowLanguage.h"

namespace fs = std::filesystem;

namespace {

// The window with a tip window drawn over it where it shows on the screen,
// cut to the tip's own shape.
QPixmap OverWindow(QWidget& Window, QWidget& Tip) {
  QPixmap Picture = Window.grab();
  QPainter P(&Picture);
  const QPoint At = Tip.pos() - Window.mapToGlobal(QPoint(0, 0));
  if (!Tip.mask().isEmpty()) P.setClipRegion(Tip.mask().translated(At));
  P.drawPixmap(At, Tip.grab());
  return Picture;
}

void Settle() {
  for (int I = 0; I < 5; ++I)
    QApplication::processEvents();
}

std::u16string MakeSource(const fs::path& Folder, const std::string& Name) {
  fs::create_directories(Folder);
  const fs::path File = Folder / fs::u8path(Name);
  std::ofstream(File, std::ios::binary) << "RIFF";
  return platform::PathToWide(File.string());
}

void SetState(TTaskManager& Manager, int Row, TTaskState State, int32_t Result, int32_t Progress) {
  TTaskItem* Task = Manager.GetTask(Row);
  if (!Task) return;
  if (Result) Task->FResult = Result;
  Task->FProgress = Progress;
  Manager.SetTaskState(Task->FId, State);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvo_screenshots OUTPUT_FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  morvotest::TTempDir Scratch;
  setenv("MORVO_PROGRAM_DIR", Scratch.Path().c_str(), 1);
  QApplication App(argc, argv);
  // In the language the environment names, as the program shows it.
  InstallWindowTranslation(App);
  platform::RegisterMainThread();
  QApplication::setFont(SongTiFont());
  RegisterProgramUnits();
  AddUnit(MiraHintWindowUnit());
  StartUnits();
  platform::qt::BindMessageQueue(QCoreApplication::translate("TfrmMain", "格式转换工具"));
  const QDir Out(QString::fromLocal8Bit(argv[1]));
  Out.mkpath(QStringLiteral("."));
  bool Ok = true;
  {
    TfrmMain Form;
    Form.show();
    Settle();
    Ok &= morvotest::SavePng(Form.grab(), Out, "tip_dialog.png");
    // The user goes on: the tip closes as the focus leaves it.
    if (Form.FTipDialog) Form.FTipDialog->CloseForm();

    const fs::path Music = Scratch.Path() / "音乐";
    std::vector<std::u16string> Sources;
    for (const char* Name : {"01 晨曦.wav", "02 远方的河.flac", "03 归途.ape", "04 夜航.mp3",
                             "05 山谷回声.wav", "06 雨后.flac", "07 灯火.wav"})
      Sources.push_back(MakeSource(Music, Name));
    Form.AddSources(Sources, TSourceAdder::ModeUser);
    TTaskManager& Manager = *Form.Manager();
    Manager.FTotalCount = 9;
    Manager.SetRunning(1);
    SetState(Manager, 0, tsConverting, 0, 0);
    SetState(Manager, 1, tsConverting, 0, 63);
    SetState(Manager, 2, tsDone, 0, 100);
    SetState(Manager, 3, tsFailed, rcLossyToLossless, 0);
    SetState(Manager, 4, tsFailed, rcAbortedInPump, 0);
    SetState(Manager, 5, tsDone, 0, 100);
    Settle();
    Ok &= morvotest::SavePng(Form.grab(), Out, "main_window.png");
    // The status cells three times as large, to judge the bars and texts.
    const QRect Status(
        Form.lvFileList->viewport()->mapTo(&Form, Form.lvFileList->CellRect(0, 2).topLeft()),
        QSize(Form.lvFileList->CellRect(0, 2).width(), 7 * Form.lvFileList->RowHeight()));
    const QPixmap Detail = Form.grab(Status);
    Ok &= morvotest::SavePng(Detail.scaled(Detail.size() * 3), Out, "status_detail.png");

    // Stopped: the workers end their conversions as aborted by the user.
    Manager.StopConvert();
    SetState(Manager, 0, tsFailed, rcAbortedInPump, 0);
    SetState(Manager, 1, tsFailed, rcAbortedInPump, 0);
    Settle();
    Ok &= morvotest::SavePng(Form.grab(), Out, "main_summary.png");

    // The balloon over the rename editor, as a typed "?" brings it up.
    TMiraToolTip* Tip = MiraToolTip();
    Form.lvFileList->selectionModel()->select(
        Form.Model()->index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Form.StartRename();
    Settle();
    const QPoint EditorCentre = Form.FRenameEdit->mapToGlobal(Form.FRenameEdit->rect().center());
    Tip->Balloon = true;
    Tip->ShowCloseButton = true;
    Tip->CenterTip = false;
    Tip->SetTitle({});
    Tip->ICON = TTipIcon::ttNoneIcon;
    Tip->SetText(TfrmMain::InvalidNameBalloonText());
    Tip->Interval = 0;
    Tip->ShowAt(EditorCentre.x(), EditorCentre.y());
    Settle();
    Ok &= morvotest::SavePng(OverWindow(Form, *Tip), Out, "balloon.png");
    Tip->Hide();
    Form.HideRenameEditor();

    const QPoint Below = Form.btnAddFile->mapToGlobal(QPoint(30, Form.btnAddFile->height() + 4));
    MiraHintWindow()->ActivateHint(QRect(Below, QSize(1, 1)), "\xEF\xBB\xBF"
                                                              "添加音频文件到转换列表");
    Settle();
    Ok &= morvotest::SavePng(OverWindow(Form, *Tip), Out, "hint.png");
    Tip->Hide();

    Manager.SetRunning(0);
    Form.btnGetCDClick();
    Settle();
    Ok &= morvotest::SavePng(OverWindow(Form, *Form.pmGetCD), Out, "cd_menu.png");
    Form.pmGetCD->close();

    Form.rbFlac->click();
    Settle();
    Ok &= morvotest::SavePng(Form.grab(), Out, "flac_settings.png");
    Form.close();
  }
  platform::qt::UnbindMessageQueue();
  EndUnits();
  return Ok ? 0 : 1;
}
