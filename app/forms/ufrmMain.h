// The main window "格式转换工具": the conversion list, the source buttons,
// the target settings and the run buttons. Its code is split by concern:
//   ufrmMain.cpp         creation, resizing, closing, messages and the
//                        engine's notifications
//   ufrmMainLayout.cpp   the controls, their names, captions and places
//   ufrmMainList.cpp     the list: rows, selection, sorting, mouse, keys,
//                        context menus
//   ufrmMainSources.cpp  sources (the hand-over, the command line) and the
//                        settings panel
//   ufrmMainRun.cpp      the run's display (running state, total progress)
//                        and renaming a target in place
// Handlers hold no logic of their own where a shared unit in app/ has it.
//
// Threading: GUI thread only. The window is the task manager's message
// target (FMainForm): workers post and send to it through the platform's
// queue, which the GUI thread serves. Ownership: the window owns the task
// manager (made in FormCreate, freed in FormClose), the open dialog, the
// tip dialog and every control.
#pragma once

#include <QPersistentModelIndex>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/uPlayerLaunch.h"
#include "platform/uHandOverSocket.h"
#include "platform/uMessageQueue.h"
#include "widgets/uAnchorLayout.h"
#include "widgets/ufrmDlg.h"

class QAction;
class QKeyEvent;
class QMouseEvent;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class TFileListModel;
class TFileListView;
class TMiraOpenDialog;
class TCdRipLog;
class TTaskManager;
class TTaskItem;
class QDragEnterEvent;
class QDropEvent;

// The add-files dialog's filter: description and pattern pairs.
extern const char* const SourceFilter;

class TfrmMain final : public QWidget, public platform::IMessageTarget {
  Q_OBJECT

public:
  // The design's client size.
  static constexpr int DesignWidth = 542;
  static constexpr int DesignHeight = 556;

  // Builds the controls and runs FormCreate; the window is then sized to its
  // design size and centred on the screen (shown by the caller).
  explicit TfrmMain(QWidget* Parent = nullptr);
  ~TfrmMain() override;

  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;
  // The pointer the engine and message boxes know the window by.
  platform::IMessageTarget* Target() { return this; }
  TTaskManager* Manager() const { return FManager.get(); }
  TFileListModel* Model() const { return FModel; }
  // Where a restore request's activation token comes from (the hand-over
  // server of the entry).
  void SetActivationTokenSource(std::function<std::string()> Source) {
    FActivationToken = std::move(Source);
  }

  // ---- shell (ufrmMain.cpp)
  void FormCreate();
  void FormResize();
  void FormClose(TCloseAction& Action);
  void btnQuitClick();
  void OnTaskChanged(int32_t Value, uint8_t Kind);
  void HandleNotify(uint8_t Kind, int32_t Value);
  bool RowNotice(uint8_t Kind, int32_t Value);
  void RestoreApplication();
  void ReceiveHandOver(const platform::TCopyDataStruct& Data);
  // Asked from another thread (a termination signal): closes the window as
  // its close box does.
  void RequestClose();

  // ---- list (ufrmMainList.cpp)
  void RowAdded(int32_t Id);
  void RowRemoved(int32_t Id);
  void RowChanged(int32_t Id);
  void RowProgress(int32_t Id);
  void RebuildRows();
  void SelectRow(int32_t Id);
  void SelectAll();
  void btnAllSelectClick();
  void btnDeleteClick();
  void RemoveSelectedTasks();
  void btnDeleteCompleteClick();
  void btnViewClick();
  void lvFileListColumnClick(int Column);
  void ClearSortMarks();
  // The context menu for a right click at Position (list coordinates), its
  // items enabled as the click finds the list; null where no menu opens.
  QMenu* PreparePopupMenu(QPoint Position);
  uint8_t SortState() const { return FSortState; }

  // ---- sources (ufrmMainSources.cpp)
  void InitSettingsPanel();
  std::u16string GetTargetExt() const;
  void FormatChanged();
  void FillQualityList(const std::u16string& Ext);
  // "高级": the advanced settings of the chosen format, modal; the quality
  // list follows through the parameters' change notice.
  void btnParamSetClick();
  void AddSources(const std::vector<std::u16string>& Paths, int Mode);
  void AddFolder(const std::u16string& Folder);
  // The dropped paths that are files passing the extension list, in their
  // order, as the drop adds them.
  static std::vector<std::u16string> DroppedSources(const std::vector<std::u16string>& Paths);
  void DropFiles(const std::vector<std::u16string>& Paths);
  void btnAddFileClick();
  void btnGetCDClick();
  void mmReadCDRomExecute();
  void mmOpenCDRomExecute();
  void cbbQulityChange();
  void cbbTaskPriorityChange();
  void cbbFileExistChange();
  void btnPathModifyClick();
  void btnPathOpenClick();
  bool CheckTargetFolder();

