#include "app/forms/uFileListPaint.h"

#include <QCoreApplication>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "app/forms/uFileListModel.h"
#include "engine/uTaskItem.h"
#include "platform/qt/uQtText.h"

using platform::qt::ToQString;

namespace {

const QColor AbortBlue(0, 0, 255);
const QColor FailureRed(255, 0, 0);
// Cell texts keep off the grid line on their left.
constexpr int CellTextIndent = 2;

void DrawCellText(QPainter& Canvas, const QRect& Cell, const QString& Text) {
  const QRect Area = Cell.adjusted(CellTextIndent, 0, -CellTextIndent, 0);
  const QString Shown = Canvas.fontMetrics().elidedText(Text, Qt::ElideRight, Area.width());
  Canvas.drawText(Area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Shown);
}

}  // namespace

const TProgressSkins& TProgressSkins::Shared() {
  static const TProgressSkins Skins{QPixmap(QStringLiteral(":/morvo/art/progress_filled.png")),
                                    QPixmap(QStringLiteral(":/morvo/art/progress_track.png"))};
  return Skins;
}

QString ProgressBarText(int Max, int Position) {
  if (Position >= Max) Position = Max;
  if (Position < 1) Position = 0;
  if (Max != 100) return QStringLiteral("%1/%2").arg(Position).arg(Max);
  if (Position != 0) return QStringLiteral("%1%").arg(Position);
  return QStringLiteral("0.0");
}

void DrawProgressBar(QPainter& Canvas, const QRect& Rect, int Max, int Position,
                     const QColor& Brush, const TProgressSkins& Skins) {
  if (Max == 0 || Rect.isEmpty()) return;
  const qreal Ratio = Canvas.device() ? Canvas.device()->devicePixelRatioF() : 1.0;
  QPixmap Bitmap(Rect.size() * Ratio);
  Bitmap.setDevicePixelRatio(Ratio);
  Bitmap.fill(Brush);
  if (Position >= Max) Position = Max;
  if (Position < 1) Position = 0;
  const QString Text = ProgressBarText(Max, Position);

  const int W = Rect.width();
  const int H = Rect.height();
  const int T = Canvas.fontMetrics().horizontalAdvance(QStringLiteral("1000/1000"));
  const QPixmap& Track = Skins.Track;
  const QPixmap& Filled = Skins.Filled;
  const int S = Track.width() / 3;
  const int D = (H - Track.height()) / 2;
  const int SkinH = Track.height();
  {
    QPainter P(&Bitmap);
    P.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The slices of a skin: left end, middle (stretched), right end.
    auto Slices = [&](const QPixmap& Skin, int MiddleEnd, bool RightEnd) {
      P.drawPixmap(QRect(0, D, S, SkinH), Skin, QRect(0, 0, S, SkinH));
      if (MiddleEnd > S)
        P.drawPixmap(QRect(S, D, MiddleEnd - S, SkinH), Skin, QRect(S, 0, S, SkinH));
      if (RightEnd) P.drawPixmap(QRect(W - S - T, D, S, SkinH), Skin, QRect(2 * S, 0, S, SkinH));
    };
    Slices(Track, W - S - T, true);
    if (Position * (W - 2 * S - T) / Max > 0)
      Slices(Filled, S + Position * (W - S - T) / Max, Position == Max);
    P.setFont(Canvas.font());
    P.setPen(Canvas.pen());
    // The text's top sits 2 pixels below the skin's top when the font's
    // line fits there; a taller line is centred instead of cut off.
    const int LineHeight = P.fontMetrics().height();
    const int Top = D + 2 + LineHeight <= H ? D + 2 : std::max(0, (H - LineHeight) / 2);
    P.drawText(QRect(W - T + 5, Top, T, LineHeight),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Text);
  }
  Canvas.drawPixmap(Rect.topLeft(), Bitmap);
}

TStatusCell StatusCellOf(const TTaskItem& Task, bool Running) {
  TStatusCell Cell;
  switch (Task.FState) {
  case tsWaiting:
    if (Running) {
      Cell.Kind = TStatusCell::TKind::Words;
      Cell.Text = QCoreApplication::translate("TFileList", "等待");
    }
    break;
  case tsConverting:
    Cell.Kind = TStatusCell::TKind::Bar;
    Cell.Progress = Task.FProgress.load();
    break;
  case tsDone:
    Cell.Kind = TStatusCell::TKind::Words;
    Cell.Text = QCoreApplication::translate("TFileList", "完成");
    break;
  case tsFailed: {
    Cell.Kind = TStatusCell::TKind::Words;
    const int32_t Result = Task.FResult.load();
    if (IsUserAbort(Result)) {
      Cell.Text = QCoreApplication::translate("TFileList", "转换中止");
      Cell.Color = AbortBlue;
    } else {
      Cell.Text = TFileListModel::FailedText(TaskResultText(Result));
      Cell.Color = FailureRed;
    }
    break;
  }
  default:
    break;
  }
  return Cell;
}

QColor StripeColor(int Row) { return Row % 2 == 1 ? QColor(255, 255, 255) : QColor(245, 245, 245); }

void DrawRow(QPainter& Canvas, const TRowPaint& Row) {
  Canvas.save();
  const QColor Fill = Row.Selected ? Row.Palette.color(QPalette::Highlight) : StripeColor(Row.Row);
  QColor TextColor = Row.Palette.color(Row.Selected ? QPalette::HighlightedText : QPalette::Text);
  Canvas.fillRect(Row.Bounds, Fill);
  if (Row.Task && Row.Task->FColor != -1) {
    const int32_t C = Row.Task->FColor;  // 0x00BBGGRR
    TextColor = QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
  }
  Canvas.setPen(TextColor);
  if (Row.Task) {
    // Column 0 has no check box to leave room for: its text starts at the
    // cell's edge.
    DrawCellText(Canvas, Row.Cells[0], ToQString(Row.Task->FSource));
    DrawCellText(Canvas, Row.Cells[1], ToQString(Row.Task->FTargetName));
    const TStatusCell Status = StatusCellOf(*Row.Task, Row.Running);
    if (Status.Kind == TStatusCell::TKind::Bar) {
      DrawProgressBar(Canvas, Row.Cells[2], 100, Status.Progress, Fill);
    } else if (Status.Kind == TStatusCell::TKind::Words) {
      if (Status.Color.isValid()) Canvas.setPen(Status.Color);
      DrawCellText(Canvas, Row.Cells[2], Status.Text);
      Canvas.setPen(TextColor);
    }
  }
  if (Row.Selected) {
    const QRect Frame = Row.Bounds.adjusted(0, 0, -1, -1);
    if (Row.Focused) {
      QPen Dotted(Row.Palette.color(QPalette::HighlightedText), 1, Qt::DotLine);
      Canvas.setPen(Dotted);
    } else {
      Canvas.setPen(Fill);
    }
    Canvas.setBrush(Qt::NoBrush);
    Canvas.drawRect(Frame);
  }
  Canvas.restore();
}
