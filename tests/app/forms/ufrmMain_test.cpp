// The main window's shell: its controls, start, hand-over, notifications,
// the settings panel it sets up and closing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListView.h"
#include "app/uHandOver.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "tests/app/forms/uFormsTestKit.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"
#include "tests/support/uUtf16.h"
#include "widgets/uMiraHintWindow.h"
#include "widgets/uMiraToolTip.h"

namespace fs = std::filesystem;

namespace {

class MainWindow : public formstest::TFormTest {
protected:
  void TearDown() override {
    WideSetParams({});
    TFormTest::TearDown();
  }
  fs::path Prog() const { return FDir.Path() / "prog"; }
  std::string Config() const { return morvotest::ReadBytes(Prog() / "EncodeConfig.ini"); }

  void HandOver(const std::u16string& Path) {
    std::vector<uint8_t> Payload;
    ASSERT_TRUE(MakeHandOverPayload(Path, Payload));
    platform::TCopyDataStruct Data{Payload.size(), static_cast<uint32_t>(Payload.size()),
                                   Payload.data()};
    EXPECT_EQ(Form().HandleMessage(platform::WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&Data)), 1);
  }

  // A real WAV image with a cue sheet of three tracks.
  fs::path MakeAlbum() {
    const fs::path Wav = FDir.Path() / "album" / "专辑.wav";
    fs::create_directories(Wav.parent_path());
    EXPECT_TRUE(morvotest::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=3 -ac 2 -ar 44100 " +
        morvotest::Quote(Wav)));
    const fs::path Cue = Wav.parent_path() / "专辑.cue";
    std::ofstream(Cue)
        << "PERFORMER \"乐队\"\nFILE \"专辑.wav\" WAVE\n"
           "  TRACK 01 AUDIO\n    TITLE \"一\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"二\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:01:00\n"
           "  TRACK 03 AUDIO\n    TITLE \"三\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:02:00\n";
    return Cue;
  }
};

template <class T> T* Control(QWidget& Form, const char* Name) {
  return Form.findChild<T*>(QString::fromLatin1(Name));
}

}  // namespace

