// Sources and the target settings panel: the hand-over and the command
// line's source, files by dialog, drop, folder and CD, the format buttons,
// the quality list, the priority and policy boxes and the target folder.
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "app/forms/uFileListView.h"
#include "app/forms/ufrmMain.h"
#include "app/uCdDrives.h"
#include "app/uQualityChoice.h"
#include "app/uSourceAdding.h"
#include "app/uTargetFolder.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "params/forms/ufrmParam.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "platform/uFolderBrowser.h"
#include "platform/uMessageBox.h"
#include "widgets/uMiraDialogs.h"
#include "widgets/ufrmDlg.h"

using platform::qt::ToQString;
using platform::qt::WideText;

// The add-files dialog's filter (names and patterns), translated as one text.
const char* const SourceFilter = QT_TRANSLATE_NOOP(
    "TfrmMain",
    "所有音频文件|*.LXM;*.MP1;*.MP2;*.MP3;*.WMA;*.WAV;*.OGG;*.MP4;*.M4A;*.AAC;*.AA;*.APE;*.M3U;*."
    "FLAC;*.FLA;*.CUE;"
    "*.CDA;*.ZRC;*.MPC;*.MP+;*.AIF;*.AIFC;*.AIFF;*.MID;*.MIDI;*.RMI;*.SND;*.AU;*.AC3;*.A52;*.DTS;*"
    ".DTSWAV;|"
    "所有文件|*.*|AAC音乐文件(*.aac;*.aa)|*.aac;*.aa|AC3音乐文件(*.ac3;*.a52)|*.ac3;*.a52|"
    "AIFF音乐文件(*.aif;*.aifc;*.aiff)|*.aif;*.aifc;*.aiff|APE无损音频文件(*.ape)|*.ape|"
    "AU音乐文件(*.au;*.snd)|*.au;*.snd|CUE音频索引文件(*.cue)|*.cue|CD音轨文件(*.cda)|*.cda|"
    "DTS音乐文件(*.dts;*.dtswav)|*.dts;*.dtswav|FLAC无损音频文件(*.flac;*.fla)|*.flac;*.fla|"
    "LXM音乐文件(*.lxm)|*.lxm|ZRC动感歌词文件(*.zrc)|*.zrc|MIDI文件(*.mid;*.midi;*.rmi)|*.mid;*."
    "midi;*.rmi|"
    "MP3音乐文件(*.mp3)|*.mp3|MP4音乐文件(*.m4a;*.mp4)|*.m4a;*.mp4|Musepack音乐文件(*.mpc;*.mp+)|*"
    ".mpc;*.mp+|"
    "OGG音乐文件(*.ogg)|*.ogg|Wave音乐文件(*.wav)|*.wav|Window Media音乐文件(*.wma)|*.wma|");

void TfrmMain::AddSources(const std::vector<std::u16string>& Paths, int Mode) {
  if (!FManager) return;
  ClearSortMarks();
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(GetTargetExt());
  Adder.AddSources(Paths, Mode);
}

void TfrmMain::AddFolder(const std::u16string& Folder) {
  if (!FManager) return;
  ClearSortMarks();
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(GetTargetExt());
  Adder.AddFolder(Folder);
}

void TfrmMain::btnAddFileClick() {
  if (IsRunning() || !FOpenDialog) return;
  if (!FOpenDialog->Execute(this)) return;
  std::vector<std::u16string> Paths;
  Paths.reserve(static_cast<size_t>(FOpenDialog->Files.Count()));
  for (int32_t I = 0; I < FOpenDialog->Files.Count(); ++I)
    Paths.push_back(FOpenDialog->Files.Get(I));
  try {
    AddSources(Paths, TSourceAdder::ModeUser);
  } catch (const std::exception& E) {
    ShowError(E);
  }
}

// ---------------------------------------------------------------------------
// Dropped files

std::vector<std::u16string> TfrmMain::DroppedSources(const std::vector<std::u16string>& Paths) {
  std::vector<std::u16string> Kept;
  // Folders are not entered, whatever their names end with.
  for (const std::u16string& Path : Paths)
    if (!WideDirectoryExists(Path) && PassesExtensionList(Path)) Kept.push_back(Path);
  return Kept;
}

