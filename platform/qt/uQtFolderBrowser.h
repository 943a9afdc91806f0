// The folder browser as a Qt dialog: a folder picker with a name box whose
// typed folder is checked before the dialog closes ("\"%s\" 是无效的路径" and
// the dialog stays open), centred on its screen. InstallFolderBrowser makes
// it the platform's folder browser (platform/uFolderBrowser.h).
// Threading: GUI thread.
#pragma once

#include <QFileDialog>
#include <string>

#include "platform/uFolderBrowser.h"

namespace platform::qt {

class TQtFolderDialog final : public QFileDialog {
public:
  TQtFolderDialog(QWidget* Parent, const TFolderBrowseRequest& Request);
  // The folder the dialog would return now: the typed name (relative to the
  // shown folder) or the selected folder.
  QString ChosenFolder() const;
  void accept() override;

protected:
  void showEvent(QShowEvent* Event) override;

private:
  QString TypedName() const;
  bool FValidate;
  std::u16string FCaption;
};

// The message for a typed name that is no folder.
std::u16string InvalidFolderText(const std::u16string& Name);

// The owner pointer of a request names a widget registered as a box owner
// or a top-level widget.
void InstallFolderBrowser();

}  // namespace platform::qt
