// The main window's controls: names, captions, sizes and places at the
// design's client size of 542 x 556, and how each follows a larger window.
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "app/forms/ufrmMain.h"
#include "widgets/uMiraFonts.h"

namespace {

constexpr uint8_t akAll = akLeft | akTop | akRight | akBottom;
constexpr uint8_t akBottomLeft = akLeft | akBottom;
constexpr uint8_t akBottomRight = akRight | akBottom;
constexpr uint8_t akBottomWide = akLeft | akRight | akBottom;

const QSize ListGroupSize(526, 268);
const QSize ParamGroupSize(526, 96);
const QSize SelectGroupSize(526, 80);

template <class TControl, class... TArgs>
TControl* Make(QWidget* Parent, const char* Name, TArgs&&... Args) {
  auto* Control = new TControl(std::forward<TArgs>(Args)..., Parent);
  Control->setObjectName(QString::fromLatin1(Name));
  return Control;
}

QPushButton* Button(QWidget* Parent, const char* Name, const QString& Caption) {
  return Make<QPushButton>(Parent, Name, Caption);
}

QPushButton* IconButton(QWidget* Parent, const char* Name, const QString& Caption,
                        const char* Icon) {
  QPushButton* Result = Button(Parent, Name, Caption);
  Result->setIcon(QIcon(QStringLiteral(":/morvo/art/") + QString::fromLatin1(Icon)));
  Result->setIconSize(QSize(24, 24));
  return Result;
}

QLabel* Label(QWidget* Parent, const char* Name, const QString& Caption) {
  return Make<QLabel>(Parent, Name, Caption);
}

}  // namespace

