// The conversion list as a Qt model: one row per task of the task manager,
// in the manager's order. The model keeps its own copy of the rows (task
// number, task, and the row texts), changed only by the row operations the
// window calls from the manager's notifications; the manager has already
// changed its list when it notifies (a removal is notified while the task
// still exists), so the copy never reads a task that is gone.
// Threading: GUI thread only. Ownership: the manager owns the tasks the
// rows point to; the window owns the model and clears it before the manager
// goes.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

class TTaskManager;
class TTaskItem;

class TFileListModel final : public QAbstractTableModel {
public:
  // The task behind a row (a TTaskItem* as void*).
  static constexpr int TaskRole = Qt::UserRole + 1;

  explicit TFileListModel(QObject* Parent = nullptr);

  // Empties the rows; later row operations read this manager (null: none).
  void SetManager(TTaskManager* Manager);

  int rowCount(const QModelIndex& Parent = {}) const override;
  int columnCount(const QModelIndex& Parent = {}) const override;
  QVariant data(const QModelIndex& Index, int Role) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override;
  Qt::ItemFlags flags(const QModelIndex& Index) const override;

  QString Caption(int Column) const { return FCaptions.at(static_cast<size_t>(Column)); }
  void SetCaption(int Column, const QString& Text);

  // Appends the row of task Id; its index, or -1 without such a task.
  int RowAdded(int32_t Id);
  struct TRemoval {
    bool Removed = false;
    int ScanEnd = 0;  // the row index where the scan from the top ended
  };
  // Deletes the first row of task Id, scanning from the top (the scan stops
  // at a row without a task).
  TRemoval RowRemoved(int32_t Id);
  // Rewrites the texts of task Id's row; its index or -1.
  int RowChanged(int32_t Id);
  // One row per task in the manager's order.
  void RebuildRows();

  int FindRow(int32_t Id) const;
  TTaskItem* TaskAt(int Row) const;

  // The row's status text (never painted: painting reads the task).
  static QString StatusText(const TTaskItem& Task);
  // "失败(result)" with the task's stored result shown in the user's language.
  static QString FailedText(std::u16string_view Result);

private:
  struct TRow {
    int32_t Id = -1;
    TTaskItem* Task = nullptr;
    QString Caption;  // the source path
    QString Target;   // the target name
    QString Status;
  };
  static TRow RowOf(TTaskItem* Task);

  TTaskManager* FManager = nullptr;
  std::vector<TRow> FRows;
  std::array<QString, 3> FCaptions;
};