  // ---- run (ufrmMainRun.cpp)
  void btnStartClick();
  void btnStopClick();
  void FlushPlaylistQueue();
  // The rip report of each disc whose tracks the ended run read, beside the
  // targets; called once the workers are idle, so that a stopped track is
  // listed with its outcome.
  void WriteRipReports();
  // Play: the player plays Path; playlist: the player adds it to its
  // playlist. "无法添加播放列表" when nothing could be started.
  void LaunchPlayer(const std::u16string& Path, TPlayerMode Mode);
  // The file manager shows Path selected, or the folder of Path (made when
  // missing) opens; "无法打开目标文件夹" when neither could be started.
  void OpenInExplorer(const std::u16string& Path);
  void mmPlayClick();
  void mmOpenFileClick();
  void mmOpenFilePathClick();
  void RunStateChanged();
  void PaintTotalProgress(QPainter& Canvas);
  void HideRenameEditor();
  void CommitRename();
  void StartRename();
  // The characters a file name cannot hold, as the rename editor refuses
  // them.
  static const char16_t* const InvalidNameChars;
  // The rename editor's balloon for a character a name cannot hold.
  static std::u16string InvalidNameBalloonText();

  // ---- controls, by their design names
  QPushButton* btnAddFile;
  QPushButton* btnGetCD;
  QLabel* lblTip;
  QGroupBox* grpFileList;
  TFileListView* lvFileList;
  QPushButton* btnAllSelect;
  QPushButton* btnDelete;
  QPushButton* btnDeleteComplete;
  QFrame* pnlOutMessage;
  QLabel* lblTitle;
  QWidget* lblProgress;
  QPushButton* btnView;
  QPushButton* btnStop;
  QGroupBox* grpParam;
  QRadioButton* rbMP3;
  QRadioButton* rbAPE;
  QRadioButton* rbwav;
  QRadioButton* rbFlac;
  QLabel* lblQuality;
  QComboBox* cbbQulity;
  QPushButton* btnParamSet;
  QFrame* pnlTip;
  QLabel* lblLine1;
  QLabel* lblLine2;
  QLabel* lblLine3;
  QLabel* lblLine4;
  QGroupBox* grpParamSelect;
  QLabel* lblDest;
  QLineEdit* edtPath;
  QPushButton* btnPathModify;
  QPushButton* btnPathOpen;
  QLabel* lblTaskPriority;
  QComboBox* cbbTaskPriority;
  QLabel* lblFileExist;
  QComboBox* cbbFileExist;
  QPushButton* btnStart;
  QPushButton* btnQuit;
  QMenu* pmNameColum;
  QAction* mmSelAll;
  QAction* mmPlay;
  QAction* mmModifyTag;
  QAction* mmDelete;
  QMenu* pmDestColum;
  QAction* mmOpenFile;
  QAction* mmOpenFilePath;
  QAction* mmRename;
  QMenu* pmGetCD;
  QAction* mmReadCD;
  QAction* mmQuitCD;

  // ---- fields of the design
  QLineEdit* FRenameEdit = nullptr;
  QPersistentModelIndex FRenameItem;
  QPersistentModelIndex FPopupItem;
  uint8_t FSortState = 0;
  QPersistentModelIndex FDragAnchor;
  std::unique_ptr<TMiraOpenDialog> FOpenDialog;
  TfrmDlg* FTipDialog = nullptr;
  bool FShowTip = false;

signals:
  // The window was brought to the front by a restore request.
  void Restored();

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
  // ufrmMainLayout.cpp
  void CreateControls();
  void CreateMenus();
  void ConnectHandlers();
  // ufrmMainList.cpp
  bool ListEvent(QEvent* Event);
  bool ListKeyPress(QKeyEvent* Event);
  void ListMouseDown(QMouseEvent* Event);
  void ListMouseMove(QMouseEvent* Event);
  void ListMouseUp();
  void ListSelectionChanged();
  void SetColumnWidths();
  void ClampStatusColumn(int Column, int NewSize);
  void SelectRange(int First, int Last);
  bool IsRunning() const;
  bool AnyRowSelected() const;
  int FirstSelectedRow() const;
  void ShowListMessage(const std::u16string& Text, const std::u16string& Caption);
  void ShowError(const std::exception& Error);
  // The task of the row under the last right click, else of the selected
  // row; null without either.
  TTaskItem* CommandTask() const;
  std::u16string TargetPathOf(const TTaskItem& Task) const;
  // ufrmMainRun.cpp
  void PlaceRenameEditor();
  void KeepRenameEditorOverRow();
  void RenameFromEditor();
  bool RenameEditorKeyPress(QKeyEvent* Event);

  std::unique_ptr<TTaskManager> FManager;
  std::unique_ptr<TCdRipLog> FRipLog;  // listens to the CD tracks of each run
  TFileListModel* FModel = nullptr;
  TAnchorLayout FFormAnchors{QSize(DesignWidth, DesignHeight)};
  TAnchorLayout FListAnchors{QSize()};
  TAnchorLayout FParamAnchors{QSize()};
  TAnchorLayout FSelectAnchors{QSize()};
  std::function<std::string()> FActivationToken;
  bool FSyncingSelection = false;
};