void TfrmMain::CreateControls() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QCoreApplication::translate("TfrmMain", "格式转换工具"));
  setWindowIcon(QIcon(QStringLiteral(":/morvo/art/icon_convert.png")));
  setFont(SongTiFont());
  FListAnchors = TAnchorLayout(ListGroupSize);
  FParamAnchors = TAnchorLayout(ParamGroupSize);
  FSelectAnchors = TAnchorLayout(SelectGroupSize);

  // Top row.
  btnAddFile = IconButton(this, "btnAddFile", QCoreApplication::translate("TfrmMain", "添加文件"),
                          "icon_add_file.png");
  FFormAnchors.Place(btnAddFile, QRect(8, 8, 100, 35));
  btnGetCD = IconButton(this, "btnGetCD", QCoreApplication::translate("TfrmMain", "CD抓轨"),
                        "icon_cd.png");
  FFormAnchors.Place(btnGetCD, QRect(114, 8, 100, 35));
  lblTip =
      Label(this, "lblTip", QCoreApplication::translate("TfrmMain", "无损音质文件切割的最佳工具 "));
  lblTip->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  FFormAnchors.Place(lblTip, QRect(222, 17, 312, 18), akLeft | akTop | akRight);

  // The list and the buttons below it.
  grpFileList =
      Make<QGroupBox>(this, "grpFileList", QCoreApplication::translate("TfrmMain", "转换列表"));
  FFormAnchors.Place(grpFileList, QRect(QPoint(8, 50), ListGroupSize), akAll);
  lvFileList = Make<TFileListView>(grpFileList, "lvFileList");
  FModel = new TFileListModel(lvFileList);
  lvFileList->setModel(FModel);
  lvFileList->FIsRunning = [this] { return IsRunning(); };
  FListAnchors.Place(lvFileList, QRect(8, 20, 510, 212), akAll);
  btnAllSelect =
      Button(grpFileList, "btnAllSelect", QCoreApplication::translate("TfrmMain", "全选"));
  FListAnchors.Place(btnAllSelect, QRect(8, 238, 56, 24), akBottomLeft);
  btnDelete = Button(grpFileList, "btnDelete", QCoreApplication::translate("TfrmMain", "移除"));
  FListAnchors.Place(btnDelete, QRect(68, 238, 56, 24), akBottomLeft);
  btnDeleteComplete = Button(grpFileList, "btnDeleteComplete",
                             QCoreApplication::translate("TfrmMain", "移除完成文件"));
  FListAnchors.Place(btnDeleteComplete, QRect(128, 238, 96, 24), akBottomLeft);
  btnDeleteComplete->hide();
  pnlOutMessage = Make<QFrame>(grpFileList, "pnlOutMessage");
  FListAnchors.Place(pnlOutMessage, QRect(230, 238, 204, 24), akBottomRight);
  lblTitle = Label(pnlOutMessage, "lblTitle", QCoreApplication::translate("TfrmMain", "总进度"));
  lblTitle->setGeometry(0, 3, 40, 18);
  lblTitle->hide();
  lblProgress = Make<QWidget>(pnlOutMessage, "lblProgress");
  lblProgress->setGeometry(42, 0, 160, 24);
  lblProgress->installEventFilter(this);  // paints the total progress
  lblProgress->hide();
  btnView = Button(grpFileList, "btnView", QCoreApplication::translate("TfrmMain", "整理显示"));
  FListAnchors.Place(btnView, QRect(438, 238, 80, 24), akBottomRight);
  btnStop = Button(grpFileList, "btnStop", QCoreApplication::translate("TfrmMain", "停止"));
  FListAnchors.Place(btnStop, QRect(438, 238, 80, 24), akBottomRight);

  // Target format.
  grpParam = Make<QGroupBox>(this, "grpParam", QCoreApplication::translate("TfrmMain", "转换格式"));
  FFormAnchors.Place(grpParam, QRect(QPoint(8, 324), ParamGroupSize), akBottomWide);
  rbMP3 = Make<QRadioButton>(grpParam, "rbMP3", QStringLiteral("MP3"));
  FParamAnchors.Place(rbMP3, QRect(14, 24, 62, 20));
  rbAPE = Make<QRadioButton>(grpParam, "rbAPE", QStringLiteral("APE"));
  FParamAnchors.Place(rbAPE, QRect(80, 24, 62, 20));
  rbwav = Make<QRadioButton>(grpParam, "rbwav", QStringLiteral("WAV"));
  FParamAnchors.Place(rbwav, QRect(146, 24, 62, 20));
  rbFlac = Make<QRadioButton>(grpParam, "rbFlac", QStringLiteral("FLAC"));
  FParamAnchors.Place(rbFlac, QRect(212, 24, 62, 20));
  lblQuality = Label(grpParam, "lblQuality", QCoreApplication::translate("TfrmMain", "音乐质量"));
  FParamAnchors.Place(lblQuality, QRect(14, 60, 56, 18));
  cbbQulity = Make<QComboBox>(grpParam, "cbbQulity");
  FParamAnchors.Place(cbbQulity, QRect(74, 57, 166, 24));
  btnParamSet = Button(grpParam, "btnParamSet", QCoreApplication::translate("TfrmMain", "高级"));
  FParamAnchors.Place(btnParamSet, QRect(246, 57, 52, 24));
  pnlTip = Make<QFrame>(grpParam, "pnlTip");
  FParamAnchors.Place(pnlTip, QRect(312, 12, 206, 78), akTop | akRight);
  QLabel** Lines[] = {&lblLine1, &lblLine2, &lblLine3, &lblLine4};
  const char* LineNames[] = {"lblLine1", "lblLine2", "lblLine3", "lblLine4"};
  for (int I = 0; I < 4; ++I) {
    *Lines[I] = Label(pnlTip, LineNames[I], QString());
    (*Lines[I])->setGeometry(4, 2 + I * 19, 200, 18);
  }
  pnlTip->hide();

  // Target settings.
  grpParamSelect =
      Make<QGroupBox>(this, "grpParamSelect", QCoreApplication::translate("TfrmMain", "转换设置"));
  FFormAnchors.Place(grpParamSelect, QRect(QPoint(8, 426), SelectGroupSize), akBottomWide);
  lblDest = Label(grpParamSelect, "lblDest", QCoreApplication::translate("TfrmMain", "目标文件夹"));
  FSelectAnchors.Place(lblDest, QRect(14, 22, 66, 18));
  edtPath = Make<QLineEdit>(grpParamSelect, "edtPath");
  FSelectAnchors.Place(edtPath, QRect(84, 19, 272, 24), akLeft | akTop | akRight);
  btnPathModify =
      Button(grpParamSelect, "btnPathModify", QCoreApplication::translate("TfrmMain", "更改"));
  FSelectAnchors.Place(btnPathModify, QRect(362, 19, 56, 24), akTop | akRight);
  btnPathOpen =
      Button(grpParamSelect, "btnPathOpen", QCoreApplication::translate("TfrmMain", "打开文件夹"));
  FSelectAnchors.Place(btnPathOpen, QRect(422, 19, 96, 24), akTop | akRight);
  lblTaskPriority = Label(grpParamSelect, "lblTaskPriority",
                          QCoreApplication::translate("TfrmMain", "任务优先级"));
  FSelectAnchors.Place(lblTaskPriority, QRect(14, 51, 66, 18));
  cbbTaskPriority = Make<QComboBox>(grpParamSelect, "cbbTaskPriority");
  FSelectAnchors.Place(cbbTaskPriority, QRect(84, 48, 140, 24));
  lblFileExist = Label(grpParamSelect, "lblFileExist",
                       QCoreApplication::translate("TfrmMain", "目标文件存在时"));
  FSelectAnchors.Place(lblFileExist, QRect(240, 51, 90, 18));
  cbbFileExist = Make<QComboBox>(grpParamSelect, "cbbFileExist");
  FSelectAnchors.Place(cbbFileExist, QRect(334, 48, 100, 24));

  // Bottom right.
  btnStart = IconButton(this, "btnStart", QCoreApplication::translate("TfrmMain", "转换文件"),
                        "icon_convert.png");
  FFormAnchors.Place(btnStart, QRect(346, 513, 100, 35), akBottomRight);
  btnQuit = Button(this, "btnQuit", QCoreApplication::translate("TfrmMain", "退出"));
  FFormAnchors.Place(btnQuit, QRect(452, 513, 82, 35), akBottomRight);

  CreateMenus();
}

