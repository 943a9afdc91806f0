// How the conversion list draws its rows and how a progress bar is drawn
// (the status cell of a converting task and the total progress of a run).
// Every row is painted by the window, never by the list control: stripes,
// selection, the source and target texts and the status cell.
// Threading: GUI thread (painting). The skins are the program's artwork
// (":/morvo/art/progress_*.png"), each used as three equal vertical slices.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;
class TTaskItem;

struct TProgressSkins {
  QPixmap Filled;  // image 0: the filled bar
  QPixmap Track;   // image 1: the empty track
  // Loaded once from the resources.
  static const TProgressSkins& Shared();
};

// The text of a bar: "%d/%d" unless the maximum is 100, then "%d%%", or
// "0.0" at position 0. Position is clamped to 0..Max first.
QString ProgressBarText(int Max, int Position);
// Draws the bar into Rect of Canvas through an off-screen picture filled
// with Brush; the text in the canvas's pen colour and font. Nothing for a
// maximum of 0.
void DrawProgressBar(QPainter& Canvas, const QRect& Rect, int Max, int Position,
                     const QColor& Brush, const TProgressSkins& Skins = TProgressSkins::Shared());

// What the status cell of a task shows.
struct TStatusCell {
  enum class TKind { Nothing, Words, Bar } Kind = TKind::Nothing;
  QString Text;
  QColor Color;  // invalid: the row's text colour
  int Progress = 0;
};
TStatusCell StatusCellOf(const TTaskItem& Task, bool Running);

// Row stripes: odd rows white, even rows light grey (row 0 is grey).
QColor StripeColor(int Row);

struct TRowPaint {
  QRect Bounds;    // the whole row across its columns
  QRect Cells[3];  // each column's cell
  int Row = 0;
  bool Selected = false;
  bool Focused = false;  // the row has the focus
  bool Running = false;  // a conversion runs
  const TTaskItem* Task = nullptr;
  QPalette Palette;
};
void DrawRow(QPainter& Canvas, const TRowPaint& Row);
