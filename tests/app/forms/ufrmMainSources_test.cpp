// Bringing sources into the window and setting what a run makes, as a user
// does: the add-files dialog, dropping, folders, a cue sheet, the CD menu,
// the format buttons and the boxes of the settings panel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <fstream>

#include "app/uSourceAdding.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uFolderBrowser.h"
#include "tests/app/forms/uFormsTestKit.h"
#include "tests/support/uCdImage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"
#include "tests/support/uUtf16.h"
#include "widgets/ufrmDlg.h"

namespace fs = std::filesystem;

namespace {

class MainSources : public formstest::TFormTest {
protected:
  fs::path Src() const { return FDir.Path() / "src"; }
  std::u16string Wide(const fs::path& Path) const { return platform::PathToWide(Path.string()); }

  void Drop(const std::vector<fs::path>& Paths) {
    QMimeData Data;
    QList<QUrl> Urls;
    for (const fs::path& Path : Paths)
      Urls.push_back(QUrl::fromLocalFile(QString::fromStdString(Path.string())));
    Data.setUrls(Urls);
    QDragEnterEvent Enter(QPoint(100, 100), Qt::CopyAction, &Data, Qt::LeftButton, {});
    QApplication::sendEvent(&Form(), &Enter);
    QDropEvent Event(QPointF(100, 100), Qt::CopyAction, &Data, Qt::LeftButton, {});
    QApplication::sendEvent(&Form(), &Event);
  }

  // A real WAV image with a cue sheet of two tracks.
  fs::path MakeAlbum() {
    const fs::path Wav = Src() / "专辑.wav";
    fs::create_directories(Src());
    EXPECT_TRUE(morvotest::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=2 -ac 2 -ar 44100 " +
        morvotest::Quote(Wav)));
    const fs::path Cue = Src() / "专辑.cue";
    std::ofstream(Cue)
        << "FILE \"专辑.wav\" WAVE\n"
           "  TRACK 01 AUDIO\n    TITLE \"一\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"二\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:01:00\n";
    return Cue;
  }
};

TEST_F(MainSources, TheAddFilesDialogAddsTheChosenFilesButNotDuringARun) {
  TfrmMain& F = Form();
  formstest::MakeSourceFile(Src(), "乙.wav");
  formstest::MakeSourceFile(Src(), "甲.ape");
  QString Filter;
  QTimer::singleShot(0, [&] {
    auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(Dialog, nullptr);
    Filter = Dialog->nameFilters().value(0);
    Dialog->setDirectory(QString::fromStdString(Src().string()));
    Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(QStringLiteral("\"乙.wav\" \"甲.ape\""));
    static_cast<QDialog*>(Dialog)->accept();
  });
  F.btnAddFile->click();
  EXPECT_TRUE(Filter.startsWith(QStringLiteral("所有音频文件"))) << Filter.toStdString();
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"乙.mp3", u"甲.mp3"}));

  StartRunDisplay(2);
  bool DialogOpened = false;
  QTimer::singleShot(0, [&] {
    if (auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      DialogOpened = true;
      Dialog->reject();
    }
  });
  F.btnAddFile->click();
  QApplication::processEvents();
  EXPECT_FALSE(DialogOpened);
}

TEST_F(MainSources, DroppedFilesPassTheExtensionListAndFoldersAreNotEntered) {
  TfrmMain& F = Form();
  ASSERT_NE(F.FTipDialog, nullptr);
  EXPECT_TRUE(F.FTipDialog->isVisible());
  fs::create_directories(Src() / "folder.wav");
  formstest::MakeSourceFile(Src() / "folder.wav", "inside.wav");
  const std::vector<fs::path> Dropped = {
      Src() / "folder.wav", formstest::MakeSourceFile(Src(), "notes.txt"),
      formstest::MakeSourceFile(Src(), "歌.flac"), formstest::MakeSourceFile(Src(), "list.M3U"),
      formstest::MakeSourceFile(Src(), "noext")};
  Drop(Dropped);
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"歌.mp3", u"list.mp3"}));
  EXPECT_FALSE(F.FTipDialog->isVisible());
  // Dropping them again: each is refused as a duplicate.
  Drop(Dropped);
  EXPECT_EQ(F.Manager()->TaskCount(), 2);
  EXPECT_TRUE(FAnswerer->Seen().empty());

  // A sheet that cannot be read shows its error; what follows it in the
  // drop is not added.
  const fs::path Broken = Src() / "broken.cue";
  morvotest::WriteBytes(Broken, morvotest::Utf16Le(u"TITLE \"x\"") + "y");
  Drop({Broken, formstest::MakeSourceFile(Src(), "after.wav")});
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(FAnswerer->Seen()[0]->Caption(), u"格式转换工具");
  EXPECT_EQ(F.Manager()->TaskCount(), 2);
}

TEST_F(MainSources, AFolderScanAddsASubFoldersFilesBeforeItsOwn) {
  TfrmMain& F = Form();
  formstest::MakeSourceFile(Src() / "top", "a.wav");
  formstest::MakeSourceFile(Src() / "top", "readme.txt");
  formstest::MakeSourceFile(Src() / "top" / "sub", "b.ogg");
  F.AddFolder(Wide(Src() / "top"));
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"b.mp3", u"a.mp3"}));
}

