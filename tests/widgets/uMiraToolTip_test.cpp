#include "widgets/uMiraToolTip.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "widgets/uMiraHintAdaptor.h"
#include "widgets/uMiraHintWindow.h"

namespace {

class TPressCounter : public QWidget {
public:
  int Presses = 0;

protected:
  void mousePressEvent(QMouseEvent*) override { ++Presses; }
};

class MiraToolTip : public ::testing::Test {
protected:
  void SetUp() override {
    FTip = ::MiraToolTip();
    ASSERT_NE(FTip, nullptr);
    FTip->Hide();
  }
  void TearDown() override { FTip->Hide(); }
  TMiraToolTip* FTip = nullptr;
};

}  // namespace

TEST_F(MiraToolTip, TipsAreKeptOnTheWorkAreaOfTheirOwnScreen) {
  // 300 pixels of text and 10 on each side at 1700 on a screen 1920 wide.
  EXPECT_EQ(TMiraToolTip::KeepOnWorkArea({1700, 100}, {320, 40}, QRect(0, 0, 1920, 1040)),
            QPoint(1600, 100));
  EXPECT_EQ(TMiraToolTip::KeepOnWorkArea({100, 1030}, {320, 40}, QRect(0, 0, 1920, 1040)),
            QPoint(100, 1000));
  EXPECT_EQ(TMiraToolTip::KeepOnWorkArea({100, 100}, {320, 40}, QRect(0, 0, 1920, 1040)),
            QPoint(100, 100));
  // A second screen right of the first: the tip stays on it.
  EXPECT_EQ(TMiraToolTip::KeepOnWorkArea({3000, 100}, {320, 40}, QRect(1920, 0, 1280, 1024)),
            QPoint(2880, 100));
}

TEST_F(MiraToolTip, AShownTipHidesAfterItsIntervalButNotWithout) {
  FTip->Balloon = false;
  FTip->SetText(u"提示");
  FTip->Interval = 40;
  FTip->ShowAt(50, 50);
  EXPECT_TRUE(FTip->Visible());
  EXPECT_TRUE(FTip->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !FTip->Visible(); }, 5000));
  EXPECT_FALSE(FTip->isVisible());

  FTip->Interval = 0;
  FTip->ShowAt(50, 50);
  QTest::qWait(150);
  EXPECT_TRUE(FTip->Visible());
}

TEST_F(MiraToolTip, TheBalloonsCloseButtonHidesIt) {
  FTip->Balloon = true;
  FTip->ShowCloseButton = true;
  FTip->Interval = 0;
  FTip->SetText(u"文件名不能包含下列任何字符之一");
  FTip->ShowAt(200, 200);
  ASSERT_TRUE(FTip->Visible());
  QTest::mouseClick(FTip, Qt::LeftButton, {}, QPoint(5, FTip->height() / 2));  // the body: stays
  EXPECT_TRUE(FTip->Visible());
  // The cross sits in the body's top right corner, below the stem.
  QTest::mouseClick(FTip, Qt::LeftButton, {}, QPoint(FTip->width() - 12, 12 + 10));
  EXPECT_FALSE(FTip->Visible());
}

TEST_F(MiraToolTip, ABalloonEndsWithAClickElsewhereWhichIsStillDelivered) {
  TPressCounter Other;
  Other.resize(100, 100);
  Other.show();
  // The other window has been up a while, its activation long settled.
  QCoreApplication::processEvents();
  bool LoopWasRunning = false;
  QTimer::singleShot(30, [&] {
    LoopWasRunning = BalloonLoopRunning();
    QTest::mouseClick(&Other, Qt::LeftButton, {}, QPoint(10, 10));
  });
  QElapsedTimer Clock;
  Clock.start();
  ShowBalloon(300, 300, u"文件名不能包含下列任何字符之一", 0, TTipIcon::ttNoneIcon, 20000, {});
  EXPECT_LT(Clock.elapsed(), 10000);
  EXPECT_TRUE(LoopWasRunning);
  EXPECT_EQ(Other.Presses, 1);
  EXPECT_FALSE(FTip->Visible());
  EXPECT_FALSE(BalloonLoopRunning());
  EXPECT_TRUE(FTip->CanHide);
}

