#include "app/forms/uFileListModel.h"

#include <QCoreApplication>

#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uMessages.h"
#include "platform/qt/uQtText.h"

using platform::qt::ToQString;

TFileListModel::TFileListModel(QObject* Parent)
    : QAbstractTableModel(Parent), FCaptions{QCoreApplication::translate("TFileList", "源文件"),
                                             QCoreApplication::translate("TFileList", "目标文件名"),
                                             QCoreApplication::translate("TFileList", "状态")} {}

void TFileListModel::SetManager(TTaskManager* Manager) {
  beginResetModel();
  FManager = Manager;
  FRows.clear();
  endResetModel();
}

int TFileListModel::rowCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TFileListModel::columnCount(const QModelIndex& Parent) const {
  return Parent.isValid() ? 0 : 3;
}

QVariant TFileListModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Index.row() >= rowCount() || Index.column() >= 3) return {};
  const TRow& Row = FRows[static_cast<size_t>(Index.row())];
  if (Role == TaskRole) return QVariant::fromValue(static_cast<void*>(Row.Task));
  if (Role != Qt::DisplayRole) return {};
  switch (Index.column()) {
  case 0:
    return Row.Caption;
  case 1:
    return Row.Target;
  default:
    return Row.Status;
  }
}

QVariant TFileListModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Section < 0 || Section >= 3) return {};
  if (Role == Qt::DisplayRole) return FCaptions[static_cast<size_t>(Section)];
  if (Role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& Index) const {
  return Index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TFileListModel::SetCaption(int Column, const QString& Text) {
  if (Column < 0 || Column >= 3 || FCaptions[static_cast<size_t>(Column)] == Text) return;
  FCaptions[static_cast<size_t>(Column)] = Text;
  emit headerDataChanged(Qt::Horizontal, Column, Column);
}

QString TFileListModel::FailedText(std::u16string_view Result) {
  // The result is stored Chinese (the run's log keeps it); shown in the
  // user's language.
  return QCoreApplication::translate("TFileList", "失败(%1)").arg(ToQString(TrShown(Result)));
}

QString TFileListModel::StatusText(const TTaskItem& Task) {
  switch (Task.FState) {
  case tsWaiting:
    return QCoreApplication::translate("TFileList", "等待");
  case tsConverting:
    return QString::number(Task.FProgress.load());
  case tsDone:
    return QCoreApplication::translate("TFileList", "完成");
  default:
    return FailedText(TaskResultText(Task.FResult.load()));
  }
}

TFileListModel::TRow TFileListModel::RowOf(TTaskItem* Task) {
  return TRow{Task->FId, Task, ToQString(Task->FSource), ToQString(Task->FTargetName),
              StatusText(*Task)};
}

int TFileListModel::RowAdded(int32_t Id) {
  TTaskItem* Task = FManager ? FManager->FindTask(Id) : nullptr;
  if (!Task) return -1;
  const int Row = rowCount();
  beginInsertRows({}, Row, Row);
  FRows.push_back(RowOf(Task));
  endInsertRows();
  return Row;
}

TFileListModel::TRemoval TFileListModel::RowRemoved(int32_t Id) {
  TRemoval Result;
  for (; Result.ScanEnd < rowCount(); ++Result.ScanEnd) {
    const TRow& Row = FRows[static_cast<size_t>(Result.ScanEnd)];
    if (!Row.Task) break;
    if (Row.Id != Id) continue;
    beginRemoveRows({}, Result.ScanEnd, Result.ScanEnd);
    FRows.erase(FRows.begin() + Result.ScanEnd);
    endRemoveRows();
    Result.Removed = true;
    break;
  }
  return Result;
}

int TFileListModel::RowChanged(int32_t Id) {
  const int Row = FindRow(Id);
  if (Row < 0) return -1;
  TRow& Entry = FRows[static_cast<size_t>(Row)];
  Entry = RowOf(Entry.Task);
  emit dataChanged(index(Row, 0), index(Row, 2));
  return Row;
}

void TFileListModel::RebuildRows() {
  beginResetModel();
  FRows.clear();
  if (FManager) {
    for (int32_t I = 0; I < FManager->TaskCount(); ++I)
      if (TTaskItem* Task = FManager->GetTask(I)) FRows.push_back(RowOf(Task));
  }
  endResetModel();
}

int TFileListModel::FindRow(int32_t Id) const {
  for (size_t I = 0; I < FRows.size(); ++I)
    if (FRows[I].Task && FRows[I].Id == Id) return static_cast<int>(I);
  return -1;
}

TTaskItem* TFileListModel::TaskAt(int Row) const {
  return Row >= 0 && Row < rowCount() ? FRows[static_cast<size_t>(Row)].Task : nullptr;
}