void TfrmMain::DropFiles(const std::vector<std::u16string>& Paths) {
  const std::vector<std::u16string> Kept = DroppedSources(Paths);
  if (FTipDialog && FTipDialog->isVisible()) FTipDialog->CloseForm();
  try {
    AddSources(Kept, TSourceAdder::ModeUser);
  } catch (const std::exception& E) {
    ShowError(E);
  }
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* Event) {
  if (Event->mimeData()->hasUrls()) Event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* Event) {
  std::vector<std::u16string> Paths;
  for (const QUrl& Url : Event->mimeData()->urls())
    if (Url.isLocalFile()) Paths.push_back(platform::qt::ToWide(Url.toLocalFile()));
  Event->acceptProposedAction();
  DropFiles(Paths);
}

// ---------------------------------------------------------------------------
// The CD menu

void TfrmMain::btnGetCDClick() {
  if (IsRunning()) return;
  pmGetCD->popup(btnGetCD->mapToGlobal(QPoint(0, btnGetCD->height())));
}

void TfrmMain::mmReadCDRomExecute() {
  if (!FManager) return;
  ClearSortMarks();
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(GetTargetExt());
  try {
    ReadCdDrives(Adder);
  } catch (const std::exception& E) {
    ShowError(E);
  }
}

void TfrmMain::mmOpenCDRomExecute() { EjectCdDrives(); }

std::u16string TfrmMain::GetTargetExt() const {
  if (rbMP3->isChecked()) return u".mp3";
  if (rbAPE->isChecked()) return u".ape";
  if (rbwav->isChecked()) return u".wav";
  if (rbFlac->isChecked()) return u".flac";
  return {};
}

void TfrmMain::InitSettingsPanel() {
  const TParamManager& Params = *FManager->FParamManager;
  const std::pair<QRadioButton*, bool> Formats[] = {{rbFlac, Params.FFlacAvailable},
                                                    {rbAPE, Params.FApeAvailable},
                                                    {rbwav, Params.FWavAvailable},
                                                    {rbMP3, Params.FMp3Available}};
  for (const auto& [Button, Available] : Formats) {
    if (Available) continue;
    Button->setChecked(false);
    Button->setEnabled(false);
  }
  // The first format there is, in the order MP3, APE, WAV, FLAC.
  for (QRadioButton* Button : {rbMP3, rbAPE, rbwav, rbFlac}) {
    if (!Button->isEnabled()) continue;
    if (Button->isChecked())
      FormatChanged();
    else
      Button->setChecked(true);  // runs the format change
    break;
  }
  if (GetTargetExt().empty()) FillQualityList({});
  cbbTaskPriority->clear();
  for (const std::u16string& Name : FManager->FPriorityNames)
    cbbTaskPriority->addItem(ToQString(Name));
  cbbTaskPriority->setCurrentIndex(0);
  cbbFileExist->clear();
  for (const std::u16string& Name : FManager->FExistPolicyNames)
    cbbFileExist->addItem(ToQString(Name));
  cbbFileExist->setCurrentIndex(1);
  edtPath->setText(ToQString(FManager->DestPath()));
}

void TfrmMain::FormatChanged() {
  if (!FManager) return;
  const std::u16string Ext = GetTargetExt();
  HideRenameEditor();
  // Renamed tasks go back to waiting; a name that would clash with another
  // task is refused and that task's row selected.
  std::vector<int32_t> Ids;
  for (int32_t I = 0; I < FManager->TaskCount(); ++I)
    if (TTaskItem* Task = FManager->GetTask(I)) Ids.push_back(Task->FId);
  for (int32_t Id : Ids)
    if (TTaskItem* Task = FManager->FindTask(Id))
      FManager->RenameTarget(Id, WideChangeFileExt(Task->FTargetName, Ext));
  btnDeleteComplete->hide();
  lblTitle->hide();
  btnView->hide();
  FillQualityList(Ext);
}

