#include "platform/qt/uQtFolderBrowser.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "platform/qt/uQtCentre.h"
#include "platform/qt/uQtMessageBox.h"
#include "platform/qt/uQtText.h"
#include "platform/uMessageBox.h"

namespace platform::qt {

std::u16string InvalidFolderText(const std::u16string& Name) {
  return ToWide(
      QCoreApplication::translate("FolderBrowser", "\"%1\" 是无效的路径").arg(ToQString(Name)));
}

TQtFolderDialog::TQtFolderDialog(QWidget* Parent, const TFolderBrowseRequest& Request)
    : QFileDialog(Parent, ToQString(Request.Caption)),
      FValidate((Request.Options & BIF_VALIDATE) != 0), FCaption(Request.Caption) {
  // Qt's own dialog on every desktop: the name box and its check are ours.
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  if (!Request.Directory.empty())
    setDirectory(ToQString(Request.Directory));
  else if (!Request.Root.empty())
    setDirectory(ToQString(Request.Root));
}

QString TQtFolderDialog::TypedName() const {
  auto* Edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  return Edit ? Edit->text().trimmed() : QString();
}

QString TQtFolderDialog::ChosenFolder() const {
  const QString Typed = TypedName();
  if (!Typed.isEmpty())
    return QDir::cleanPath(directory().absoluteFilePath(QDir::fromNativeSeparators(Typed)));
  return directory().absolutePath();
}

void TQtFolderDialog::accept() {
  if (FValidate && !QFileInfo(ChosenFolder()).isDir()) {
    const QString Shown = TypedName().isEmpty() ? ChosenFolder() : TypedName();
    MessageBoxW(this, InvalidFolderText(ToWide(Shown)), FCaption, MB_OK | MB_ICONERROR);
    return;  // the picker stays open
  }
  // Qt's own acceptance takes the typed name or the selection.
  QFileDialog::accept();
}

void TQtFolderDialog::showEvent(QShowEvent* Event) {
  QFileDialog::showEvent(Event);
  CentreOnScreenOf(this, parentWidget() ? parentWidget()->window() : nullptr);
}

void InstallFolderBrowser() {
  SetFolderBrowser([](const TFolderBrowseRequest& Request, std::u16string& Chosen) {
    QWidget* Owner = BoxOwnerWidget(Request.Owner);
    TQtFolderDialog Dialog(Owner ? Owner : QApplication::activeWindow(), Request);
    if (Dialog.exec() != QDialog::Accepted) return false;
    const QStringList Files = Dialog.selectedFiles();
    if (Files.isEmpty()) return false;
    Chosen = ToWide(QDir::toNativeSeparators(Files.first()));
    return true;
  });
}

}  // namespace platform::qt
