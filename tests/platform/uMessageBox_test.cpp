#include "platform/uMessageBox.h"

#include <gtest/gtest.h>

#include <thread>

using namespace platform;

namespace {

class MessageBoxes : public ::testing::Test {
protected:
  void SetUp() override {
    Answerer = std::make_shared<TScriptedAnswerer>();
    SetMessageBoxAnswerer(Answerer);
  }
  void TearDown() override { SetMessageBoxAnswerer(nullptr); }
  std::shared_ptr<TScriptedAnswerer> Answerer;
};

}  // namespace

TEST_F(MessageBoxes, WorkerQuestionIsAnsweredFromAnotherThread) {
  int Result = -1;
  std::thread Worker(
      [&] { Result = MessageBox(nullptr, "文件已存在，是否覆盖?", "线程1文件存在", MB_YESNO); });
  ASSERT_TRUE(WaitForMessageBox(u"线程1文件存在", 10000));
  EXPECT_TRUE(FindMessageBox(u"线程1文件存在"));
  EXPECT_TRUE(AnswerMessageBox(u"线程1文件存在", IDNO));
  Worker.join();
  EXPECT_EQ(Result, IDNO);
  EXPECT_FALSE(FindMessageBox(u"线程1文件存在"));
  ASSERT_EQ(Answerer->Seen().size(), 1u);
  EXPECT_EQ(Answerer->Seen()[0]->Text(), u"文件已存在，是否覆盖?");
  EXPECT_EQ(Answerer->Seen()[0]->Flags(), MB_YESNO);
}

TEST_F(MessageBoxes, SeveralOpenBoxesAreClosedByCaptionOnly) {
  int First = -1, Second = -1;
  std::thread A([&] { First = MessageBoxW(nullptr, u"q1", u"线程1文件存在", MB_YESNOCANCEL); });
  std::thread B([&] { Second = MessageBoxW(nullptr, u"q2", u"线程2文件存在", MB_YESNOCANCEL); });
  ASSERT_TRUE(WaitForMessageBox(u"线程1文件存在", 10000));
  ASSERT_TRUE(WaitForMessageBox(u"线程2文件存在", 10000));
  EXPECT_EQ(OpenMessageBoxes().size(), 2u);

  EXPECT_EQ(CloseMessageBox(u"线程1文件存在"), 1);  // the terminated worker's box
  EXPECT_EQ(OpenMessageBoxes().size(), 1u);  // closed at once, whether or not its worker woke yet
  A.join();
  EXPECT_EQ(First, 0);
  EXPECT_TRUE(FindMessageBox(u"线程2文件存在"));
  EXPECT_EQ(CloseMessageBox(u"线程1文件存在"), 0);

  EXPECT_TRUE(AnswerMessageBox(u"线程2文件存在", IDYES));
  B.join();
  EXPECT_EQ(Second, IDYES);
  EXPECT_TRUE(OpenMessageBoxes().empty());
}

TEST_F(MessageBoxes, ScriptedAnswersComeInOrder) {
  Answerer->Push(IDNO);
  Answerer->Push(IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "t", "退出提示", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBox(nullptr, "t", "退出提示", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(Answerer->Seen()[0]->Caption(), u"退出提示");
}

TEST(MessageBoxDefault, WithoutAnswererTheFirstButtonIsTaken) {
  SetMessageBoxAnswerer(nullptr);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OK | MB_ICONINFORMATION), IDOK);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_RETRYCANCEL), IDRETRY);
}
