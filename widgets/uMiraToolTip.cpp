#include "widgets/uMiraToolTip.h"

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <algorithm>

#include "platform/qt/uQtText.h"
#include "widgets/uMiraFonts.h"
#include "widgets/uMiraHintAdaptor.h"
#include "widgets/uMiraHintWindow.h"

using platform::qt::ToDisplayText;

namespace {

constexpr int Margin = 8;
constexpr int StemHeight = 12;
constexpr int StemWidth = 14;
constexpr int StemOffset = 20;  // from the body's left edge to the tip point
constexpr int CloseSize = 14;
constexpr int IconSize = 16;
constexpr int MaxTipWidth = 1000;
constexpr int CornerRadius = 8;

const QColor InfoBackground(255, 255, 225);
const QColor BalloonEdge(118, 118, 118);

QPixmap IconPixmap(TTipIcon Icon, const QStyle* Style) {
  switch (Icon) {
  case TTipIcon::ttInformationIcon:
    return Style->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(IconSize);
  case TTipIcon::ttWarningIcon:
    return Style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(IconSize);
  case TTipIcon::ttStopIcon:
    return Style->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(IconSize);
  default:
    return {};
  }
}

QFont TitleFont(QFont Font) {
  Font.setBold(true);
  return Font;
}

}  // namespace

struct TMiraToolTip::TLayout {
  QSize Body;
  QRect IconRect;   // empty without a title or icon
  QRect TitleRect;  // empty without a title
  QRect TextRect;
};

TMiraToolTip::TMiraToolTip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setFont(SongTiFont());
  FHideTimer.setSingleShot(true);
  connect(&FHideTimer, &QTimer::timeout, this, [this] { Hide(); });
}

TMiraToolTip::~TMiraToolTip() { FHideTimer.stop(); }

void TMiraToolTip::SetText(const std::u16string& S) {
  if (S == FText) return;
  FText = S;
  if (FVisible) update();
}

void TMiraToolTip::SetTitle(const std::u16string& S) {
  if (S == FTitle) return;
  FTitle = S;
  if (FVisible) update();
}

void TMiraToolTip::SetTransparent(bool B) {
  if (B == FTransparent) return;
  FTransparent = B;
  setAttribute(Qt::WA_TransparentForMouseEvents, B);
  setWindowFlag(Qt::WindowTransparentForInput, B);
}

QSize TMiraToolTip::MarginExtent() const {
  const QRect Text = fontMetrics().boundingRect(QRect(0, 0, MaxTipWidth, 100000), Qt::TextWordWrap,
                                                ToDisplayText(FText));
  return QSize(Text.width() + 20, Text.height() + 20);
}

QPoint TMiraToolTip::KeepOnWorkArea(QPoint Point, QSize Size, const QRect& WorkArea) {
  // Measured against the area's right and bottom edges, so that a tip on a
  // second screen stays on that screen.
  const int Right = WorkArea.left() + WorkArea.width();
  const int Bottom = WorkArea.top() + WorkArea.height();
  if (Point.x() + Size.width() > Right) Point.rx() -= Point.x() + Size.width() - Right;
  if (Point.y() + Size.height() > Bottom) Point.ry() -= Point.y() + Size.height() - Bottom;
  return Point;
}

TMiraToolTip::TLayout TMiraToolTip::Measure() const {
  TLayout L;
  const QString Text = ToDisplayText(FText);
  const QRect TextExtent =
      fontMetrics().boundingRect(QRect(0, 0, MaxTipWidth, 100000), Qt::TextWordWrap, Text);
  const bool HasClose = Balloon && ShowCloseButton;
  int Top = Margin;
  int Width = TextExtent.width();
  if (!FTitle.empty()) {
    const QFontMetrics TitleMetrics(TitleFont(font()));
    const int IconWidth = ICON == TTipIcon::ttNoneIcon ? 0 : IconSize + 6;
    const int LineHeight = std::max(IconSize, TitleMetrics.height());
    const int TitleWidth = TitleMetrics.horizontalAdvance(ToDisplayText(FTitle));
    if (IconWidth)
      L.IconRect = QRect(Margin, Top + (LineHeight - IconSize) / 2, IconSize, IconSize);
    L.TitleRect = QRect(Margin + IconWidth, Top, TitleWidth, LineHeight);
    Width = std::max(Width, IconWidth + TitleWidth + (HasClose ? CloseSize + 8 : 0));
    Top += LineHeight + 4;
  } else if (HasClose) {
    Width += CloseSize + 8;  // the close button sits beside the text
  }
  L.TextRect = QRect(Margin, Top, TextExtent.width(), TextExtent.height());
  L.Body = QSize(Width + 2 * Margin, Top + TextExtent.height() + Margin);
  return L;
}

