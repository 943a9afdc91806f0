#include "widgets/ufrmDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "engine/uTaskManager.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

namespace {

// The panel inside a window that has another control to take the focus.
class TipDialog : public ::testing::Test {
protected:
  void SetUp() override {
    FWindow.resize(500, 300);
    FOther = new QLineEdit(&FWindow);
    FOther->setGeometry(10, 250, 100, 24);
    FDialog = new TfrmDlg(&FWindow, 120, 350, FManager.get());
    FDialog->OnTipClose = [this](TfrmDlg* Sender, TCloseAction&) { FClosedBy = Sender; };
    FWindow.show();
    FWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&FWindow));
    FDialog->chkTip->setFocus();
    QApplication::processEvents();
  }

  morvotest::TTempDir FDir;
  morvotest::TScopedEnv FProgram{"MORVO_PROGRAM_DIR", FDir.Path().string()};
  std::unique_ptr<TTaskManager> FManager = std::make_unique<TTaskManager>();
  QWidget FWindow;
  QLineEdit* FOther = nullptr;
  TfrmDlg* FDialog = nullptr;
  TfrmDlg* FClosedBy = nullptr;
};

}  // namespace

TEST_F(TipDialog, ShowsItsTextsAndControlsWhereTheyBelong) {
  EXPECT_EQ(FDialog->size(), QSize(350, 120));
  EXPECT_EQ(FDialog->lblLine1->text(),
            QStringLiteral("    欢迎使用音频格式转换工具，您可对Mp3、Ape、Wav、"));
  EXPECT_EQ(FDialog->lblLine2->text(),
            QStringLiteral("Flac进行文件格式与品质转换。请点选“添加文件”按钮转 "));
  EXPECT_EQ(FDialog->lblLine3->text(), QStringLiteral("换您所需要音频文件！"));
  EXPECT_EQ(FDialog->chkTip->text(), QStringLiteral("下次不用提示"));
  EXPECT_EQ(FDialog->btnOk->text(), QStringLiteral("我知道了"));
  EXPECT_EQ(FDialog->chkTip->size(), QSize(97, 17));
  EXPECT_EQ(FDialog->btnOk->size(), QSize(75, 25));
  EXPECT_EQ(FDialog->lblLine1->pos(), QPoint(30, 20));
  EXPECT_EQ(FDialog->lblLine2->y(), FDialog->lblLine1->y() + FDialog->lblLine1->height() + 5);
  EXPECT_EQ(FDialog->lblLine3->y(), FDialog->lblLine2->y() + FDialog->lblLine2->height() + 5);
  EXPECT_EQ(FDialog->chkTip->pos(),
            QPoint(30, FDialog->lblLine3->y() + FDialog->lblLine3->height() + 10));
  EXPECT_EQ(FDialog->btnOk->x() + FDialog->btnOk->width(), 350 - 30);
  EXPECT_EQ(FDialog->btnOk->y(), FDialog->chkTip->y() - 5);
  // Everything inside the panel, whose corners are cut round.
  for (QWidget* Control :
       {static_cast<QWidget*>(FDialog->lblLine1), static_cast<QWidget*>(FDialog->lblLine2),
        static_cast<QWidget*>(FDialog->btnOk)})
    EXPECT_TRUE(FDialog->rect().contains(Control->geometry()))
        << Control->objectName().toStdString();
  EXPECT_FALSE(FDialog->mask().contains(QPoint(0, 0)));
  EXPECT_TRUE(FDialog->mask().contains(QPoint(175, 60)));
}

TEST_F(TipDialog, TabbingBetweenBoxAndButtonKeepsItOpenAnythingElseClosesIt) {
  FDialog->btnOk->setFocus();
  FDialog->chkTip->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(FDialog->isVisible());
  EXPECT_EQ(FClosedBy, nullptr);
  FOther->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(FDialog->isVisible());
  EXPECT_EQ(FClosedBy, FDialog);
  EXPECT_EQ(FManager->FTipShow, 0);
}

TEST_F(TipDialog, ConfirmingWithoutTheBoxLeavesTheSettingTickedItStopsTheTip) {
  QTest::mouseClick(FDialog->btnOk, Qt::LeftButton);
  EXPECT_FALSE(FDialog->isVisible());
  EXPECT_EQ(FClosedBy, FDialog);
  EXPECT_EQ(FManager->FTipShow, 0);

  TfrmDlg Again(&FWindow, 120, 350, FManager.get());
  Again.chkTip->setChecked(true);
  Again.btnOkClick();
  EXPECT_EQ(FManager->FTipShow, 1);

  TfrmDlg WithoutManager(&FWindow, 120, 350, nullptr);
  WithoutManager.chkTip->setChecked(true);
  WithoutManager.btnOkClick();
  EXPECT_FALSE(WithoutManager.isVisible());
}
