// The run as the window shows it: starting and stopping, the running state
// of the buttons and the settings, the summary and the total progress; the
// commands on finished tasks (the player, the file manager) and renaming a
// target in place.
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListPaint.h"
#include "app/forms/uFileListView.h"
#include "app/forms/ufrmMain.h"
#include "app/uCdRipReport.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/qt/uQtText.h"
#include "platform/uMessageBox.h"
#include "platform/uProgramDir.h"
#include "platform/uShell.h"
#include "widgets/uMiraToolTip.h"

using platform::qt::ToQString;
using platform::qt::WideText;

void TfrmMain::btnStartClick() {
  if (!FManager || IsRunning()) return;
  HideRenameEditor();
  FManager->ResetAll();
  if (FManager->PendingCount() == 0) {
    platform::MessageBoxW(Target(), WideText("TfrmMain", "没有需要转换的任务，请添加后重试。  "),
                          WideText("TfrmMain", "开始转换提示"),
                          platform::MB_OK | platform::MB_ICONINFORMATION);
    return;
  }
  if (!CheckTargetFolder()) return;
  lvFileList->clearSelection();
  btnDeleteComplete->hide();
  lblTitle->hide();
  btnView->hide();
  FManager->StartConvert();
}

void TfrmMain::btnStopClick() {
  if (!FManager) return;
  FManager->StopConvert();
  btnStop->hide();
}

void TfrmMain::RunStateChanged() {
  const bool Running = IsRunning();
  btnAllSelect->setEnabled(!Running);
  btnDelete->setEnabled(!Running);
  btnView->setVisible(!Running);
  btnStop->setVisible(Running);
  grpParam->setEnabled(!Running);
  grpParamSelect->setEnabled(!Running);
  if (Running) {
    lblTitle->setText(QCoreApplication::translate("TfrmMain", "总进度："));
    lblTitle->adjustSize();  // the caption's own width: never cut
    lblTitle->move(0, (pnlOutMessage->height() - lblTitle->height()) / 2);
    btnStart->setText(QCoreApplication::translate("TfrmMain", "正在转换中"));
    lblProgress->setGeometry(lblTitle->width() + 2, 0, 160, pnlOutMessage->height());
    btnStop->show();
    lblProgress->show();
    lblTitle->show();
  } else {
    lblTitle->setText(FManager ? platform::qt::ToQString(FManager->GetSummary()) : QString());
    lblTitle->adjustSize();
    lblTitle->move(0, (pnlOutMessage->height() - lblTitle->height()) / 2);
    btnStart->setText(QCoreApplication::translate("TfrmMain", "开始转换"));
    lblProgress->hide();
    lblTitle->show();
    btnDeleteComplete->setVisible(FManager && FManager->FSucceededCount > 0);
  }
  lvFileList->viewport()->update();
  update();
}

void TfrmMain::PaintTotalProgress(QPainter& Canvas) {
  if (!FManager || !IsRunning() || !lblProgress->isVisible()) return;
  const QColor ButtonFace = palette().color(QPalette::Button);
  Canvas.setPen(palette().color(QPalette::WindowText));
  Canvas.setFont(font());
  DrawProgressBar(Canvas, lblProgress->rect(), FManager->FTotalCount, FManager->FFinishedCount,
                  ButtonFace);
}

void TfrmMain::WriteRipReports() {
  if (FManager && FRipLog) FRipLog->WriteReports(FManager->DestPath());
}

// ---------------------------------------------------------------------------
// The player and the file manager

void TfrmMain::FlushPlaylistQueue() {
  if (!FManager) return;
  while (!FManager->FPlaylistQueue.empty()) {
    const std::u16string Path = FManager->FPlaylistQueue.front();
    FManager->FPlaylistQueue.erase(FManager->FPlaylistQueue.begin());
    if (WideFileExists(Path)) LaunchPlayer(Path, TPlayerMode::Playlist);
  }
}

void TfrmMain::LaunchPlayer(const std::u16string& Path, TPlayerMode Mode) {
  bool Started = false;
  try {
    Started = ::LaunchPlayer(Path, Mode);
  } catch (const std::exception&) {
    Started = false;
  }
  if (!Started)
    platform::MessageBoxW(Target(), WideText("TfrmMain", "无法添加播放列表"),
                          WideText("TfrmMain", "播放"), platform::MB_OK | platform::MB_ICONERROR);
}

void TfrmMain::OpenInExplorer(const std::u16string& Path) {
  const std::u16string Given = Path.empty() ? platform::ExecutableDir() : Path;
  bool Shown = false;
  try {
    if (WideFileExists(Given)) {
      Shown = platform::ShowItemInFileManager(Given) ||
              platform::OpenWithDefaultApplication(WideExtractFilePath(Given));
    } else {
      // A folder text (with its trailing delimiter) or a target not written
      // yet: its folder is made and opened.
      const std::u16string Folder = WideExtractFilePath(Given);
      Shown = !Folder.empty() && WideForceDirectories(Folder) &&
              platform::OpenWithDefaultApplication(Folder);
    }
  } catch (const std::exception&) {
    Shown = false;
  }
  if (!Shown)
    platform::MessageBoxW(Target(), WideText("TfrmMain", "无法打开目标文件夹"),
                          WideText("TfrmMain", "提示"), platform::MB_OK | platform::MB_ICONERROR);
}

