// Message boxes shown as Qt boxes on the GUI thread, for any thread that
// asks (platform/uMessageBox.h). A box asked on the GUI thread is modal and
// answered before MessageBox returns; a box asked by a worker opens without
// blocking the GUI thread (modal to its owner only), so several can be open
// at once, and each closes when platform::CloseMessageBox names its caption.
// Button texts are the system's Chinese ones.
//
// Threading: make, install and drop the answerer on the GUI thread; its
// BoxOpened and BoxClosed may be called on any thread. Owners are
// registered and looked up on the GUI thread.
#pragma once

#include <QMessageBox>
#include <map>
#include <memory>

#include "platform/uMessageBox.h"

class QWidget;

namespace platform::qt {

class TQtMessageBoxAnswerer final : public IMessageBoxAnswerer {
public:
  TQtMessageBoxAnswerer();
  ~TQtMessageBoxAnswerer() override;

  void BoxOpened(const TMessageBoxPtr& Box) override;
  void BoxClosed(const TMessageBoxPtr& Box) override;

  // The Qt box showing Box, null when none is (GUI thread).
  QMessageBox* DialogOf(const TMessageBoxRequest* Box) const;

  struct TState;

private:
  std::shared_ptr<TState> FState;
};

// The widget that stands for an owner pointer handed to MessageBox (the main
// window registers itself under its message-target pointer). GUI thread.
void RegisterBoxOwner(const void* Owner, QWidget* Widget);
void UnregisterBoxOwner(const void* Owner);
// The registered widget of Owner, or Owner itself when it is a top-level
// widget; null otherwise.
QWidget* BoxOwnerWidget(const void* Owner);

// The answer a box's clicked button gives (IDOK, IDYES, ...); 0 for none.
int AnswerOfButton(QMessageBox::StandardButton Button);

}  // namespace platform::qt