TEST_F(MainWindow, EveryControlOfTheDesignIsThereWithItsCaption) {
  TfrmMain& F = Form();
  EXPECT_EQ(F.windowTitle(), QStringLiteral("格式转换工具"));
  EXPECT_EQ(F.size(), QSize(542, 556));
  EXPECT_EQ(F.minimumSize(), QSize(542, 556));
  EXPECT_EQ(F.font().pixelSize(), 12);
  const std::pair<const char*, const char*> Buttons[] = {{"btnAddFile", "添加文件"},
                                                         {"btnGetCD", "CD抓轨"},
                                                         {"btnAllSelect", "全选"},
                                                         {"btnDelete", "移除"},
                                                         {"btnDeleteComplete", "移除完成文件"},
                                                         {"btnView", "整理显示"},
                                                         {"btnStop", "停止"},
                                                         {"btnParamSet", "高级"},
                                                         {"btnPathModify", "更改"},
                                                         {"btnPathOpen", "打开文件夹"},
                                                         {"btnStart", "转换文件"},
                                                         {"btnQuit", "退出"}};
  for (const auto& [Name, Caption] : Buttons) {
    auto* Button = Control<QPushButton>(F, Name);
    ASSERT_NE(Button, nullptr) << Name;
    EXPECT_EQ(Button->text(), QString::fromUtf8(Caption)) << Name;
  }
  for (const char* Big : {"btnAddFile", "btnGetCD", "btnStart"})
    EXPECT_EQ(Control<QPushButton>(F, Big)->size(), QSize(100, 35)) << Big;
  const std::pair<const char*, const char*> Groups[] = {
      {"grpFileList", "转换列表"}, {"grpParam", "转换格式"}, {"grpParamSelect", "转换设置"}};
  for (const auto& [Name, Caption] : Groups)
    EXPECT_EQ(Control<QGroupBox>(F, Name)->title(), QString::fromUtf8(Caption));
  const std::pair<const char*, const char*> Labels[] = {{"lblTip", "无损音质文件切割的最佳工具 "},
                                                        {"lblQuality", "音乐质量"},
                                                        {"lblDest", "目标文件夹"},
                                                        {"lblTaskPriority", "任务优先级"},
                                                        {"lblFileExist", "目标文件存在时"}};
  for (const auto& [Name, Caption] : Labels)
    EXPECT_EQ(Control<QLabel>(F, Name)->text(), QString::fromUtf8(Caption));
  for (const char* Name : {"rbMP3", "rbAPE", "rbwav", "rbFlac"})
    EXPECT_NE(Control<QRadioButton>(F, Name), nullptr);
  for (const char* Name : {"cbbQulity", "cbbTaskPriority", "cbbFileExist"})
    EXPECT_NE(Control<QComboBox>(F, Name), nullptr);
  EXPECT_NE(Control<QLineEdit>(F, "edtPath"), nullptr);
  EXPECT_NE(Control<TFileListView>(F, "lvFileList"), nullptr);
  for (const char* Name : {"pnlOutMessage", "pnlTip", "lblTitle", "lblProgress"})
    EXPECT_NE(Control<QWidget>(F, Name), nullptr);
  // Idle at start: the run's controls are hidden.
  EXPECT_FALSE(F.btnView->isVisible());
  EXPECT_FALSE(F.btnStop->isVisible());
  EXPECT_FALSE(F.btnDeleteComplete->isVisible());
  EXPECT_FALSE(F.lblProgress->isVisible());
  // Every control stays inside the window.
  for (QWidget* Child : F.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (Child->isVisible()) {
      EXPECT_TRUE(F.rect().contains(Child->geometry())) << Child->objectName().toStdString();
    }
}

TEST_F(MainWindow, TheSettingsPanelStartsFromTheTaskManager) {
  TfrmMain& F = Form();
  EXPECT_TRUE(F.rbMP3->isChecked());
  EXPECT_EQ(F.GetTargetExt(), u".mp3");
  EXPECT_EQ(F.cbbTaskPriority->count(), 2);
  EXPECT_EQ(F.cbbTaskPriority->currentText(), QStringLiteral("加速处理(较快)"));
  EXPECT_EQ(F.cbbFileExist->currentText(), QStringLiteral("询问"));
  EXPECT_EQ(F.edtPath->text().toStdU16String(), F.Manager()->DestPath());
  EXPECT_TRUE(F.pnlTip->isVisible());
  EXPECT_EQ(F.lblLine2->text(), QStringLiteral("  有损音乐格式歌曲向MP3"));
  EXPECT_GT(F.cbbQulity->count(), 1);
  // Another format renames every target and fills its own qualities.
  AddFiles({"a.wav", "b.mp3"});
  auto* Flac = dynamic_cast<TFlacParam*>(F.Manager()->FParamManager->FindByExtension(".flac"));
  ASSERT_NE(Flac, nullptr);
  Flac->FQuality = 3;
  F.rbFlac->click();
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"a.flac", u"b.flac"}));
  EXPECT_EQ(F.lblLine2->text(), QStringLiteral("   APE、WAV、FLAC为无损"));
  EXPECT_EQ(F.cbbQulity->count(), static_cast<int>(Flac->FQualityList.size()));
  EXPECT_EQ(F.cbbQulity->currentIndex(), 3);  // the level FLAC's settings hold
}

TEST_F(MainWindow, TheTipShowsCentredOnAnEmptyListAndClosesForAHandOver) {
  TfrmMain& F = Form();
  ASSERT_NE(F.FTipDialog, nullptr);
  EXPECT_TRUE(F.FTipDialog->isVisible());
  EXPECT_EQ(F.FTipDialog->size(), QSize(350, 120));
  EXPECT_EQ(F.FTipDialog->x(), (F.lvFileList->width() - 350) / 2);
  EXPECT_EQ(F.FTipDialog->y(), (F.lvFileList->height() - 120) / 2);
  QSignalSpy Restored(&F, &TfrmMain::Restored);
  const fs::path Wav = formstest::MakeSourceFile(FDir.Path() / "src", "交出的歌.wav");
  HandOver(platform::PathToWide(Wav.string()));
  EXPECT_FALSE(F.FTipDialog->isVisible());
  EXPECT_FALSE(F.FShowTip);
  EXPECT_EQ(TaskTargets(), std::vector<std::u16string>{u"交出的歌.mp3"});
  EXPECT_EQ(Restored.count(), 1);
  F.resize(600, 600);  // a closed tip does not come back
  EXPECT_FALSE(F.FTipDialog->isVisible());
}

TEST_F(MainWindow, AHandedOverCueSheetGivesOneRowPerTrack) {
  const fs::path Cue = MakeAlbum();
  HandOver(platform::PathToWide(Cue.string()));
  EXPECT_EQ(TaskTargets(),
            (std::vector<std::u16string>{u"乐队 - 一.mp3", u"乐队 - 二.mp3", u"乐队 - 三.mp3"}));
  EXPECT_EQ(Form().Model()->rowCount(), 3);
}