QPainterPath TMiraToolTip::Outline(int BodyHeight, double Inset) const {
  const int BodyTop = FStemBelow ? 0 : StemHeight;
  QPainterPath Path;
  Path.addRoundedRect(QRectF(Inset, BodyTop + Inset, width() - 2 * Inset, BodyHeight - 2 * Inset),
                      CornerRadius, CornerRadius);
  // The stem reaches from the body to the tip point; it leans right unless
  // the tip is centred on the point.
  const double BaseY = FStemBelow ? BodyHeight - 2 : StemHeight + 2;
  const double TipY = FStemBelow ? height() - Inset : Inset;
  const double Left = CenterTip ? FStemX - StemWidth / 2.0 : FStemX;
  QPolygonF Stem;
  Stem << QPointF(Left, BaseY) << QPointF(FStemX, TipY) << QPointF(Left + StemWidth, BaseY)
       << QPointF(Left, BaseY);
  Path.addPolygon(Stem);
  return Path.simplified();
}

QRect TMiraToolTip::CloseButtonRect() const {
  const int BodyTop = Balloon && !FStemBelow ? StemHeight : 0;
  return QRect(width() - Margin - CloseSize + 2, BodyTop + Margin - 2, CloseSize, CloseSize);
}

void TMiraToolTip::ShowAt(int X, int Y) {
  Hide();
  const TLayout L = Measure();
  QPoint Point(X, Y);
  const QScreen* Screen = QGuiApplication::screenAt(Point);
  if (!Screen) Screen = QGuiApplication::primaryScreen();
  QRect Area;
  if (Screen) {
    Area = Screen->availableGeometry();
    Point = KeepOnWorkArea(Point, MarginExtent(), Area);
  }
  const int Width = L.Body.width();
  const int Height = L.Body.height() + (Balloon ? StemHeight : 0);
  QPoint TopLeft;
  if (Balloon) {
    FStemX = CenterTip ? Width / 2 : std::min(StemOffset, Width / 2);
    FStemBelow = !Area.isEmpty() && Point.y() + Height > Area.top() + Area.height();
    TopLeft = QPoint(Point.x() - FStemX, FStemBelow ? Point.y() - Height : Point.y());
  } else {
    FStemBelow = false;
    TopLeft = QPoint(CenterTip ? Point.x() - Width / 2 : Point.x(), Point.y());
  }
  setGeometry(QRect(TopLeft, QSize(Width, Height)));
  if (Balloon) {
    // The window's shape is the balloon's own.
    setMask(QRegion(Outline(L.Body.height(), 0).toFillPolygon().toPolygon()));
  } else {
    clearMask();
  }
  show();
  raise();
  FVisible = true;
  emit Shown();
  FHideTimer.stop();
  if (Interval > 0) FHideTimer.start(Interval);
}

void TMiraToolTip::Hide() {
  FHideTimer.stop();
  const bool WasVisible = FVisible;
  FVisible = false;
  hide();
  if (WasVisible) emit Hidden();
}

void TMiraToolTip::hideEvent(QHideEvent* Event) {
  QWidget::hideEvent(Event);
  // Hidden from outside (the window system): the tip counts as gone.
  if (FVisible) Hide();
}

void TMiraToolTip::mousePressEvent(QMouseEvent* Event) {
  if (Balloon && ShowCloseButton && CloseButtonRect().contains(Event->position().toPoint())) {
    Hide();
    return;
  }
  QWidget::mousePressEvent(Event);
}

