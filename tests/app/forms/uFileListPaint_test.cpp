#include "app/forms/uFileListPaint.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "engine/uTaskItem.h"
#include "tests/app/forms/uFormsTestKit.h"
#include "widgets/uMiraFonts.h"

namespace {

bool IsBlueish(QRgb P) { return qBlue(P) > qRed(P) + 60; }
bool IsGreyish(QRgb P) { return std::abs(qBlue(P) - qRed(P)) < 16 && qRed(P) > 150; }
bool IsPure(QRgb P, int R, int G, int B) {
  return std::abs(qRed(P) - R) < 50 && std::abs(qGreen(P) - G) < 50 && std::abs(qBlue(P) - B) < 50;
}

int CountPixels(const QImage& Image, const QRect& Area, const std::function<bool(QRgb)>& Wanted) {
  int Count = 0;
  for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
    for (int X = Area.left(); X <= Area.right(); ++X)
      Count += Wanted(Image.pixel(X, Y)) ? 1 : 0;
  return Count;
}

// A status cell of 165 x 18 pixels as the list draws it.
QImage Bar(int Max, int Position) {
  QImage Image(165, 18, QImage::Format_RGB32);
  Image.fill(QColor(255, 0, 255));
  QPainter P(&Image);
  P.setFont(SongTiFont());
  P.setPen(Qt::black);
  DrawProgressBar(P, Image.rect(), Max, Position, Qt::white);
  return Image;
}

int TextWidth() {
  QImage Image(1, 1, QImage::Format_RGB32);
  QPainter P(&Image);
  P.setFont(SongTiFont());
  return P.fontMetrics().horizontalAdvance(QStringLiteral("1000/1000"));
}

class FileListPaint : public ::testing::Test {
protected:
  void SetUp() override { formstest::StartWindowUnits(); }
};

}  // namespace

TEST_F(FileListPaint, BarTextDependsOnlyOnTheMaximum) {
  EXPECT_EQ(ProgressBarText(100, 0), QStringLiteral("0.0"));
  EXPECT_EQ(ProgressBarText(100, 63), QStringLiteral("63%"));
  EXPECT_EQ(ProgressBarText(100, 150), QStringLiteral("100%"));
  EXPECT_EQ(ProgressBarText(100, -4), QStringLiteral("0.0"));
  // A run of exactly 100 tasks shows a percentage, any other total a count.
  EXPECT_EQ(ProgressBarText(100, 40), QStringLiteral("40%"));
  EXPECT_EQ(ProgressBarText(9, 3), QStringLiteral("3/9"));
  EXPECT_EQ(ProgressBarText(9, 12), QStringLiteral("9/9"));
  EXPECT_EQ(ProgressBarText(101, 0), QStringLiteral("0/101"));
}

TEST_F(FileListPaint, TheFilledSkinCoversItsShareOfTheTrack) {
  const int T = TextWidth();
  const TProgressSkins& Skins = TProgressSkins::Shared();
  ASSERT_FALSE(Skins.Filled.isNull());
  ASSERT_EQ(Skins.Filled.size(), Skins.Track.size());
  const int S = Skins.Track.width() / 3;
  const int W = 165;
  const int Mid = 9;  // the skin's middle line in an 18-pixel cell
  const QImage Half = Bar(100, 50);
  const int FilledEnd = S + 50 * (W - S - T) / 100;
  EXPECT_TRUE(IsBlueish(Half.pixel(S + 2, Mid)));
  EXPECT_TRUE(IsBlueish(Half.pixel(FilledEnd - 2, Mid)));
  EXPECT_TRUE(IsGreyish(Half.pixel(FilledEnd + 2, Mid)));
  EXPECT_TRUE(IsGreyish(Half.pixel(W - T - S / 2, Mid)));
  // The text sits right of the bar, in the pen's colour.
  EXPECT_GT(CountPixels(Half, QRect(W - T + 5, 0, T - 5, 18), [](QRgb P) { return qRed(P) < 90; }),
            10);

  const QImage Full = Bar(100, 100);
  EXPECT_TRUE(IsBlueish(Full.pixel(W - T - S / 2, Mid)));
  // Nothing below 1 % of the track shows the filled skin.
  const QImage Empty = Bar(100, 0);
  EXPECT_EQ(CountPixels(Empty, QRect(0, 0, W - T, 18), IsBlueish), 0);
  // A maximum of 0 draws nothing at all.
  const QImage None = Bar(0, 0);
  EXPECT_EQ(None.pixel(W / 2, Mid), QColor(255, 0, 255).rgb());
}

TEST_F(FileListPaint, StatusCellsFollowTheTaskState) {
  TTaskItem Task;
  EXPECT_EQ(StatusCellOf(Task, false).Kind, TStatusCell::TKind::Nothing);
  EXPECT_EQ(StatusCellOf(Task, true).Text, QStringLiteral("等待"));
  Task.FState = tsConverting;
  Task.FProgress = 0;
  const TStatusCell Converting = StatusCellOf(Task, true);
  EXPECT_EQ(Converting.Kind, TStatusCell::TKind::Bar);
  EXPECT_EQ(Converting.Progress, 0);
  Task.FState = tsDone;
  EXPECT_EQ(StatusCellOf(Task, false).Text, QStringLiteral("完成"));
  EXPECT_FALSE(StatusCellOf(Task, false).Color.isValid());
  Task.FState = tsFailed;
  Task.FResult = rcReadFailed;
  EXPECT_EQ(StatusCellOf(Task, false).Text, QStringLiteral("失败(读取文件失败)"));
  EXPECT_EQ(StatusCellOf(Task, false).Color, QColor(255, 0, 0));
  for (int32_t Abort : {rcUserAbort, rcAbortedInPump}) {
    Task.FResult = Abort;
    EXPECT_EQ(StatusCellOf(Task, false).Text, QStringLiteral("转换中止"));
    EXPECT_EQ(StatusCellOf(Task, false).Color, QColor(0, 0, 255));
  }
}

