// Keeps a pop-up control open while the cursor is over it, and closes it
// when the focus moves, the application's activation changes, a mouse
// button is pressed outside it, or a hint path asks (RequestHide). Closing
// hides the control, tells OnHide and frees the control.
// Threading: GUI thread. Ownership: the adaptor owns the control it keeps.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

class TMiraHintAdaptor final : public QObject {
public:
  TMiraHintAdaptor();
  ~TMiraHintAdaptor() override;

  // Takes Control over (any one kept before is closed first).
  void Keep(QWidget* Control);
  // A control is kept and visible.
  bool IsShowing() const;
  // Track false: close at once; true: close once the cursor has left the
  // control. Both happen from the event loop, not inside the call.
  void RequestHide(bool Track);
  void Hide();

  std::function<void(QWidget* Control)> FOnHide;

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  bool HoldsLiveControl() const { return FControl && FControl->isVisible(); }
  void CheckCursor();

  QPointer<QWidget> FControl;
  QTimer FTimer;
};