TEST_F(MainSources, AnotherFormatRenamesEveryTargetAndFinishedTasksWaitAgain) {
  TfrmMain& F = Form();
  AddFiles({"a.wav"});
  F.AddSources({Wide(MakeAlbum())}, TSourceAdder::ModeUser);
  ASSERT_EQ(TaskTargets(),
            (std::vector<std::u16string>{u"a.mp3", u"乐队 - 一.mp3", u"乐队 - 二.mp3"}));
  EXPECT_EQ(F.lblLine2->text(), QStringLiteral("  有损音乐格式歌曲向MP3"));
  SetState(0, tsDone);
  SetState(1, tsFailed, rcEncodeFailed);
  F.rbFlac->click();
  EXPECT_EQ(TaskTargets(),
            (std::vector<std::u16string>{u"a.flac", u"乐队 - 一.flac", u"乐队 - 二.flac"}));
  for (int Row = 0; Row < 3; ++Row)
    EXPECT_EQ(F.Manager()->GetTask(Row)->FState, tsWaiting) << Row;
  EXPECT_EQ(F.lblLine2->text(), QStringLiteral("   APE、WAV、FLAC为无损"));
  EXPECT_EQ(F.lblLine4->text(), QStringLiteral("损音乐格式转换而成。"));
  EXPECT_TRUE(F.pnlTip->isVisible());

  // The quality box shows FLAC's list at its level; a user's choice is
  // stored, a refill at the next format change is not.
  auto* Flac = static_cast<TFlacParam*>(F.Manager()->FParamManager->FindByExtension(".flac"));
  ASSERT_NE(Flac, nullptr);
  EXPECT_EQ(F.cbbQulity->count(), static_cast<int>(Flac->FQualityList.size()));
  EXPECT_EQ(F.cbbQulity->currentIndex(), Flac->FQuality);
  const int Chosen = Flac->FQuality + 1 < F.cbbQulity->count() ? Flac->FQuality + 1 : 0;
  F.cbbQulity->setFocus();
  QTest::keyClick(F.cbbQulity, Chosen > Flac->FQuality ? Qt::Key_Down : Qt::Key_Home);
  EXPECT_EQ(Flac->FQuality, Chosen);
  F.rbwav->click();
  F.rbFlac->click();
  EXPECT_EQ(Flac->FQuality, Chosen);
  EXPECT_EQ(F.cbbQulity->currentIndex(), Chosen);
}

TEST_F(MainSources, ThePriorityAndPolicyBoxesSetTheTaskManager) {
  TfrmMain& F = Form();
  TTaskManager& M = *F.Manager();
  F.cbbTaskPriority->setFocus();
  QTest::keyClick(F.cbbTaskPriority, Qt::Key_Down);
  EXPECT_EQ(M.FPriority.load(), 1);
  F.cbbFileExist->setFocus();
  QTest::keyClick(F.cbbFileExist, Qt::Key_Down);
  EXPECT_EQ(M.FExistPolicy.load(), 2);
  QTest::keyClick(F.cbbFileExist, Qt::Key_Home);
  EXPECT_EQ(M.FExistPolicy.load(), 0);
}

TEST_F(MainSources, TheFolderBrowserChangesOnlyTheFolderText) {
  TfrmMain& F = Form();
  const std::u16string Before = F.Manager()->DestPath();
  platform::TFolderBrowseRequest Asked;
  std::u16string Answer = u"/srv/音乐";
  platform::SetFolderBrowser(
      [&](const platform::TFolderBrowseRequest& Request, std::u16string& Chosen) {
        Asked = Request;
        Chosen = Answer;
        return !Answer.empty();
      });
  F.btnPathModify->click();
  EXPECT_EQ(Asked.Caption, u"请选择音效插件所在的文件夹：");
  EXPECT_EQ(Asked.Options, 115u);
  EXPECT_TRUE(Asked.Root.empty());
  EXPECT_EQ(Asked.Owner, F.Target());
  EXPECT_EQ(F.edtPath->text(), QStringLiteral("/srv/音乐/"));
  EXPECT_EQ(F.Manager()->DestPath(), Before);
  Answer.clear();  // cancelled
  F.btnPathModify->click();
  EXPECT_EQ(F.edtPath->text(), QStringLiteral("/srv/音乐/"));
  platform::SetFolderBrowser(nullptr);
}

// A disc image acts as the drive: its tracks become CD tasks named from the
// disc's CD-TEXT, as the command line names them.
TEST_F(MainSources, TheCdMenuReadsTheReadyDrivesTracks) {
  fs::create_directories(Src());
  const morvotest::TCdImage Image = morvotest::MakeCdImage(
      Src(), "album", {{75, "歌手", "一"}, {80, "歌手", "二"}}, 71, "歌手", "专辑");
  morvotest::TScopedEnv Drives("MORVO_CD_DRIVES", Image.Cue.string());
  TfrmMain& F = Form();
  F.mmReadCD->trigger();
  EXPECT_EQ(TaskTargets(), (std::vector<std::u16string>{u"歌手 - 一.mp3", u"歌手 - 二.mp3"}));
  for (int Row = 0; Row < 2; ++Row)
    EXPECT_EQ(F.Manager()->GetTask(Row)->FSourceClass, 0) << Row;
  F.mmQuitCD->trigger();
  EXPECT_TRUE(fs::exists(Image.Bin)) << "ejecting an image leaves it be";

  F.btnGetCD->click();
  EXPECT_TRUE(F.pmGetCD->isVisible());
  F.pmGetCD->close();
  StartRunDisplay(2);
  F.btnGetCD->click();
  EXPECT_FALSE(F.pmGetCD->isVisible());
}

}  // namespace
