// The platform's main-thread message queue served by Qt's event loop: every
// PostMessage, SendMessage and Synchronize from a worker wakes the GUI
// thread, which handles the queue from its event loop - also from the
// nested loops of modal dialogs, so a worker is never left waiting while a
// box is open. Exceptions that escape a posted message's handler are shown
// in an error box, as a toolkit's default error handling would.
// Threading: Bind and Unbind on the GUI thread (the process's main thread,
// which they register), after the QApplication exists and before it goes.
#pragma once

#include <QString>

namespace platform::qt {

void BindMessageQueue(const QString& ErrorCaption);
void UnbindMessageQueue();

}  // namespace platform::qt