// The player hands over sheets it cannot judge: one that cannot be read
// shows its error, and the window stays and comes to the front.
TEST_F(MainWindow, AnUnreadableHandedOverCueSheetShowsItsErrorAndTheWindowStays) {
  TfrmMain& F = Form();
  const fs::path Broken = FDir.Path() / "src" / "broken.cue";
  fs::create_directories(Broken.parent_path());
  // UTF-16 with an odd byte count and no final terminator cannot be read.
  morvotest::WriteBytes(Broken, morvotest::Utf16Le(u"TITLE \"x\"") + "y");
  QSignalSpy Restored(&F, &TfrmMain::Restored);
  HandOver(platform::PathToWide(Broken.string()));
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(FAnswerer->Seen()[0]->Caption(), u"格式转换工具");
  EXPECT_FALSE(FAnswerer->Seen()[0]->Text().empty());
  EXPECT_EQ(Restored.count(), 1);
  EXPECT_EQ(F.Manager()->TaskCount(), 0);
}

TEST_F(MainWindow, ASourceOnTheCommandLineIsAddedAtStartWithoutTheTip) {
  const fs::path Wav = formstest::MakeSourceFile(FDir.Path() / "src", "start.wav");
  WideSetParams({u"/ENCODECONVERT", platform::PathToWide(Wav.string())});
  EXPECT_EQ(TaskTargets(), std::vector<std::u16string>{u"start.mp3"});
  EXPECT_EQ(Form().FTipDialog, nullptr);
}

TEST_F(MainWindow, NoTipOnceTheUserAskedForNone) {
  std::ofstream(Prog() / "EncodeConfig.ini") << "[General]\r\nTipShow=1\r\n";
  EXPECT_FALSE(Form().FShowTip);
  EXPECT_EQ(Form().FTipDialog, nullptr);
}

TEST_F(MainWindow, TheRunningStateShowsInTheButtonsAndTheSummaryAfterwards) {
  TfrmMain& F = Form();
  AddFiles({"a.wav", "b.wav"});
  StartRunDisplay(2);
  EXPECT_TRUE(F.btnStop->isVisible());
  EXPECT_FALSE(F.btnView->isVisible());
  EXPECT_FALSE(F.btnAllSelect->isEnabled());
  EXPECT_FALSE(F.grpParam->isEnabled());
  EXPECT_FALSE(F.grpParamSelect->isEnabled());
  EXPECT_EQ(F.btnStart->text(), QStringLiteral("正在转换中"));
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("总进度："));
  EXPECT_EQ(F.lblProgress->x(), F.lblTitle->width() + 2);
  EXPECT_TRUE(F.lblProgress->isVisible());
  SetState(0, tsDone);
  SetState(1, tsFailed, rcEncodeFailed);
  EXPECT_FALSE(F.Manager()->IsRunning());
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("1个文件转换失败,1个文件转换成功"));
  EXPECT_EQ(F.btnStart->text(), QStringLiteral("开始转换"));
  EXPECT_FALSE(F.lblProgress->isVisible());
  EXPECT_TRUE(F.btnDeleteComplete->isVisible());
  EXPECT_TRUE(F.grpParam->isEnabled());
  // Removing the failure keeps a summary of what is left.
  F.Manager()->RemoveTask(F.Manager()->GetTask(1)->FId);
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("0个文件转换失败,1个文件转换成功"));
}

TEST_F(MainWindow, ClosingWhileConvertingNeedsTheUsersYes) {
  AddFiles({"a.wav"});
  StartRunDisplay(1);
  FAnswerer->Push(platform::IDNO);
  EXPECT_FALSE(Form().close());
  EXPECT_NE(Form().Manager(), nullptr);
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(FAnswerer->Seen()[0]->Caption(), u"退出提示");
  EXPECT_EQ(FAnswerer->Seen()[0]->Text(), u"您正在进行歌曲转换，是否真要退出?");
  EXPECT_EQ(FAnswerer->Seen()[0]->Owner(), Form().Target());
  FAnswerer->Push(platform::IDYES);
  EXPECT_TRUE(Form().close());
  EXPECT_EQ(Form().Manager(), nullptr);
  EXPECT_EQ(Form().Model()->rowCount(), 0);
}

TEST_F(MainWindow, ClosingWritesTheSettingsWithTheTipChoice) {
  Form().FTipDialog->chkTip->setChecked(true);
  Form().FTipDialog->btnOkClick();
  Form().btnQuit->click();
  EXPECT_EQ(Form().Manager(), nullptr);
  const std::string Written = Config();
  EXPECT_NE(Written.find("TipShow=1"), std::string::npos) << Written;
  EXPECT_NE(Written.find("DestPath="), std::string::npos) << Written;
  EXPECT_TRUE(FAnswerer->Seen().empty());  // idle: no question
}