void TfrmMain::FillQualityList(const std::u16string& Ext) {
  const bool Mp3 = WideLowerAscii(Ext) == u".mp3";
  lblLine1->setText(QCoreApplication::translate("TfrmMain", "提示："));
  lblLine2->setText(Mp3 ? QCoreApplication::translate("TfrmMain", "  有损音乐格式歌曲向MP3")
                        : QCoreApplication::translate("TfrmMain", "   APE、WAV、FLAC为无损"));
  lblLine3->setText(Mp3 ? QCoreApplication::translate("TfrmMain", "转换,应由较高音质向较低")
                        : QCoreApplication::translate("TfrmMain", "音乐格式文件,只能通过无"));
  lblLine4->setText(Mp3 ? QCoreApplication::translate("TfrmMain", "音质转换。")
                        : QCoreApplication::translate("TfrmMain", "损音乐格式转换而成。"));
  pnlTip->show();
  cbbQulity->clear();
  TEncodeParam* Param =
      FManager ? FManager->FParamManager->FindByExtension(platform::WideToAnsi(Ext)) : nullptr;
  if (!Param) {
    cbbQulity->addItem(QCoreApplication::translate("TfrmMain", "没有相关描述"));
    cbbQulity->setCurrentIndex(0);
    return;
  }
  for (const std::string& Entry : Param->FQualityList)
    cbbQulity->addItem(ToQString(platform::AnsiToWide(Entry)));
  cbbQulity->setCurrentIndex(0);
  const int Selected = SelectedQualityIndex(*Param);
  if (Selected > 0 && Selected < cbbQulity->count()) cbbQulity->setCurrentIndex(Selected);
}

void TfrmMain::btnParamSetClick() {
  TfrmParam Dialog(FManager ? FManager->FParamManager.get() : nullptr, GetTargetExt(), this);
  Dialog.exec();
}

void TfrmMain::cbbQulityChange() {
  if (!FManager || cbbQulity->currentIndex() < 0) return;
  TEncodeParam* Param =
      FManager->FParamManager->FindByExtension(platform::WideToAnsi(GetTargetExt()));
  if (Param) StoreQualityIndex(*Param, cbbQulity->currentIndex());
}

void TfrmMain::cbbTaskPriorityChange() {
  if (FManager && cbbTaskPriority->currentIndex() >= 0)
    FManager->FPriority = static_cast<uint8_t>(cbbTaskPriority->currentIndex());
}

void TfrmMain::cbbFileExistChange() {
  if (FManager && cbbFileExist->currentIndex() >= 0)
    FManager->FExistPolicy = static_cast<uint8_t>(cbbFileExist->currentIndex());
}

// ---------------------------------------------------------------------------
// The target folder

void TfrmMain::btnPathModifyClick() {
  // File-system folders only, not below the domain, edit box, validate,
  // new dialog style.
  constexpr uint32_t BrowseFlags = 115;
  platform::TFolderBrowseRequest Request;
  Request.Caption = WideText("TfrmMain", "请选择音效插件所在的文件夹：");
  Request.Options = BrowseFlags;
  Request.Owner = Target();
  std::u16string Chosen;
  if (!platform::BrowseForFolder(Request, Chosen) || Chosen.empty()) return;
  if (ToQString(Chosen) != edtPath->text())
    edtPath->setText(ToQString(WideIncludeTrailingBackslash(Chosen)));
}

void TfrmMain::btnPathOpenClick() {
  OpenInExplorer(WideTrim(platform::qt::ToWide(edtPath->text())));
}

bool TfrmMain::CheckTargetFolder() {
  if (!FManager) return false;
  const TTargetFolderCheck Check = ::CheckTargetFolder(platform::qt::ToWide(edtPath->text()));
  if (!Check.Ok) {
    platform::MessageBoxW(Target(), Check.Message, Check.Caption,
                          platform::MB_OK | platform::MB_ICONERROR);
    edtPath->setText(ToQString(FManager->DestPath()));
    edtPath->selectAll();
    edtPath->setFocus();
    return false;
  }
  edtPath->setText(ToQString(Check.Path));
  if (Check.Path != FManager->DestPath()) FManager->SetDestPath(Check.Path);
  return true;
}
