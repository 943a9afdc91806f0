#include "platform/qt/uQtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <map>

#include "platform/qt/uQtText.h"

namespace platform::qt {

struct TQtMessageBoxAnswerer::TState {
  // The Qt boxes open now, by their requests (GUI thread only).
  std::map<const TMessageBoxRequest*, QPointer<QMessageBox>> Dialogs;
};

namespace {

std::map<const void*, QPointer<QWidget>>& Owners() {
  static std::map<const void*, QPointer<QWidget>> Map;
  return Map;
}

bool OnGuiThread() { return QThread::currentThread() == qApp->thread(); }

QMessageBox::Icon IconOf(uint32_t Flags) {
  switch (Flags & 0xF0) {
  case MB_ICONERROR:
    return QMessageBox::Critical;
  case MB_ICONQUESTION:
    return QMessageBox::Question;
  case MB_ICONWARNING:
    return QMessageBox::Warning;
  case MB_ICONINFORMATION:
    return QMessageBox::Information;
  default:
    return QMessageBox::NoIcon;
  }
}

// The buttons of Flags, the first one the default.
std::vector<QMessageBox::StandardButton> ButtonsOf(uint32_t Flags) {
  switch (Flags & 0x0F) {
  case MB_OKCANCEL:
    return {QMessageBox::Ok, QMessageBox::Cancel};
  case MB_ABORTRETRYIGNORE:
    return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
  case MB_YESNOCANCEL:
    return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
  case MB_YESNO:
    return {QMessageBox::Yes, QMessageBox::No};
  case MB_RETRYCANCEL:
    return {QMessageBox::Retry, QMessageBox::Cancel};
  default:
    return {QMessageBox::Ok};
  }
}

QString ButtonText(QMessageBox::StandardButton Button) {
  switch (Button) {
  case QMessageBox::Ok:
    return QCoreApplication::translate("MessageBox", "确定");
  case QMessageBox::Cancel:
    return QCoreApplication::translate("MessageBox", "取消");
  case QMessageBox::Abort:
    return QCoreApplication::translate("MessageBox", "中止(&A)");
  case QMessageBox::Retry:
    return QCoreApplication::translate("MessageBox", "重试(&R)");
  case QMessageBox::Ignore:
    return QCoreApplication::translate("MessageBox", "忽略(&I)");
  case QMessageBox::Yes:
    return QCoreApplication::translate("MessageBox", "是(&Y)");
  case QMessageBox::No:
    return QCoreApplication::translate("MessageBox", "否(&N)");
  default:
    return {};
  }
}

// An owner is a registered window, another open box (a question asked over
// the quit question), or a top-level widget itself; anything else has none.
QWidget* ResolveOwner(const void* Owner, const TQtMessageBoxAnswerer::TState& State) {
  if (!Owner) return nullptr;
  for (const auto& [Request, Dialog] : State.Dialogs)
    if (Request == Owner) return Dialog.data();
  return BoxOwnerWidget(Owner);
}

QMessageBox* MakeDialog(const TMessageBoxRequest& Box, QWidget* Parent) {
  auto* Dialog = new QMessageBox(IconOf(Box.Flags()), ToQString(Box.Caption()),
                                 ToDisplayText(Box.Text()), QMessageBox::NoButton, Parent);
  const auto Buttons = ButtonsOf(Box.Flags());
  for (QMessageBox::StandardButton Button : Buttons)
    Dialog->addButton(Button)->setText(ButtonText(Button));
  Dialog->setDefaultButton(Buttons.front());
  return Dialog;
}

int AnswerOf(QMessageBox& Dialog) {
  QAbstractButton* Clicked = Dialog.clickedButton();
  return Clicked ? AnswerOfButton(Dialog.standardButton(Clicked)) : 0;
}

// On the GUI thread, for a box asked there: modal, answered on return.
void ShowModal(const TMessageBoxPtr& Box, TQtMessageBoxAnswerer::TState& State) {
  if (Box->Answered()) return;
  QMessageBox* Dialog = MakeDialog(*Box, ResolveOwner(Box->Owner(), State));
  State.Dialogs[Box.get()] = Dialog;
  Dialog->exec();
  State.Dialogs.erase(Box.get());
  Box->Answer(AnswerOf(*Dialog));
  delete Dialog;
}

// On the GUI thread, for a box asked by a worker: the worker waits, the
// GUI thread goes on.
void ShowModeless(const TMessageBoxPtr& Box,
                  const std::weak_ptr<TQtMessageBoxAnswerer::TState>& Weak) {
  auto State = Weak.lock();
  if (!State) {
    Box->Answer(0);  // the answerer is gone: nobody will show it
    return;
  }
  if (Box->Answered()) return;
  QMessageBox* Dialog = MakeDialog(*Box, ResolveOwner(Box->Owner(), *State));
  Dialog->setAttribute(Qt::WA_DeleteOnClose);
  State->Dialogs[Box.get()] = Dialog;
  QObject::connect(Dialog, &QDialog::finished, Dialog, [Box, Weak, Dialog](int) {
    Box->Answer(AnswerOf(*Dialog));
    if (auto Alive = Weak.lock()) Alive->Dialogs.erase(Box.get());
  });
  Dialog->open();
}

}  // namespace

int AnswerOfButton(QMessageBox::StandardButton Button) {
  switch (Button) {
  case QMessageBox::Ok:
    return IDOK;
  case QMessageBox::Cancel:
    return IDCANCEL;
  case QMessageBox::Abort:
    return IDABORT;
  case QMessageBox::Retry:
    return IDRETRY;
  case QMessageBox::Ignore:
    return IDIGNORE;
  case QMessageBox::Yes:
    return IDYES;
  case QMessageBox::No:
    return IDNO;
  default:
    return 0;
  }
}

TQtMessageBoxAnswerer::TQtMessageBoxAnswerer() : FState(std::make_shared<TState>()) {}

TQtMessageBoxAnswerer::~TQtMessageBoxAnswerer() = default;

void TQtMessageBoxAnswerer::BoxOpened(const TMessageBoxPtr& Box) {
  if (OnGuiThread()) {
    ShowModal(Box, *FState);
    return;
  }
  std::weak_ptr<TState> Weak = FState;
  QMetaObject::invokeMethod(
      qApp, [Box, Weak] { ShowModeless(Box, Weak); }, Qt::QueuedConnection);
}

void TQtMessageBoxAnswerer::BoxClosed(const TMessageBoxPtr& Box) {
  std::weak_ptr<TState> Weak = FState;
  auto Close = [Box, Weak] {
    auto State = Weak.lock();
    if (!State) return;
    if (auto It = State->Dialogs.find(Box.get()); It != State->Dialogs.end() && It->second)
      It->second->done(0);
  };
  if (OnGuiThread())
    Close();
  else
    QMetaObject::invokeMethod(qApp, Close, Qt::QueuedConnection);
}

QMessageBox* TQtMessageBoxAnswerer::DialogOf(const TMessageBoxRequest* Box) const {
  auto It = FState->Dialogs.find(Box);
  return It == FState->Dialogs.end() ? nullptr : It->second.data();
}

void RegisterBoxOwner(const void* Owner, QWidget* Widget) { Owners()[Owner] = Widget; }

void UnregisterBoxOwner(const void* Owner) { Owners().erase(Owner); }

QWidget* BoxOwnerWidget(const void* Owner) {
  if (!Owner) return nullptr;
  if (auto It = Owners().find(Owner); It != Owners().end()) return It->second.data();
  // Compared as pointers only: Owner may be anything.
  for (QWidget* Window : QApplication::topLevelWidgets())
    if (Window == Owner) return Window;
  return nullptr;
}

}  // namespace platform::qt
