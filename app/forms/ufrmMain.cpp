// The main window's shell: creation, resizing and closing, the window's
// messages and the engine's notifications.
#include "app/forms/ufrmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "app/uCdRipReport.h"
#include "app/uHandOver.h"
#include "app/uSourceAdding.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/qt/uQtMessageBox.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "platform/uMessageBox.h"
#include "platform/uProgramDir.h"
#include "widgets/uMiraDialogs.h"

using platform::qt::WideText;

namespace {

// A close asked from outside the GUI thread (a termination signal).
constexpr uint32_t WM_CLOSE_REQUEST = platform::WM_USER + 2400;

constexpr int TipDialogWidth = 350;
constexpr int TipDialogHeight = 120;

}  // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QWidget(Parent) {
  CreateControls();
  ConnectHandlers();
  platform::qt::RegisterBoxOwner(Target(), this);
  FormCreate();
  setMinimumSize(DesignWidth, DesignHeight);
  resize(DesignWidth, DesignHeight);
  FormResize();
  if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
    const QRect Area = Screen->availableGeometry();
    move(Area.left() + (Area.width() - frameGeometry().width()) / 2,
         Area.top() + (Area.height() - frameGeometry().height()) / 2);
  }
}

TfrmMain::~TfrmMain() {
  // QWidget's destructor hides the children after this one has run; the
  // scroll, resize and selection signals they send then must not reach our
  // handlers, whose object is gone by that time.
  lvFileList->verticalScrollBar()->disconnect(this);
  lvFileList->header()->disconnect(this);
  lvFileList->selectionModel()->disconnect(this);
  platform::RemoveMessages(this);
  platform::qt::UnregisterBoxOwner(Target());
  if (FManager) {
    // Closed without FormClose (a test, a failed start): end the workers
    // before the rows and the manager go.
    FManager->FMainForm = nullptr;
    FManager->Shutdown();
    FModel->SetManager(nullptr);
    FManager.reset();
  }
}

void TfrmMain::FormCreate() {
  FManager = std::make_unique<TTaskManager>();
  FManager->FMainForm = Target();
  FModel->SetManager(FManager.get());
  FManager->FOnTaskChanged = [this](int32_t Value, uint8_t Kind) { OnTaskChanged(Value, Kind); };
  FRipLog = std::make_unique<TCdRipLog>();
  FManager->FPcmTapFactory = FRipLog->TapFactory();
  InitSettingsPanel();
  FOpenDialog = std::make_unique<TMiraOpenDialog>();
  FOpenDialog->Options = {TOpenOption::ofAllowMultiSelect, TOpenOption::ofPathMustExist,
                          TOpenOption::ofFileMustExist, TOpenOption::ofEnableSizing};
  FOpenDialog->Filter = WideText("TfrmMain", SourceFilter);
  btnView->hide();
  btnStop->hide();
  FSortState = 0;
  if (std::u16string Path; GetConvertParam(Path)) {
    try {
      AddSources({Path}, TSourceAdder::ModePlayer);
    } catch (const std::exception& E) {
      ShowError(E);
    }
  }
  FShowTip = FManager->FTipShow != 1;
  if (FShowTip && FManager->TaskCount() == 0) {
    FTipDialog = new TfrmDlg(lvFileList, TipDialogHeight, TipDialogWidth, FManager.get());
    FTipDialog->hide();
    FTipDialog->OnTipClose = [this](TfrmDlg*, TCloseAction&) { FShowTip = false; };
  }
}

void TfrmMain::FormResize() {
  FFormAnchors.Apply(size());
  FListAnchors.Apply(grpFileList->size());
  FParamAnchors.Apply(grpParam->size());
  FSelectAnchors.Apply(grpParamSelect->size());
  SetColumnWidths();
  if (FShowTip && FTipDialog) {
    FTipDialog->move((lvFileList->width() - FTipDialog->width()) / 2,
                     (lvFileList->height() - FTipDialog->height()) / 2);
    FTipDialog->show();
    FTipDialog->raise();
    FTipDialog->chkTip->setFocus();
  }
}

void TfrmMain::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  FormResize();
}