// A real run of a handed-over album, then the quit: the list follows the
// workers to the summary, and encode.log names every converted track.
TEST_F(MainWindow, ARunsConvertedTracksAreWrittenToTheLogWhenTheWindowCloses) {
  TfrmMain& F = Form();
  HandOver(platform::PathToWide(MakeAlbum().string()));
  const fs::path Out = FDir.Path() / "out";
  fs::create_directories(Out);
  F.Manager()->SetDestPath(platform::PathToWide(Out.string() + "/"));
  F.Manager()->StartConvert();
  for (int I = 0; I < 6000 && F.Manager()->IsRunning(); ++I)
    QTest::qWait(10);
  ASSERT_FALSE(F.Manager()->IsRunning());
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("0个文件转换失败,3个文件转换成功"));
  EXPECT_TRUE(F.btnDeleteComplete->isVisible());
  for (int Row = 0; Row < 3; ++Row)
    EXPECT_EQ(F.Model()->data(F.Model()->index(Row, 2), Qt::DisplayRole).toString(),
              QStringLiteral("完成"))
        << Row;

  F.btnQuit->click();
  EXPECT_EQ(F.Manager(), nullptr);
  const std::u16string Log = morvotest::Utf16LeText(morvotest::ReadBytes(Prog() / "encode.log"));
  for (const char* Track : {"乐队 - 一.mp3", "乐队 - 二.mp3", "乐队 - 三.mp3"}) {
    const fs::path Target = Out / fs::u8path(Track);
    EXPECT_TRUE(fs::is_regular_file(Target)) << Target;
    EXPECT_NE(Log.find(platform::PathToWide(Target.string())), std::u16string::npos) << Track;
  }
}

TEST_F(MainWindow, ATargetIsRenamedInPlaceWithoutTheCharactersNamesCannotHold) {
  TfrmMain& F = Form();
  AddFiles({"a.wav", "b.wav"});
  F.lvFileList->selectionModel()->select(
      F.Model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  F.StartRename();
  ASSERT_NE(F.FRenameEdit, nullptr);
  EXPECT_TRUE(F.FRenameEdit->isVisible());
  EXPECT_EQ(F.FRenameEdit->text(), QStringLiteral("b"));
  EXPECT_TRUE(F.lvFileList->CellRect(1, 1).adjusted(0, -1, 0, 1) == F.FRenameEdit->geometry());
  // A "?" brings the balloon up (ended here by a click) and is not typed.
  bool BalloonShown = false;
  QTimer::singleShot(50, [&] {
    BalloonShown = MiraToolTip()->Visible() && BalloonLoopRunning();
    QTest::mouseClick(F.lblTip, Qt::LeftButton);
  });
  QTest::keyClicks(F.FRenameEdit, QStringLiteral("?"));
  EXPECT_TRUE(BalloonShown);
  EXPECT_EQ(MiraToolTip()->Text(), u"文件名不能包含下列任何字符之一\r\n\\/?:*\"><|");
  EXPECT_EQ(F.FRenameEdit->text(), QStringLiteral("b"));
  // A typed extension gives way to the target format's.
  F.FRenameEdit->setText(QStringLiteral("新名字.flac "));
  QTest::keyClick(F.FRenameEdit, Qt::Key_Return);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"a.mp3", u"新名字.mp3"}));
  EXPECT_FALSE(F.FRenameEdit->isVisible());
  // Escape leaves the name alone.
  F.StartRename();
  F.FRenameEdit->setText(QStringLiteral("other"));
  QTest::keyClick(F.FRenameEdit, Qt::Key_Escape);
  EXPECT_EQ(TaskTargets()[1], u"新名字.mp3");
}

TEST_F(MainWindow, AClickInTheSelectedRowsTargetStartsRenamingAPressElsewhereCommitsIt) {
  TfrmMain& F = Form();
  AddFiles({"a.wav", "b.wav"});
  QWidget* Viewport = F.lvFileList->viewport();
  QTest::mouseClick(Viewport, Qt::LeftButton, {}, F.lvFileList->CellRect(0, 0).center());
  QTest::mouseClick(Viewport, Qt::LeftButton, {}, F.lvFileList->CellRect(0, 1).center());
  ASSERT_NE(F.FRenameEdit, nullptr);
  ASSERT_TRUE(F.FRenameEdit->isVisible());
  F.FRenameEdit->setText(QStringLiteral("甲"));
  QTest::mouseClick(Viewport, Qt::LeftButton, {}, F.lvFileList->CellRect(1, 0).center());
  EXPECT_FALSE(F.FRenameEdit->isVisible());
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"甲.mp3", u"b.mp3"}));
}