TTaskItem* TfrmMain::CommandTask() const {
  const int Row = FPopupItem.isValid() ? FPopupItem.row() : FirstSelectedRow();
  return Row >= 0 ? FModel->TaskAt(Row) : nullptr;
}

// The target as it is looked for: in the current target folder.
std::u16string TfrmMain::TargetPathOf(const TTaskItem& Task) const {
  return WideIncludeTrailingBackslash(FManager->DestPath()) + Task.FTargetName;
}

void TfrmMain::mmPlayClick() {
  if (const TTaskItem* Task = CommandTask()) LaunchPlayer(Task->FSource, TPlayerMode::Play);
}

void TfrmMain::mmOpenFileClick() {
  if (const TTaskItem* Task = CommandTask(); Task && FManager)
    LaunchPlayer(TargetPathOf(*Task), TPlayerMode::Play);
}

void TfrmMain::mmOpenFilePathClick() {
  if (const TTaskItem* Task = CommandTask(); Task && FManager) OpenInExplorer(TargetPathOf(*Task));
}

// ---------------------------------------------------------------------------
// Renaming a target in place

const char16_t* const TfrmMain::InvalidNameChars = u"\\/?:*\"><|";

void TfrmMain::StartRename() {
  const int Row = FirstSelectedRow();
  if (FModel->rowCount() == 0 || Row < 0) return;
  TTaskItem* Task = FModel->TaskAt(Row);
  if (!Task) return;
  if (!FRenameEdit) {
    FRenameEdit = new QLineEdit(lvFileList->viewport());
    FRenameEdit->setObjectName(QStringLiteral("FRenameEdit"));
    FRenameEdit->installEventFilter(this);
  }
  FRenameItem = QPersistentModelIndex(FModel->index(Row, 0));
  const std::u16string& Name = Task->FTargetName;
  const size_t Dot = Name.rfind(u'.');
  FRenameEdit->setText(
      ToQString(Dot == std::u16string::npos ? std::u16string() : Name.substr(0, Dot)));
  PlaceRenameEditor();
  FRenameEdit->show();
  FRenameEdit->setFocus();
  FRenameEdit->setCursorPosition(static_cast<int>(FRenameEdit->text().trimmed().size()));
}

void TfrmMain::PlaceRenameEditor() {
  if (!FRenameEdit || !FRenameItem.isValid()) return;
  FRenameEdit->setGeometry(lvFileList->CellRect(FRenameItem.row(), 1).adjusted(0, -1, 0, 1));
}

// The list moved under a visible editor: it stays over its row, or goes
// when its row has gone.
void TfrmMain::KeepRenameEditorOverRow() {
  if (!FRenameEdit || !FRenameEdit->isVisible()) return;
  if (!FRenameItem.isValid()) {
    FRenameEdit->hide();
    return;
  }
  PlaceRenameEditor();
}

void TfrmMain::RenameFromEditor() {
  TTaskItem* Task = FRenameItem.isValid() ? FModel->TaskAt(FRenameItem.row()) : nullptr;
  if (!Task || !FManager) return;
  const std::u16string Typed = WideTrim(platform::qt::ToWide(FRenameEdit->text()));
  FManager->RenameTarget(Task->FId, WideChangeFileExt(Typed, GetTargetExt()));
}

std::u16string TfrmMain::InvalidNameBalloonText() {
  return WideText("TfrmMain", "文件名不能包含下列任何字符之一") + u"\r\n" +
         std::u16string(InvalidNameChars);
}

bool TfrmMain::RenameEditorKeyPress(QKeyEvent* Event) {
  const QString Typed = Event->text();
  if (!Typed.isEmpty() && ToQString(InvalidNameChars).contains(Typed.front())) {
    ShowBalloonAtWindow(FRenameEdit, InvalidNameBalloonText(), {}, 0, TTipIcon::ttNoneIcon, 1500);
    FRenameEdit->setFocus();
    return true;  // the character is not typed
  }
  if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
    RenameFromEditor();
    FRenameEdit->hide();
    return true;
  }
  if (Event->key() == Qt::Key_Escape) {
    FRenameEdit->clear();
    FRenameEdit->hide();
    return true;
  }
  return false;
}

void TfrmMain::HideRenameEditor() {
  if (FRenameEdit && FRenameEdit->isVisible()) FRenameEdit->hide();
}

void TfrmMain::CommitRename() {
  if (FRenameEdit && FRenameEdit->isVisible()) RenameFromEditor();
  HideRenameEditor();
  FRenameItem = QPersistentModelIndex();
}