void TMiraToolTip::paintEvent(QPaintEvent*) {
  QPainter P(this);
  const TLayout L = Measure();
  const int BodyTop = Balloon && !FStemBelow ? StemHeight : 0;
  if (Balloon) {
    P.setRenderHint(QPainter::Antialiasing);
    const QPainterPath Path = Outline(L.Body.height(), 0.5);
    P.fillPath(Path, InfoBackground);
    P.setPen(QPen(BalloonEdge, 1));
    P.drawPath(Path);
    P.setRenderHint(QPainter::Antialiasing, false);
  } else {
    P.fillRect(rect(), InfoBackground);
    P.setPen(Qt::black);
    P.drawRect(rect().adjusted(0, 0, -1, -1));
  }
  P.translate(0, BodyTop);
  if (!L.IconRect.isEmpty()) P.drawPixmap(L.IconRect, IconPixmap(ICON, style()));
  P.setPen(Qt::black);
  if (!L.TitleRect.isEmpty()) {
    P.setFont(TitleFont(font()));
    P.drawText(L.TitleRect, Qt::AlignLeft | Qt::AlignVCenter, ToDisplayText(FTitle));
    P.setFont(font());
  }
  P.drawText(L.TextRect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, ToDisplayText(FText));
  P.translate(0, -BodyTop);
  if (Balloon && ShowCloseButton) {
    const QRect Close = CloseButtonRect().adjusted(3, 3, -3, -3);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(QColor(90, 90, 90), 1.6));
    P.drawLine(Close.topLeft(), Close.bottomRight());
    P.drawLine(Close.topRight(), Close.bottomLeft());
  }
}

// ---------------------------------------------------------------------------
// The modal balloon

namespace {

bool LoopRunning = false;

// Ends the balloon's loop on what a user does elsewhere; the event itself is
// still delivered.
class TBalloonLoopEnder final : public QObject {
public:
  TBalloonLoopEnder(TMiraToolTip& Tip, QEventLoop& Loop) : FTip(Tip), FLoop(Loop) {}

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    switch (Event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::ApplicationStateChange:
    case QEvent::WindowDeactivate:
      End();
      break;
    case QEvent::Close:
      if (Watched->isWidgetType() && static_cast<QWidget*>(Watched)->isWindow()) End();
      break;
    default:
      break;
    }
    return false;
  }

private:
  void End() {
    FTip.Hide();
    FLoop.quit();
  }
  TMiraToolTip& FTip;
  QEventLoop& FLoop;
};

}  // namespace

bool BalloonLoopRunning() { return LoopRunning; }

void ShowBalloon(int X, int Y, const std::u16string& Text, uint32_t Flags, TTipIcon Icon,
                 int Interval, const std::u16string& Title) {
  TMiraToolTip* Tip = MiraToolTip();
  if (!Tip) return;
  if (TMiraHintAdaptor* Adaptor = MiraHintAdaptor(); Adaptor && Adaptor->IsShowing())
    Adaptor->RequestHide(true);
  Tip->Balloon = true;
  Tip->SetText(Text);
  Tip->SetTitle(Title);
  Tip->Interval = Interval;
  Tip->Absolute = (Flags & sbAbsolute) != 0;
  Tip->CenterTip = (Flags & sbCenterTip) != 0;
  Tip->CanHide = false;
  Tip->ICON = Icon;
  Tip->SetTransparent(false);
  Tip->ShowAt(X, Y);
  // A balloon asked for while one is up only moves it.
  if (LoopRunning) return;
  LoopRunning = true;
  {
    QEventLoop Loop;
    TBalloonLoopEnder Ender(*Tip, Loop);
    qApp->installEventFilter(&Ender);
    const QMetaObject::Connection Gone =
        QObject::connect(Tip, &TMiraToolTip::Hidden, &Loop, &QEventLoop::quit);
    if (Tip->Visible()) Loop.exec();
    QObject::disconnect(Gone);
    qApp->removeEventFilter(&Ender);
  }
  Tip->CanHide = true;
  LoopRunning = false;
  Tip->Hide();
}

void ShowBalloonAtWindow(QWidget* Window, const std::u16string& Text, const std::u16string& Title,
                         uint32_t Flags, TTipIcon Icon, int Interval) {
  if (!Window) return;
  const QRect Area(Window->mapToGlobal(QPoint(0, 0)), Window->size());
  // Right and bottom as the system counts them: one past the last pixel.
  const int Right = Area.left() + Area.width();
  const int Bottom = Area.top() + Area.height();
  ShowBalloon((Area.left() + Right) / 2, (Area.top() + Bottom) / 2, Text, Flags, Icon, Interval,
              Title);
}
