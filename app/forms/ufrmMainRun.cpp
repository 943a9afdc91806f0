// The run as the window shows it: the running state of the buttons and the
// settings, the summary and the total progress; renaming a target in
// place. (Starting and stopping and the commands on finished tasks live
// here too as they come.)
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
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/qt/uQtText.h"
#include "widgets/uMiraToolTip.h"

using platform::qt::ToQString;

void TfrmMain::RunStateChanged() {
  const bool Running = IsRunning();
  btnAllSelect->setEnabled(!Running);
  btnDelete->setEnabled(!Running);
  btnView->setVisible(!Running);
  btnStop->setVisible(Running);
  grpParam->setEnabled(!Running);
  grpParamSelect->setEnabled(!Running);
  if (Running) {
    lblTitle->setText(QStringLiteral("总进度："));
    lblTitle->adjustSize();  // the caption's own width: never cut
    lblTitle->move(0, (pnlOutMessage->height() - lblTitle->height()) / 2);
    btnStart->setText(QStringLiteral("正在转换中"));
    lblProgress->setGeometry(lblTitle->width() + 2, 0, 160, pnlOutMessage->height());
    btnStop->show();
    lblProgress->show();
    lblTitle->show();
  } else {
    lblTitle->setText(FManager ? platform::qt::ToQString(FManager->GetSummary()) : QString());
    lblTitle->adjustSize();
    lblTitle->move(0, (pnlOutMessage->height() - lblTitle->height()) / 2);
    btnStart->setText(QStringLiteral("开始转换"));
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

bool TfrmMain::RenameEditorKeyPress(QKeyEvent* Event) {
  const QString Typed = Event->text();
  if (!Typed.isEmpty() && ToQString(InvalidNameChars).contains(Typed.front())) {
    ShowBalloonAtWindow(FRenameEdit,
                        u"文件名不能包含下列任何字符之一\r\n" + std::u16string(InvalidNameChars),
                        {}, 0, TTipIcon::ttNoneIcon, 1500);
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
