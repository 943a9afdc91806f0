// The conversion list's control: a report list without a tree, whose rows
// are painted whole by the rules of uFileListPaint.h (the control's own
// row drawing is replaced), scrolling by pixels so that a drag can move it
// 10 pixels at a time. Mouse and key handling belong to the window, which
// watches the control's events.
// Threading: GUI thread. Ownership: a child widget of the window.
#pragma once

#include <QTreeView>
#include <functional>

class TFileListView final : public QTreeView {
public:
  explicit TFileListView(QWidget* Parent);

  // Whether a conversion runs (the waiting rows say "等待" only then).
  std::function<bool()> FIsRunning;

  // A cell in viewport coordinates; empty for a row or column that is not
  // there.
  QRect CellRect(int Row, int Column) const;
  // The row at a viewport position; -1 over empty space.
  int RowAt(QPoint Position) const;
  int TopIndex() const;
  int VisibleRowCount() const;
  int RowHeight() const;
  void ScrollBy(int Pixels);

protected:
  void drawRow(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override;
};
