#include "widgets/uMiraDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "infra/uLxFileUtils.h"
#include "platform/qt/uQtCentre.h"
#include "platform/qt/uQtText.h"

using platform::qt::ToQString;
using platform::qt::ToWide;

namespace {

// Qt's own dialog on every desktop, so that the filter, the selection and
// the centring behave the same everywhere.
class TCentredFileDialog final : public QFileDialog {
public:
  using QFileDialog::QFileDialog;

protected:
  void showEvent(QShowEvent* Event) override {
    QFileDialog::showEvent(Event);
    platform::qt::CentreOnScreenOf(this, parentWidget() ? parentWidget()->window() : nullptr);
  }
};

bool EndsWithDelimiter(const std::u16string& Name) {
  return !Name.empty() && (Name.back() == u'\\' || Name.back() == u'/' || Name.back() == u':');
}

bool IsFullPath(const std::u16string& Item) {
  return !Item.empty() && (Item.front() == u'/' || Item.front() == u'\\');
}

// The dialog names its filter with or without the patterns it hides.
int SelectedFilterIndex(const QString& Selected, const QStringList& NameFilters) {
  for (qsizetype I = 0; I < NameFilters.size(); ++I) {
    const QString& Filter = NameFilters[I];
    if (Filter == Selected || Filter.left(Filter.lastIndexOf(QStringLiteral(" ("))) == Selected)
      return static_cast<int>(I);
  }
  return -1;
}

}  // namespace

std::vector<TFileFilter> ParseFilter(const std::u16string& Filter) {
  const QStringList Parts = ToQString(Filter).split(QLatin1Char('|'));
  std::vector<TFileFilter> Pairs;
  for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
    TFileFilter Pair{Parts[I], Parts[I + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)};
    if (!Pair.Description.isEmpty() && !Pair.Patterns.isEmpty()) Pairs.push_back(Pair);
  }
  return Pairs;
}

QStringList QtNameFilters(const std::u16string& Filter) {
  QStringList Result;
  for (const TFileFilter& Pair : ParseFilter(Filter))
    Result << Pair.Description + QStringLiteral(" (") + Pair.Patterns.join(QLatin1Char(' ')) +
                  QLatin1Char(')');
  return Result;
}

std::vector<std::u16string> CollectPaths(const std::vector<std::u16string>& Items) {
  if (Items.empty()) return {};
  if (Items.size() == 1) return {Items.front()};
  std::u16string Folder = Items.front();
  if (!EndsWithDelimiter(Folder)) Folder += u'/';
  std::vector<std::u16string> Paths;
  for (size_t I = 1; I < Items.size(); ++I)
    Paths.push_back(IsFullPath(Items[I]) ? Items[I] : Folder + Items[I]);
  return Paths;
}

bool TMiraCommDialog::Execute() { return Execute(QApplication::activeWindow()); }

bool TMiraOpenDialog::Execute(QWidget* ParentWnd) {
  Files.Clear();
  TCentredFileDialog Dialog(ParentWnd, ToQString(Title));
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(Has(TOpenOption::ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                     : Has(TOpenOption::ofFileMustExist)  ? QFileDialog::ExistingFile
                                                          : QFileDialog::AnyFile);
  Dialog.setSizeGripEnabled(Has(TOpenOption::ofEnableSizing));
  Dialog.setOption(QFileDialog::DontResolveSymlinks, Has(TOpenOption::ofNoDereferenceLinks));
  if (Has(TOpenOption::ofForceShowHidden))
    Dialog.setFilter(Dialog.filter() | QDir::Hidden | QDir::System);
  // The descriptions carry their patterns already; Qt's copy stays hidden.
  Dialog.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList NameFilters = QtNameFilters(Filter);
  if (!NameFilters.isEmpty()) {
    Dialog.setNameFilters(NameFilters);
    if (FilterIndex >= 1 && FilterIndex <= NameFilters.size())
      Dialog.selectNameFilter(NameFilters[FilterIndex - 1]);
  }
  if (!InitialDir.empty()) Dialog.setDirectory(ToQString(InitialDir));
  if (!FileName.empty() && !EndsWithDelimiter(FileName)) Dialog.selectFile(ToQString(FileName));
  if (!DefaultExt.empty())
    Dialog.setDefaultSuffix(ToQString(DefaultExt).remove(0, DefaultExt.front() == u'.' ? 1 : 0));

  if (Dialog.exec() != QDialog::Accepted) return false;

  const QStringList Selected = Dialog.selectedFiles();
  if (Selected.isEmpty()) return false;
  std::vector<std::u16string> Chosen;
  if (Has(TOpenOption::ofAllowMultiSelect)) {
    // As the dialog hands a multi-selection over: its folder, then the
    // names in it.
    const QString Folder = Dialog.directory().absolutePath();
    std::vector<std::u16string> Items{ToWide(Folder)};
    for (const QString& File : Selected) {
      const QFileInfo Info(File);
      Items.push_back(
          ToWide(Info.absolutePath() == Folder ? Info.fileName() : Info.absoluteFilePath()));
    }
    if (Items.size() == 2 && Selected.size() == 1)
      Items = {ToWide(QFileInfo(Selected.first()).absoluteFilePath())};
    Chosen = CollectPaths(Items);
  } else {
    Chosen = {ToWide(QFileInfo(Selected.first()).absoluteFilePath())};
  }
  for (const std::u16string& Path : Chosen)
    Files.Add(Path);
  FileName = Files.Get(0);

  Options.erase(TOpenOption::ofReadOnly);  // no read-only box to tick
  const bool ExtensionDiffers =
      !DefaultExt.empty() &&
      WideLowerAscii(WideExtractFileExt(FileName)) !=
          WideLowerAscii(DefaultExt.front() == u'.' ? DefaultExt : u"." + DefaultExt);
  if (ExtensionDiffers)
    Options.insert(TOpenOption::ofExtensionDifferent);
  else
    Options.erase(TOpenOption::ofExtensionDifferent);
  if (const int Index = SelectedFilterIndex(Dialog.selectedNameFilter(), NameFilters); Index >= 0)
    FilterIndex = Index + 1;
  return true;
}
