#include "platform/qt/uQtMessageQueue.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"

using namespace platform;

namespace {

class TCounter : public IMessageTarget {
public:
  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t) override {
    if (!IsMainThread()) OffMainThread = true;
    if (Msg == WM_USER + 7) throw std::runtime_error("读取CUE文件失败");
    Sum += static_cast<int>(WParam);
    return static_cast<intptr_t>(WParam) + 1;
  }
  std::atomic<int> Sum{0};
  std::atomic<bool> OffMainThread{false};
};

class QtMessageQueue : public ::testing::Test {
protected:
  void SetUp() override { qt::BindMessageQueue(QStringLiteral("格式转换工具")); }
  void TearDown() override {
    qt::UnbindMessageQueue();
    SetMessageBoxAnswerer(nullptr);
  }
};

}  // namespace

TEST_F(QtMessageQueue, WorkersAreServedByQtsEventLoop) {
  TCounter Target;
  std::atomic<intptr_t> Sent{0};
  std::atomic<bool> Synchronized{false}, Done{false};
  std::thread Worker([&] {
    for (int I = 0; I < 100; ++I)
      PostMessage(&Target, WM_ENCODE_NOTIFY, 1, 0);
    Sent = SendMessage(&Target, WM_ENCODE_NOTIFY, 10, 0);
    Synchronize([&] { Synchronized = IsMainThread(); });
    Done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return Done.load(); }, 10000));
  Worker.join();
  QApplication::processEvents();
  EXPECT_EQ(Target.Sum, 110);
  EXPECT_EQ(Sent, 11);
  EXPECT_TRUE(Synchronized);
  EXPECT_FALSE(Target.OffMainThread);
}

TEST_F(QtMessageQueue, AWorkerIsServedWhileAModalBoxIsOpen) {
  QMessageBox Box(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("modal"));
  std::atomic<bool> Ran{false};
  std::thread Worker;
  QTimer::singleShot(0, [&] {
    Worker = std::thread([&] {
      // Runs on the GUI thread inside the box's own loop and ends it.
      Synchronize([&] {
        Ran = true;
        Box.done(0);
      });
    });
  });
  QTimer::singleShot(10000, &Box, [&] { Box.done(1); });  // never hang the suite
  EXPECT_EQ(Box.exec(), 0);
  Worker.join();
  EXPECT_TRUE(Ran);
}

TEST_F(QtMessageQueue, AnErrorEscapingAPostedHandlerIsShownInAnErrorBox) {
  auto Answerer = std::make_shared<TScriptedAnswerer>();
  Answerer->Push(IDOK);
  SetMessageBoxAnswerer(Answerer);
  TCounter Target;
  PostMessage(&Target, WM_USER + 7, 0, 0);
  PostMessage(&Target, WM_ENCODE_NOTIFY, 5, 0);  // the loop goes on
  EXPECT_TRUE(QTest::qWaitFor([&] { return Target.Sum.load() == 5; }, 5000));
  ASSERT_EQ(Answerer->Seen().size(), 1u);
  EXPECT_EQ(Answerer->Seen()[0]->Caption(), u"格式转换工具");
  EXPECT_EQ(Answerer->Seen()[0]->Text(), u"读取CUE文件失败");
  EXPECT_EQ(Answerer->Seen()[0]->Flags() & 0xF0, MB_ICONERROR);
}
