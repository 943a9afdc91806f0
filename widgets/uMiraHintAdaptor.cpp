#include "widgets/uMiraHintAdaptor.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>

namespace {

constexpr int TrackIntervalMs = 200;

bool IsButtonPress(QEvent::Type Type) {
  return Type == QEvent::MouseButtonPress || Type == QEvent::MouseButtonDblClick ||
         Type == QEvent::NonClientAreaMouseButtonPress ||
         Type == QEvent::NonClientAreaMouseButtonDblClick;
}

}  // namespace

TMiraHintAdaptor::TMiraHintAdaptor() {
  FTimer.setInterval(0);
  connect(&FTimer, &QTimer::timeout, this, [this] { CheckCursor(); });
  qApp->installEventFilter(this);
}

TMiraHintAdaptor::~TMiraHintAdaptor() {
  Hide();
  if (qApp) qApp->removeEventFilter(this);
}

void TMiraHintAdaptor::Keep(QWidget* Control) {
  if (FControl && FControl != Control) Hide();
  FControl = Control;
}

bool TMiraHintAdaptor::IsShowing() const { return HoldsLiveControl(); }

void TMiraHintAdaptor::RequestHide(bool Track) {
  FTimer.stop();
  QMetaObject::invokeMethod(
      this,
      [this, Track] {
        if (!HoldsLiveControl()) return;
        if (Track)
          FTimer.start(TrackIntervalMs);
        else
          Hide();
      },
      Qt::QueuedConnection);
}

void TMiraHintAdaptor::CheckCursor() {
  if (FControl && FControl->rect().contains(FControl->mapFromGlobal(QCursor::pos()))) return;
  FTimer.stop();
  Hide();
}

void TMiraHintAdaptor::Hide() {
  FTimer.stop();
  QWidget* Control = FControl;
  FControl = nullptr;
  if (!Control) return;
  Control->hide();
  if (FOnHide) FOnHide(Control);
  Control->deleteLater();
}

bool TMiraHintAdaptor::eventFilter(QObject* Watched, QEvent* Event) {
  if (!HoldsLiveControl()) return false;
  const QEvent::Type Type = Event->type();
  if (Type == QEvent::FocusIn || Type == QEvent::FocusOut ||
      Type == QEvent::ApplicationStateChange || Type == QEvent::WindowDeactivate) {
    Hide();
  } else if (IsButtonPress(Type) && Watched->isWidgetType()) {
    const QPoint Global = static_cast<QMouseEvent*>(Event)->globalPosition().toPoint();
    const QRect Area(FControl->mapToGlobal(QPoint(0, 0)), FControl->size());
    if (!Area.contains(Global)) Hide();
  }
  return false;
}