TEST_F(MiraToolTip, ABalloonEndsAfterItsIntervalAndASecondOneOnlyMovesIt) {
  bool SecondReturned = false;
  QPoint MovedTo;
  QTimer::singleShot(20, [&] {
    ShowBalloon(500, 400, u"第二个", sbCenterTip, TTipIcon::ttWarningIcon, 100, u"标题");
    SecondReturned = true;
    MovedTo = FTip->pos();
  });
  ShowBalloon(100, 100, u"第一个", 0, TTipIcon::ttNoneIcon, 100, {});
  EXPECT_TRUE(SecondReturned);
  EXPECT_GT(MovedTo.x(), 300);  // centred on 500 now
  EXPECT_EQ(FTip->Text(), u"第二个");
  EXPECT_EQ(FTip->Title(), u"标题");
  EXPECT_FALSE(FTip->Visible());
}

TEST_F(MiraToolTip, HintsAreRectangularTipsAndTheSameHintDoesNotFlicker) {
  TMiraHintWindow& Hints = *MiraHintWindow();
  QSignalSpy Shown(FTip, &TMiraToolTip::Shown);
  Hints.ActivateHint(QRect(40, 60, 1, 1), "\xEF\xBB\xBF"
                                          "添加文件");
  EXPECT_TRUE(FTip->Visible());
  EXPECT_FALSE(FTip->Balloon);
  EXPECT_EQ(FTip->Interval, 2000);
  EXPECT_EQ(FTip->Text(), u"添加文件");
  Hints.ActivateHint(QRect(40, 60, 1, 1), "\xEF\xBB\xBF"
                                          "添加文件");
  EXPECT_EQ(Shown.count(), 1);
  Hints.ActivateHint(QRect(40, 60, 1, 1), "\xEF\xBB\xBF"
                                          "CD抓轨");
  EXPECT_EQ(Shown.count(), 2);
}

TEST_F(MiraToolTip, HintTextIsUtf8AfterItsMarkAndTheSystemCodePageOtherwise) {
  const morvotest::TScopedEnv Gbk("MORVO_ACP", "936");
  EXPECT_EQ(DecodeHintText("\xEF\xBB\xBF\xE6\xB7\xBB\xE5\x8A\xA0"), u"添加");
  EXPECT_EQ(DecodeHintText("\xCC\xED\xBC\xD3"), u"添加");  // GBK
}

TEST_F(MiraToolTip, AWidgetsHintGoesThroughTheSharedTip) {
  QWidget Button;
  Button.setToolTip(QStringLiteral("转换文件"));
  Button.resize(50, 20);
  Button.show();
  QHelpEvent Help(QEvent::ToolTip, QPoint(5, 5), Button.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(&Button, &Help);
  EXPECT_TRUE(FTip->Visible());
  EXPECT_EQ(FTip->Text(), u"转换文件");
  // A press ends a hint.
  QTest::mouseClick(&Button, Qt::LeftButton);
  EXPECT_FALSE(FTip->Visible());
}

TEST(MiraHintAdaptor, AKeptControlClosesOnRequestOrAPressOutsideIt) {
  TMiraHintAdaptor Adaptor;
  QWidget* Closed = nullptr;
  Adaptor.FOnHide = [&](QWidget* Control) { Closed = Control; };
  QPointer<QWidget> Popup = new QWidget;
  Popup->setGeometry(10, 10, 50, 50);
  Popup->show();
  Adaptor.Keep(Popup);
  EXPECT_TRUE(Adaptor.IsShowing());
  Adaptor.RequestHide(false);
  EXPECT_TRUE(Adaptor.IsShowing());  // from the event loop, not inside the call
  EXPECT_TRUE(QTest::qWaitFor([&] { return Popup.isNull(); }, 5000));
  EXPECT_NE(Closed, nullptr);
  EXPECT_FALSE(Adaptor.IsShowing());

  QPointer<QWidget> Second = new QWidget;
  Second->setGeometry(10, 10, 50, 50);
  Second->show();
  Adaptor.Keep(Second);
  TPressCounter Elsewhere;
  Elsewhere.setGeometry(300, 300, 40, 40);
  Elsewhere.show();
  QTest::mouseClick(&Elsewhere, Qt::LeftButton);
  EXPECT_FALSE(Adaptor.IsShowing());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Second.isNull(); }, 5000));
}
