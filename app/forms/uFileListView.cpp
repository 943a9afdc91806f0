#include "app/forms/uFileListView.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListPaint.h"
#include "engine/uTaskItem.h"

namespace {

// Every row is as high as the font's line and a little air.
class TRowHeightDelegate final : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const override {
    return QSize(10, Option.fontMetrics.height() + 2);
  }
};

}  // namespace

TFileListView::TFileListView(QWidget* Parent) : QTreeView(Parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
  setSortingEnabled(false);
  setDragEnabled(false);
  setItemDelegate(new TRowHeightDelegate(this));
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  header()->setSortIndicatorShown(false);
  header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QRect TFileListView::CellRect(int Row, int Column) const {
  if (!model() || Row < 0 || Row >= model()->rowCount() || Column < 0 ||
      Column >= model()->columnCount())
    return {};
  const QRect RowRect = visualRect(model()->index(Row, 0));
  return QRect(header()->sectionViewportPosition(Column), RowRect.top(),
               header()->sectionSize(Column), RowRect.height());
}

int TFileListView::RowAt(QPoint Position) const {
  const QModelIndex Index = indexAt(Position);
  return Index.isValid() ? Index.row() : -1;
}

int TFileListView::TopIndex() const {
  const QModelIndex Top = indexAt(QPoint(1, 1));
  return Top.isValid() ? Top.row() : 0;
}

int TFileListView::RowHeight() const {
  const int Height = model() && model()->rowCount() > 0 ? rowHeight(model()->index(0, 0)) : 0;
  return Height > 0 ? Height : fontMetrics().height() + 2;
}

int TFileListView::VisibleRowCount() const { return viewport()->height() / RowHeight(); }

void TFileListView::ScrollBy(int Pixels) {
  verticalScrollBar()->setValue(verticalScrollBar()->value() + Pixels);
}

void TFileListView::drawRow(QPainter* Painter, const QStyleOptionViewItem& Option,
                            const QModelIndex& Index) const {
  TRowPaint Row;
  Row.Row = Index.row();
  int Right = 0;
  for (int Column = 0; Column < 3; ++Column) {
    Row.Cells[Column] = QRect(header()->sectionViewportPosition(Column), Option.rect.top(),
                              header()->sectionSize(Column), Option.rect.height());
    Right = std::max(Right, Row.Cells[Column].right());
  }
  Row.Bounds =
      QRect(QPoint(Row.Cells[0].left(), Option.rect.top()), QPoint(Right, Option.rect.bottom()));
  Row.Selected = selectionModel() && selectionModel()->isRowSelected(Index.row(), Index.parent());
  Row.Focused = hasFocus() && currentIndex().isValid() && currentIndex().row() == Index.row();
  Row.Running = FIsRunning && FIsRunning();
  Row.Task = static_cast<const TTaskItem*>(Index.data(TFileListModel::TaskRole).value<void*>());
  Row.Palette = palette();
  Painter->setFont(font());
  DrawRow(*Painter, Row);
}