namespace {

// One row of 3 cells (170, 169, 165 wide) at index Row.
QImage Row(const TTaskItem& Task, int Index, bool Selected, bool Running,
           QPalette Palette = QPalette()) {
  QImage Image(504, 18, QImage::Format_RGB32);
  Image.fill(Qt::black);
  QPainter P(&Image);
  P.setFont(SongTiFont());
  TRowPaint Paint;
  Paint.Bounds = Image.rect();
  Paint.Cells[0] = QRect(0, 0, 170, 18);
  Paint.Cells[1] = QRect(170, 0, 169, 18);
  Paint.Cells[2] = QRect(339, 0, 165, 18);
  Paint.Row = Index;
  Paint.Selected = Selected;
  Paint.Running = Running;
  Paint.Task = &Task;
  Paint.Palette = Palette;
  DrawRow(P, Paint);
  return Image;
}

const QRect StatusCell(339, 0, 165, 18);
const QRect TargetCell(170, 0, 169, 18);

}  // namespace

TEST_F(FileListPaint, RowsAreStripedAndSelectedRowsHighlighted) {
  TTaskItem Task;
  Task.FSource = u"/音乐/晨曦.wav";
  Task.FTargetName = u"晨曦.mp3";
  EXPECT_EQ(Row(Task, 0, false, false).pixel(500, 9), QColor(245, 245, 245).rgb());
  EXPECT_EQ(Row(Task, 1, false, false).pixel(500, 9), QColor(255, 255, 255).rgb());
  EXPECT_EQ(Row(Task, 2, false, false).pixel(500, 9), QColor(245, 245, 245).rgb());
  QPalette Palette;
  Palette.setColor(QPalette::Highlight, QColor(10, 100, 200));
  Palette.setColor(QPalette::HighlightedText, QColor(255, 255, 0));
  const QImage Selected = Row(Task, 1, true, false, Palette);
  EXPECT_EQ(Selected.pixel(500, 9), QColor(10, 100, 200).rgb());
  EXPECT_GT(CountPixels(Selected, TargetCell, [](QRgb P) { return IsPure(P, 255, 255, 0); }), 5);
  // The source and the target are written; a waiting task says nothing
  // while no conversion runs, and "等待" while one does.
  const QImage Idle = Row(Task, 1, false, false);
  EXPECT_GT(CountPixels(Idle, QRect(0, 0, 170, 18), [](QRgb P) { return qRed(P) < 100; }), 10);
  EXPECT_GT(CountPixels(Idle, TargetCell, [](QRgb P) { return qRed(P) < 100; }), 10);
  EXPECT_EQ(CountPixels(Idle, StatusCell, [](QRgb P) { return qRed(P) < 200; }), 0);
  EXPECT_GT(
      CountPixels(Row(Task, 1, false, true), StatusCell, [](QRgb P) { return qRed(P) < 100; }), 10);
}

TEST_F(FileListPaint, FailuresAreRedAndUserAbortsBlue) {
  TTaskItem Task;
  Task.FTargetName = u"a.mp3";
  Task.FState = tsFailed;
  Task.FResult = rcLossyToLossless;
  const QImage Failed = Row(Task, 1, false, false);
  EXPECT_GT(CountPixels(Failed, StatusCell, [](QRgb P) { return IsPure(P, 255, 0, 0); }), 10);
  EXPECT_EQ(CountPixels(Failed, StatusCell, [](QRgb P) { return IsPure(P, 0, 0, 255); }), 0);
  // The target name keeps the row's colour.
  EXPECT_EQ(CountPixels(Failed, TargetCell, [](QRgb P) { return IsPure(P, 255, 0, 0); }), 0);
  Task.FResult = rcAbortedInPump;
  const QImage Stopped = Row(Task, 1, false, false);
  EXPECT_GT(CountPixels(Stopped, StatusCell, [](QRgb P) { return IsPure(P, 0, 0, 255); }), 10);
  EXPECT_EQ(CountPixels(Stopped, StatusCell, [](QRgb P) { return IsPure(P, 255, 0, 0); }), 0);
}

TEST_F(FileListPaint, ATaskColourOverridesTheTextColourAndConvertingShowsTheBar) {
  TTaskItem Task;
  Task.FTargetName = u"a.mp3";
  Task.FColor = 0x0000C000;  // green, as 0x00BBGGRR
  EXPECT_GT(CountPixels(Row(Task, 1, false, false), TargetCell,
                        [](QRgb P) { return IsPure(P, 0, 192, 0); }),
            5);
  Task.FColor = -1;
  Task.FState = tsConverting;
  Task.FProgress = 80;
  EXPECT_GT(CountPixels(Row(Task, 1, false, true), StatusCell, IsBlueish), 50);
}
