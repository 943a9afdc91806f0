// The add-files dialog: Qt's file dialog behind the open dialog's data - the
// filter text as description and pattern pairs separated by "|", the
// chosen paths as wide strings in Files (any character a file name may
// hold), FileName, FilterIndex (1-based) and the options. The dialog opens
// centred on its screen.
// Threading: GUI thread. Ownership: the dialog object owns Files; its
// owner (the main window) owns the dialog object.
#pragma once

#include <QString>
#include <QStringList>
#include <set>
#include <string>
#include <vector>

#include "text/uTextReader.h"

class QWidget;

enum class TOpenOption : uint8_t {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing,
  ofDontAddToRecent,
  ofForceShowHidden,
};
using TOpenOptions = std::set<TOpenOption>;

enum class TOpenOptionEx : uint8_t { ofExNoPlacesBar };
using TOpenOptionsEx = std::set<TOpenOptionEx>;

// One description with its patterns ("*.a;*.b" split at ";").
struct TFileFilter {
  QString Description;
  QStringList Patterns;
};

// The pairs of a filter text; a description without patterns is dropped.
std::vector<TFileFilter> ParseFilter(const std::u16string& Filter);
// Qt's name filters for a filter text: "description (pattern pattern)".
QStringList QtNameFilters(const std::u16string& Filter);
// The paths of a multi-selection: a folder, then file names in it (a
// delimiter is added to the folder unless it ends with one); a name that is
// a full path stays as it is; the folder alone stands for itself.
std::vector<std::u16string> CollectPaths(const std::vector<std::u16string>& Items);

class TMiraCommDialog {
public:
  virtual ~TMiraCommDialog() = default;
  // The parent is the application's active window.
  virtual bool Execute();
  virtual bool Execute(QWidget* ParentWnd) = 0;

  TWideStringList Files;
};

class TMiraOpenDialog final : public TMiraCommDialog {
public:
  using TMiraCommDialog::Execute;
  // True when the user confirmed; then Files and FileName hold the choice.
  // A cancel leaves Files empty and FileName, Options and FilterIndex as
  // they were.
  bool Execute(QWidget* ParentWnd) override;

  std::u16string FileName;
  std::u16string InitialDir;
  std::u16string Title;
  TOpenOptions Options{TOpenOption::ofHideReadOnly, TOpenOption::ofEnableSizing};
  TOpenOptionsEx OptionsEx;
  std::u16string Filter;
  int FilterIndex = 1;
  std::u16string DefaultExt;

private:
  bool Has(TOpenOption Option) const { return Options.count(Option) != 0; }
};
