#include "platform/qt/uQtMessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "platform/qt/uQtMessageQueue.h"

using namespace platform;

namespace {

class QtMessageBox : public ::testing::Test {
protected:
  void SetUp() override {
    qt::BindMessageQueue(QStringLiteral("t"));
    SetMessageBoxAnswerer(FAnswerer);
  }
  void TearDown() override {
    SetMessageBoxAnswerer(nullptr);
    qt::UnbindMessageQueue();
  }
  std::shared_ptr<qt::TQtMessageBoxAnswerer> FAnswerer =
      std::make_shared<qt::TQtMessageBoxAnswerer>();
};

QMessageBox* ShownBox(const QString& Title) {
  for (QWidget* Window : QApplication::topLevelWidgets())
    if (auto* Box = qobject_cast<QMessageBox*>(Window);
        Box && Box->isVisible() && Box->windowTitle() == Title)
      return Box;
  return nullptr;
}

QStringList ButtonTexts(QMessageBox& Box) {
  QStringList Texts;
  for (QAbstractButton* Button : Box.buttons())
    Texts << Button->text();
  Texts.sort();
  return Texts;
}

}  // namespace

TEST_F(QtMessageBox, WorkersQuestionsOpenTogetherAndCloseByCaption) {
  std::atomic<int> First{-1}, Second{-1};
  std::thread W1([&] {
    First = MessageBoxW(nullptr, u"/music/a.mp3\r\n文件已经存在，覆盖吗?", u"线程1文件存在",
                        MB_YESNO | MB_ICONQUESTION);
  });
  std::thread W2([&] {
    Second = MessageBoxW(nullptr, u"/music/b.mp3\r\n文件已经存在，覆盖吗?", u"线程2文件存在",
                         MB_YESNO | MB_ICONQUESTION);
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [] {
        return ShownBox(QStringLiteral("线程1文件存在")) &&
               ShownBox(QStringLiteral("线程2文件存在"));
      },
      10000));
  QMessageBox* Box1 = ShownBox(QStringLiteral("线程1文件存在"));
  EXPECT_EQ(Box1->text(), QStringLiteral("/music/a.mp3\n文件已经存在，覆盖吗?"));
  EXPECT_EQ(Box1->icon(), QMessageBox::Question);
  EXPECT_EQ(ButtonTexts(*Box1), (QStringList{QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")}));
  EXPECT_EQ(Box1->defaultButton(), Box1->button(QMessageBox::Yes));

  // A terminated worker's box goes (answer 0); the other stays.
  std::thread Closer([] { EXPECT_EQ(CloseMessageBox(u"线程2文件存在"), 1); });
  Closer.join();
  W2.join();
  EXPECT_EQ(Second, 0);
  EXPECT_TRUE(QTest::qWaitFor([] { return !ShownBox(QStringLiteral("线程2文件存在")); }, 5000));
  ASSERT_NE(ShownBox(QStringLiteral("线程1文件存在")), nullptr);

  ShownBox(QStringLiteral("线程1文件存在"))->button(QMessageBox::Yes)->click();
  W1.join();
  EXPECT_EQ(First, IDYES);
}

TEST_F(QtMessageBox, ABoxOfTheGuiThreadIsModalToItsOwnerAndAnsweredOnReturn) {
  QWidget Owner;
  int OwnerKey = 0;  // the pointer the engine knows the window by
  qt::RegisterBoxOwner(&OwnerKey, &Owner);
  Owner.show();
  QWidget* Parent = nullptr;
  QStringList Buttons;
  QTimer::singleShot(0, [&] {
    auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(Box, nullptr);
    Parent = Box->parentWidget();
    Buttons = ButtonTexts(*Box);
    Box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(MessageBoxW(&OwnerKey, u"您正在进行歌曲转换，是否真要退出?", u"退出提示",
                        MB_YESNO | MB_ICONINFORMATION),
            IDNO);
  EXPECT_EQ(Parent, &Owner);
  EXPECT_EQ(Buttons, (QStringList{QStringLiteral("否(&N)"), QStringLiteral("是(&Y)")}));
  qt::UnregisterBoxOwner(&OwnerKey);
  EXPECT_EQ(qt::BoxOwnerWidget(&OwnerKey), nullptr);
}

TEST_F(QtMessageBox, ButtonsMapToTheirAnswers) {
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Ok), IDOK);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Cancel), IDCANCEL);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Abort), IDABORT);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Retry), IDRETRY);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Ignore), IDIGNORE);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::Yes), IDYES);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::No), IDNO);
  EXPECT_EQ(qt::AnswerOfButton(QMessageBox::NoButton), 0);
}