void TfrmMain::FormClose(TCloseAction& Action) {
  if (FManager) {
    if (FManager->IsRunning()) {
      const int Answer =
          platform::MessageBoxW(Target(), WideText("TfrmMain", "您正在进行歌曲转换，是否真要退出?"),
                                // Kept Chinese in every language: a worker's question
                                // finds this box by its caption to stack on it.
                                u"退出提示", platform::MB_YESNO | platform::MB_ICONINFORMATION);
      if (Answer != platform::IDYES) {
        Action = TCloseAction::caNone;
        return;
      }
    }
    // Workers still asking about an existing target have their boxes
    // closed by the shutdown: the quit is not refused for them. The tracks
    // a quit cut off are left out of the report.
    FManager->Shutdown();
    WriteRipReports();
  }
  FDragAnchor = QPersistentModelIndex();
  if (FManager) {
    try {
      FManager->SaveConvertedList(platform::ProgramDataDir() + u"encode.log");
    } catch (const std::exception& E) {
      ShowError(E);
    }
    FManager->SaveSettings();
    FManager->FMainForm = nullptr;
    FModel->SetManager(nullptr);
    FManager.reset();
  }
  Action = TCloseAction::caFree;
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
  TCloseAction Action = TCloseAction::caHide;
  FormClose(Action);
  if (Action == TCloseAction::caNone)
    Event->ignore();
  else
    Event->accept();
}

void TfrmMain::btnQuitClick() { close(); }

void TfrmMain::RequestClose() { platform::PostMessage(this, WM_CLOSE_REQUEST, 0, 0); }

intptr_t TfrmMain::HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  switch (Msg) {
  case platform::WM_ENCODE_NOTIFY:
    HandleNotify(static_cast<uint8_t>(WParam), static_cast<int32_t>(LParam));
    return 0;
  case platform::WM_ENCODE_RESTORE:
    RestoreApplication();
    return 0;
  case platform::WM_COPYDATA:
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the block's address
    if (LParam) ReceiveHandOver(*reinterpret_cast<const platform::TCopyDataStruct*>(LParam));
    return 1;
  case WM_CLOSE_REQUEST:
    close();
    return 0;
  default:
    return 0;
  }
}

void TfrmMain::OnTaskChanged(int32_t Value, uint8_t Kind) {
  HideRenameEditor();
  if (!lvFileList || RowNotice(Kind, Value)) return;
  if (Kind == nkRunning)
    RunStateChanged();
  else if (Kind == nkParamsChanged)
    FillQualityList(GetTargetExt());
}

// Posted reports; the rename editor is left as it is.
void TfrmMain::HandleNotify(uint8_t Kind, int32_t Value) {
  if (Kind == nkPlaylistQueued)
    FlushPlaylistQueue();
  else if (Kind == nkWorkersIdle)
    WriteRipReports();
  else
    RowNotice(Kind, Value);
}

// The reports both channels carry (kinds 0 to 6); false for any other.
bool TfrmMain::RowNotice(uint8_t Kind, int32_t Value) {
  switch (Kind) {
  case nkAdded:
    RowAdded(Value);
    return true;
  case nkRemoved:
    RowRemoved(Value);
    return true;
  case nkChanged:
    RowChanged(Value);
    return true;
  case nkListChanged:
    RebuildRows();
    return true;
  case nkSelect:
  case nkRefused:
    SelectRow(Value);
    return true;
  case nkProgress:
    RowProgress(Value);
    return true;
  default:
    return false;
  }
}

void TfrmMain::RestoreApplication() {
  if (isMinimized()) showNormal();
  if (!isVisible()) show();
  // A desktop that wants a token before it hands over the focus gets the
  // one the second start brought.
  if (FActivationToken) {
    const std::string Token = FActivationToken();
    if (!Token.empty()) qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(Token));
  }
  raise();
  activateWindow();
  emit Restored();
}

void TfrmMain::ReceiveHandOver(const platform::TCopyDataStruct& Data) {
  const std::vector<std::u16string> Paths = ReadHandOverPayload(Data.lpData, Data.dwData);
  if (FTipDialog && FTipDialog->isVisible()) FTipDialog->CloseForm();
  // An unreadable cue sheet raises its error here, inside the message's
  // handler: it is shown, never left to unwind through the event loop.
  try {
    AddSources(Paths, TSourceAdder::ModePlayer);
  } catch (const std::exception& E) {
    ShowError(E);
  }
  RestoreApplication();
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == lblProgress && Event->type() == QEvent::Paint) {
    QPainter Canvas(lblProgress);
    PaintTotalProgress(Canvas);
    return true;
  }
  if (FRenameEdit && Watched == FRenameEdit && Event->type() == QEvent::KeyPress)
    return RenameEditorKeyPress(static_cast<QKeyEvent*>(Event));
  if (Watched == lvFileList || Watched == lvFileList->viewport()) return ListEvent(Event);
  return QWidget::eventFilter(Watched, Event);
}

void TfrmMain::ShowError(const std::exception& Error) {
  platform::MessageBoxW(Target(), platform::Utf8ToWide(Error.what()),
                        WideText("TfrmMain", "格式转换工具"),
                        platform::MB_OK | platform::MB_ICONERROR);
}
