// main() of the window's test executables (shared by the Qt binding's,
// the widgets' and the forms' tests): a QApplication on the offscreen
// platform unless the caller chose another one, the test's thread as the
// main thread, then every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/uThreads.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication App(argc, argv);
  platform::RegisterMainThread();
  return RUN_ALL_TESTS();
}
