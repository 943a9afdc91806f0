// Starting another program with file names for arguments.
#include "platform/uShell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"

using namespace platform;

TEST(Shell, ArgumentsKeepTheBytesOfTheirFileNames) {
  morvotest::TTempDir Dir;
  const std::string Out = (Dir / "args").string();
  const std::string Name = (Dir / "caf\xE9 \xC4\xE3.wav").string();
  ASSERT_TRUE(
      LaunchProgram(u"/bin/sh", {u"-c", u"printf %s \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"",
                                 PathToWide(Out), PathToWide(Name)}));
  for (int I = 0; I < 200 && !std::filesystem::exists(Out); ++I)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(morvotest::ReadBytes(Out), Name);
}

// Without a session bus there is no file manager to ask: the caller opens
// the folder instead.
TEST(Shell, ShowingAnItemWithoutASessionBusFails) {
  morvotest::TTempDir Dir;
  const std::string File = (Dir / "a.flac").string();
  morvotest::WriteBytes(File, "fLaC");
  morvotest::TScopedEnv Bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (Dir / "no-bus").string());
  EXPECT_FALSE(ShowItemInFileManager(PathToWide(File)));
}