void TfrmMain::CreateMenus() {
  pmNameColum = Make<QMenu>(this, "pmNameColum");
  mmSelAll = pmNameColum->addAction(QCoreApplication::translate("TfrmMain", "选择全部"));
  mmSelAll->setObjectName(QStringLiteral("mmSelAll"));
  mmPlay = pmNameColum->addAction(QCoreApplication::translate("TfrmMain", "播放文件"));
  mmPlay->setObjectName(QStringLiteral("mmPlay"));
  mmModifyTag = pmNameColum->addAction(QCoreApplication::translate("TfrmMain", "编辑标签"));
  mmModifyTag->setObjectName(QStringLiteral("mmModifyTag"));
  mmModifyTag->setEnabled(false);
  mmDelete = pmNameColum->addAction(QCoreApplication::translate("TfrmMain", "移除"));
  mmDelete->setObjectName(QStringLiteral("mmDelete"));

  pmDestColum = Make<QMenu>(this, "pmDestColum");
  mmOpenFile = pmDestColum->addAction(QCoreApplication::translate("TfrmMain", "打开文件"));
  mmOpenFile->setObjectName(QStringLiteral("mmOpenFile"));
  mmOpenFilePath =
      pmDestColum->addAction(QCoreApplication::translate("TfrmMain", "打开所在文件夹"));
  mmOpenFilePath->setObjectName(QStringLiteral("mmOpenFilePath"));
  mmRename = pmDestColum->addAction(QCoreApplication::translate("TfrmMain", "重命名文件"));
  mmRename->setObjectName(QStringLiteral("mmRename"));

  pmGetCD = Make<QMenu>(this, "pmGetCD");
  mmReadCD = pmGetCD->addAction(QCoreApplication::translate("TfrmMain", "读取光驱设备"));
  mmReadCD->setObjectName(QStringLiteral("mmReadCD"));
  mmQuitCD = pmGetCD->addAction(QCoreApplication::translate("TfrmMain", "弹出光驱"));
  mmQuitCD->setObjectName(QStringLiteral("mmQuitCD"));
}

void TfrmMain::ConnectHandlers() {
  connect(btnQuit, &QPushButton::clicked, this, [this] { btnQuitClick(); });
  connect(btnAllSelect, &QPushButton::clicked, this, [this] { btnAllSelectClick(); });
  connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
  connect(btnDeleteComplete, &QPushButton::clicked, this, [this] { btnDeleteCompleteClick(); });
  connect(btnView, &QPushButton::clicked, this, [this] { btnViewClick(); });
  connect(btnStart, &QPushButton::clicked, this, [this] { btnStartClick(); });
  connect(btnStop, &QPushButton::clicked, this, [this] { btnStopClick(); });
  connect(btnAddFile, &QPushButton::clicked, this, [this] { btnAddFileClick(); });
  connect(btnGetCD, &QPushButton::clicked, this, [this] { btnGetCDClick(); });
  connect(btnPathModify, &QPushButton::clicked, this, [this] { btnPathModifyClick(); });
  connect(btnPathOpen, &QPushButton::clicked, this, [this] { btnPathOpenClick(); });
  connect(mmReadCD, &QAction::triggered, this, [this] { mmReadCDRomExecute(); });
  connect(mmQuitCD, &QAction::triggered, this, [this] { mmOpenCDRomExecute(); });
  connect(mmPlay, &QAction::triggered, this, [this] { mmPlayClick(); });
  connect(mmOpenFile, &QAction::triggered, this, [this] { mmOpenFileClick(); });
  connect(mmOpenFilePath, &QAction::triggered, this, [this] { mmOpenFilePathClick(); });
  connect(mmRename, &QAction::triggered, this, [this] { StartRename(); });
  // Activated, not index-changed: filling a box at start or on a format
  // change is no choice of the user's.
  connect(cbbQulity, &QComboBox::activated, this, [this] { cbbQulityChange(); });
  connect(cbbTaskPriority, &QComboBox::activated, this, [this] { cbbTaskPriorityChange(); });
  connect(cbbFileExist, &QComboBox::activated, this, [this] { cbbFileExistChange(); });
  setAcceptDrops(true);
  connect(mmSelAll, &QAction::triggered, this, [this] { SelectAll(); });
  connect(mmDelete, &QAction::triggered, this, [this] { RemoveSelectedTasks(); });
  connect(lvFileList->header(), &QHeaderView::sectionClicked, this,
          [this](int Column) { lvFileListColumnClick(Column); });
  connect(lvFileList->header(), &QHeaderView::sectionResized, this,
          [this](int Column, int, int NewSize) { ClampStatusColumn(Column, NewSize); });
  connect(lvFileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { ListSelectionChanged(); });
  for (QRadioButton* Format : {rbMP3, rbAPE, rbwav, rbFlac})
    connect(Format, &QRadioButton::toggled, this, [this](bool Checked) {
      if (Checked) FormatChanged();
    });
  connect(lvFileList->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { KeepRenameEditorOverRow(); });
  connect(btnParamSet, &QPushButton::clicked, this, [this] { btnParamSetClick(); });
  lvFileList->viewport()->installEventFilter(this);
  lvFileList->installEventFilter(this);
}
