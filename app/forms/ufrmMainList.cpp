// The conversion list: rows kept in step with the task manager, selection,
// removal, sorting, the mouse and keys in the list and its context menus.
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "app/forms/ufrmMain.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/qt/uQtText.h"
#include "platform/uMessageBox.h"

using platform::qt::ToQString;
using platform::qt::WideText;

namespace {

constexpr int StatusColumn = 2;
constexpr int StatusColumnWidth = 165;
constexpr int StatusColumnMin = 150;
constexpr int StatusColumnMax = 200;
constexpr int AutoScrollPixels = 10;
const QString UpMark = QStringLiteral("↑");
const QString DownMark = QStringLiteral("↓");

QString WithoutMarks(QString Caption) {
  Caption.remove(UpMark);
  Caption.remove(DownMark);
  return Caption.trimmed();
}

}  // namespace

bool TfrmMain::IsRunning() const { return FManager && FManager->IsRunning(); }

// ---------------------------------------------------------------------------
// Rows

void TfrmMain::RowAdded(int32_t Id) {
  const int Row = FModel->RowAdded(Id);
  if (Row < 0) return;
  FSyncingSelection = true;
  lvFileList->selectionModel()->select(FModel->index(Row, 0),
                                       QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  FSyncingSelection = false;
  if (TTaskItem* Task = FModel->TaskAt(Row)) Task->FSelected = 0;
}

void TfrmMain::RowRemoved(int32_t Id) {
  const TFileListModel::TRemoval Removal = FModel->RowRemoved(Id);
  if (Removal.ScanEnd == 0) ClearSortMarks();
  if (!FManager || IsRunning()) return;
  if (FManager->FFinishedCount > 0) {
    lblTitle->setText(ToQString(FManager->GetSummary()));
    lblTitle->adjustSize();
    if (FManager->FSucceededCount == 0) btnDeleteComplete->hide();
  } else {
    lblTitle->hide();
    btnDeleteComplete->hide();
    btnView->hide();
  }
}

void TfrmMain::RowChanged(int32_t Id) {
  const int Row = FModel->RowChanged(Id);
  if (Row < 0) return;
  TTaskItem* Task = FModel->TaskAt(Row);
  FSyncingSelection = true;
  lvFileList->selectionModel()->select(
      FModel->index(Row, 0),
      (Task->FSelected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
          QItemSelectionModel::Rows);
  FSyncingSelection = false;
  if (Task->FState == tsDone || Task->FState == tsFailed) {
    pnlOutMessage->update();
    // Keep the rows that have just finished in sight.
    if (Row - lvFileList->TopIndex() > lvFileList->VisibleRowCount() - 2)
      lvFileList->ScrollBy(2 * lvFileList->RowHeight());
    lblProgress->update();
  }
}

void TfrmMain::RowProgress(int32_t Id) {
  if (FModel->RowChanged(Id) < 0) return;
  lblProgress->update();
}

void TfrmMain::RebuildRows() {
  FSyncingSelection = true;
  FModel->RebuildRows();
  FSyncingSelection = false;
  // The rows come back unselected: their tasks must not keep a selection
  // that the list no longer shows (Delete would remove them).
  for (int Row = 0; Row < FModel->rowCount(); ++Row)
    if (TTaskItem* Task = FModel->TaskAt(Row)) Task->FSelected = 0;
}

void TfrmMain::SelectRow(int32_t Id) {
  const int Row = FModel->FindRow(Id);
  if (Row < 0) return;
  lvFileList->selectionModel()->select(FModel->index(Row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TfrmMain::ListSelectionChanged() {
  if (FSyncingSelection) return;
  QItemSelectionModel* Selection = lvFileList->selectionModel();
  for (int Row = 0; Row < FModel->rowCount(); ++Row)
    if (TTaskItem* Task = FModel->TaskAt(Row))
      Task->FSelected = Selection->isRowSelected(Row, {}) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Selection and removal

bool TfrmMain::AnyRowSelected() const { return lvFileList->selectionModel()->hasSelection(); }

int TfrmMain::FirstSelectedRow() const {
  for (int Row = 0; Row < FModel->rowCount(); ++Row)
    if (lvFileList->selectionModel()->isRowSelected(Row, {})) return Row;
  return -1;
}

void TfrmMain::SelectAll() {
  if (FModel->rowCount() == 0) return;
  lvFileList->selectionModel()->select(
      QItemSelection(FModel->index(0, 0), FModel->index(FModel->rowCount() - 1, 2)),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TfrmMain::btnAllSelectClick() {
  if (FModel->rowCount() == 0) {
    ShowListMessage(WideText("TfrmMain", "没有选项可供选择！"), WideText("TfrmMain", "全选提示"));
    return;
  }
  SelectAll();
}

void TfrmMain::btnDeleteClick() {
  int Removed = 0;
  for (int Row = 0; Row < FModel->rowCount();) {
    TTaskItem* Task = FModel->TaskAt(Row);
    if (!Task || !lvFileList->selectionModel()->isRowSelected(Row, {})) {
      ++Row;
      continue;
    }
    const int CountBefore = FModel->rowCount();
    FManager->RemoveTask(Task->FId);
    // The row leaves through the removal notice; a task the manager keeps
    // (a worker still holds it) is passed over.
    if (FModel->rowCount() < CountBefore)
      ++Removed;
    else
      ++Row;
  }
  if (Removed == 0)
    ShowListMessage(FModel->rowCount() > 0 ? WideText("TfrmMain", "请选择预删除的选项，然后重试！")
                                           : WideText("TfrmMain", "没有可删除的选项！"),
                    WideText("TfrmMain", "移除文件提示"));
}

void TfrmMain::RemoveSelectedTasks() {
  if (!FManager || !AnyRowSelected() || IsRunning()) return;
  std::vector<int32_t> Ids;
  for (int32_t I = 0; I < FManager->TaskCount(); ++I)
    if (TTaskItem* Task = FManager->GetTask(I); Task && Task->FSelected) Ids.push_back(Task->FId);
  for (int32_t Id : Ids)
    FManager->RemoveTask(Id);
}

void TfrmMain::btnDeleteCompleteClick() {
  if (!FManager || FManager->FSucceededCount == 0) return;
  std::vector<int32_t> Done;
  for (int32_t I = 0; I < FManager->TaskCount(); ++I)
    if (TTaskItem* Task = FManager->GetTask(I); Task && Task->FState == tsDone)
      Done.push_back(Task->FId);
  for (int32_t Id : Done)
    FManager->RemoveTask(Id);
  btnDeleteComplete->hide();
  lblTitle->hide();
  btnView->hide();
}

void TfrmMain::btnViewClick() {
  btnView->hide();
  if (FManager) FManager->Sort(2, 1);
}

void TfrmMain::ShowListMessage(const std::u16string& Text, const std::u16string& Caption) {
  platform::MessageBoxW(Target(), Text, Caption, platform::MB_OK | platform::MB_ICONINFORMATION);
}

// ---------------------------------------------------------------------------
// Columns and sorting

void TfrmMain::SetColumnWidths() {
  QHeaderView* Header = lvFileList->header();
  const int Side = (lvFileList->width() - 185) / 2;
  Header->resizeSection(0, Side);
  Header->resizeSection(1, Side);
  Header->resizeSection(StatusColumn, StatusColumnWidth);
}

void TfrmMain::ClampStatusColumn(int Column, int NewSize) {
  if (Column != StatusColumn) return;
  const int Clamped = std::clamp(NewSize, StatusColumnMin, StatusColumnMax);
  if (Clamped != NewSize) lvFileList->header()->resizeSection(StatusColumn, Clamped);
}

void TfrmMain::ClearSortMarks() {
  for (int Column = 0; Column < 3; ++Column)
    FModel->SetCaption(Column, WithoutMarks(FModel->Caption(Column)));
}

void TfrmMain::lvFileListColumnClick(int Column) {
  HideRenameEditor();
  if (!FManager || FModel->rowCount() == 0) return;
  const bool Allowed =
      Column == 0 || Column == 1 || (Column == StatusColumn && FManager->FFinishedCount > 0);
  if (!Allowed) return;
  FSortState = FSortState == 1 ? 2 : 1;
  FManager->Sort(Column, FSortState);
  ClearSortMarks();
  FModel->SetCaption(Column, FModel->Caption(Column) + (FSortState == 1 ? UpMark : DownMark));
}

// ---------------------------------------------------------------------------
// Mouse and keys (nothing happens in the list while a conversion runs,
// except Ctrl+A)

bool TfrmMain::ListEvent(QEvent* Event) {
  switch (Event->type()) {
  case QEvent::KeyPress:
    return ListKeyPress(static_cast<QKeyEvent*>(Event));
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
    if (IsRunning()) return true;
    CommitRename();
    ListMouseDown(static_cast<QMouseEvent*>(Event));
    return true;
  // The list's own press handling never ran, so its move and release
  // handling has nothing to go on: the window's drag selection replaces it.
  case QEvent::MouseMove:
    if (FDragAnchor.isValid()) ListMouseMove(static_cast<QMouseEvent*>(Event));
    return true;
  case QEvent::MouseButtonRelease:
    ListMouseUp();
    return true;
  case QEvent::Leave:
    FDragAnchor = QPersistentModelIndex();
    return false;
  default:
    return false;
  }
}

bool TfrmMain::ListKeyPress(QKeyEvent* Event) {
  const bool Control = Event->modifiers() & Qt::ControlModifier;
  if (Control && Event->key() == Qt::Key_A) {
    HideRenameEditor();
    SelectAll();
    return true;
  }
  if (!Control && Event->key() == Qt::Key_Delete) {
    RemoveSelectedTasks();
    return true;
  }
  return false;
}

void TfrmMain::ListMouseDown(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  const int Row = lvFileList->RowAt(At);
  if (Event->button() == Qt::RightButton) {
    if (FModel->rowCount() == 0) return;
    // The list's own right click: a row not yet selected becomes the only
    // selected one; empty space clears the selection.
    QItemSelectionModel* Selection = lvFileList->selectionModel();
    if (Row < 0)
      Selection->clearSelection();
    else if (!Selection->isRowSelected(Row, {}))
      Selection->setCurrentIndex(FModel->index(Row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FPopupItem = Row >= 0 ? QPersistentModelIndex(FModel->index(Row, 0)) : QPersistentModelIndex();
    if (QMenu* Menu = PreparePopupMenu(At)) Menu->popup(lvFileList->viewport()->mapToGlobal(At));
    return;
  }
  if (Event->button() != Qt::LeftButton) return;
  QItemSelectionModel* Selection = lvFileList->selectionModel();
  if (const int Selected = FirstSelectedRow(); Selected >= 0) {
    // Strictly inside the selected row's target cell: rename in place.
    if (lvFileList->CellRect(Selected, 1).adjusted(1, 1, -1, -1).contains(At)) {
      StartRename();
      return;
    }
  }
  FRenameItem = QPersistentModelIndex();
  FDragAnchor = Row >= 0 ? QPersistentModelIndex(FModel->index(Row, 0)) : QPersistentModelIndex();
  // The list's own click handling: a plain click selects the row, Ctrl
  // toggles it, Shift extends to it.
  if (Row >= 0) {
    const QModelIndex Index = FModel->index(Row, 0);
    const auto Modifiers = Event->modifiers();
    if (Modifiers & Qt::ControlModifier) {
      Selection->select(Index, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
      Selection->setCurrentIndex(Index, QItemSelectionModel::NoUpdate);
    } else if ((Modifiers & Qt::ShiftModifier) && Selection->currentIndex().isValid()) {
      SelectRange(Selection->currentIndex().row(), Row);
    } else {
      Selection->setCurrentIndex(Index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
  } else if (!(Event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
    Selection->clearSelection();
  }
  lvFileList->setFocus(Qt::MouseFocusReason);
}

void TfrmMain::SelectRange(int First, int Last) {
  if (First > Last) std::swap(First, Last);
  QItemSelectionModel* Selection = lvFileList->selectionModel();
  Selection->select(QItemSelection(FModel->index(First, 0), FModel->index(Last, 2)),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TfrmMain::ListMouseMove(QMouseEvent* Event) {
  const QPoint At = Event->position().toPoint();
  const int Top = lvFileList->TopIndex();
  if (Top != 0 && At.y() < lvFileList->CellRect(Top, 0).top())
    lvFileList->ScrollBy(-AutoScrollPixels);
  const int Bottom = Top + lvFileList->VisibleRowCount() - 1;
  if (Bottom < FModel->rowCount() && At.y() > lvFileList->CellRect(Bottom, 0).top())
    lvFileList->ScrollBy(AutoScrollPixels);
  if (!FDragAnchor.isValid()) return;
  const int Anchor = FDragAnchor.row();
  const int Under = lvFileList->RowAt(At);
  const bool Below = At.y() > lvFileList->CellRect(Anchor, 0).top();
  const int First = Below ? Anchor : Under;
  const int Last = Below ? Under : Anchor;
  // Over empty space one end is missing: the selection stays.
  if (First < 0 || Last < 0 || First > Last) return;
  SelectRange(First, Last);
}

void TfrmMain::ListMouseUp() { FDragAnchor = QPersistentModelIndex(); }

// ---------------------------------------------------------------------------
// Context menus

QMenu* TfrmMain::PreparePopupMenu(QPoint Position) {
  if (FModel->rowCount() == 0) return nullptr;
  const QRect Name = lvFileList->CellRect(0, 0);
  const QRect Dest = lvFileList->CellRect(0, 1);
  const bool InHeight = Position.y() >= 0 && Position.y() < lvFileList->viewport()->height();
  const bool RowSelected = AnyRowSelected();
  if (Position.x() <= Name.right()) {
    if (!InHeight || Position.x() <= 0) return nullptr;
    mmSelAll->setEnabled(true);
    mmPlay->setEnabled(RowSelected);
    mmModifyTag->setEnabled(false);
    mmDelete->setEnabled(RowSelected);
    return pmNameColum;
  }
  if (Position.x() >= Dest.left() && Position.x() <= Dest.right()) {
    if (!InHeight) return nullptr;
    const TTaskItem* Popup = FPopupItem.isValid() ? FModel->TaskAt(FPopupItem.row()) : nullptr;
    const bool Done = RowSelected && Popup && Popup->FState == tsDone;
    mmOpenFile->setEnabled(Done);
    mmOpenFilePath->setEnabled(Done);
    mmRename->setEnabled(RowSelected);
    return pmDestColum;
  }
  return nullptr;  // the status column has no menu
}
