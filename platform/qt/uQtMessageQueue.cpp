#include "platform/qt/uQtMessageQueue.h"

#include <QObject>
#include <atomic>
#include <exception>

#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"

namespace platform::qt {

namespace {

// Lives on the GUI thread for the rest of the process: queued calls to it
// run the platform's queue, and a wake-up still on its way when the binding
// ends must find it.
QObject* Context = nullptr;
std::atomic<bool> Bound{false};
// One wake-up is enough while a run of the queue is pending: a burst of
// progress messages then costs one Qt event, not one each.
std::atomic<bool> Scheduled{false};
std::u16string Caption;

void Wake() {
  if (Scheduled.exchange(true)) return;
  QMetaObject::invokeMethod(
      Context,
      [] {
        // Cleared first: whatever is queued while the queue runs wakes again.
        Scheduled = false;
        if (Bound) ProcessMessages();
      },
      Qt::QueuedConnection);
}

// The error's text in an error box (through the installed answerer, which
// shows it as a Qt box on this thread).
void ShowError(std::exception_ptr Error) {
  std::u16string Text;
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    Text = Utf8ToWide(E.what());
  } catch (...) {
    Text = u"unknown error";
  }
  MessageBoxW(nullptr, Text, Caption, MB_OK | MB_ICONERROR);
}

}  // namespace

void BindMessageQueue(const QString& ErrorCaption) {
  RegisterMainThread();
  Caption = ToWide(ErrorCaption);
  if (!Context) Context = new QObject;
  Bound = true;
  SetWakeHandler(Wake);
  SetUnhandledErrorHandler(ShowError);
  // Whatever was queued before the binding is served too.
  Wake();
}

void UnbindMessageQueue() {
  Bound = false;
  SetWakeHandler(nullptr);
  SetUnhandledErrorHandler(nullptr);
}

}  // namespace platform::qt
