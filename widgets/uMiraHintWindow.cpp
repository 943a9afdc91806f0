#include "widgets/uMiraHintWindow.h"

#include <QApplication>
#include <QHelpEvent>
#include <QWidget>

#include "infra/uLxLog.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "widgets/uMiraHintAdaptor.h"
#include "widgets/uMiraToolTip.h"

namespace {

TMiraToolTip* SharedTip = nullptr;
TMiraHintAdaptor* SharedAdaptor = nullptr;
TMiraHintWindow* SharedHintWindow = nullptr;

// The hint shows below the cursor, as the system places hints.
constexpr int CursorHeight = 20;

bool EndsHint(QEvent::Type Type) {
  return Type == QEvent::MouseButtonPress || Type == QEvent::MouseButtonDblClick ||
         Type == QEvent::KeyPress || Type == QEvent::Wheel || Type == QEvent::Leave ||
         Type == QEvent::WindowDeactivate;
}

}  // namespace

std::u16string DecodeHintText(const std::string& Hint) {
  static const std::string Bom = "\xEF\xBB\xBF";
  if (Hint.compare(0, Bom.size(), Bom) == 0)
    return platform::Utf8ToWide(std::string_view(Hint).substr(Bom.size()));
  return platform::AnsiToWide(Hint);
}

TMiraHintWindow::TMiraHintWindow() = default;

void TMiraHintWindow::ActivateHint(const QRect& Rect, const std::string& Hint) {
  TMiraToolTip* Tip = SharedTip;
  if (!Tip) return;
  if (SharedAdaptor && SharedAdaptor->IsShowing()) SharedAdaptor->RequestHide(false);
  const std::u16string Text = DecodeHintText(Hint);
  // Asked again for the hint already shown: no flicker.
  if (Rect.left() == FLastX && Rect.top() == FLastY && Tip->Visible() && Tip->Text() == Text)
    return;
  Tip->SetText(Text);
  Tip->Interval = FInterval;
  Tip->Balloon = FBalloon;
  Tip->Absolute = FAbsolute;
  Tip->CenterTip = FCenterTip;
  Tip->SetTitle(FTitle);
  Tip->SetTransparent(FTransparent);
  FLastX = Rect.left();
  FLastY = Rect.top();
  Tip->ShowAt(Rect.left(), Rect.top());
}

bool TMiraHintWindow::ShouldHideHint() const { return !SharedTip || SharedTip->CanHide; }

bool TMiraHintWindow::eventFilter(QObject* Watched, QEvent* Event) {
  if (Event->type() == QEvent::ToolTip && Watched->isWidgetType()) {
    auto* Widget = static_cast<QWidget*>(Watched);
    const QString Hint = Widget->toolTip();
    if (Hint.isEmpty()) return false;
    const QPoint At = static_cast<QHelpEvent*>(Event)->globalPos() + QPoint(0, CursorHeight);
    ActivateHint(QRect(At, QSize(1, 1)), "\xEF\xBB\xBF" + Hint.toStdString());
    return true;  // instead of Qt's own tip
  }
  if (SharedTip && SharedTip->Visible() && EndsHint(Event->type()) && Watched != SharedTip &&
      ShouldHideHint())
    SharedTip->Hide();
  return false;
}

TMiraToolTip* MiraToolTip() { return SharedTip; }
TMiraHintAdaptor* MiraHintAdaptor() { return SharedAdaptor; }
TMiraHintWindow* MiraHintWindow() { return SharedHintWindow; }

TUnitLifetime MiraHintWindowUnit() {
  return {"uMiraHintWindow",
          [] {
            SharedTip = new TMiraToolTip;
            SharedAdaptor = new TMiraHintAdaptor;
            SharedHintWindow = new TMiraHintWindow;
            qApp->installEventFilter(SharedHintWindow);
          },
          [] {
            WriteLog(u"uMiraHintWindow Finalization");
            try {
              if (qApp && SharedHintWindow) qApp->removeEventFilter(SharedHintWindow);
              delete SharedHintWindow;
              SharedHintWindow = nullptr;
              delete SharedTip;
              SharedTip = nullptr;
              delete SharedAdaptor;
              SharedAdaptor = nullptr;
            } catch (...) {
              WriteLog(u"uMiraHintWindow Finalization Failed");
            }
          }};
}
