#include "platform/uProgramDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

namespace fs = std::filesystem;

namespace {

using morvotest::TScopedEnv;
using morvotest::TTempDir;

TEST(ProgramDataDir, TheOverrideComesFirst) {
  TTempDir Dir;
  TScopedEnv Env("MORVO_PROGRAM_DIR", Dir.Path().string());
  EXPECT_EQ(platform::ProgramDataDir(), platform::PathToWide(Dir.Path().string() + "/"));
}

TEST(ProgramDataDir, AWritableExecutableFolderKeepsTheFiles) {
  TScopedEnv Env("MORVO_PROGRAM_DIR", std::nullopt);
  if (access(platform::WideToPath(platform::ExecutableDir()).c_str(), W_OK) != 0)
    GTEST_SKIP() << "the test program's folder is not writable here";
  EXPECT_EQ(platform::ProgramDataDir(), platform::ExecutableDir());
}

// A user who may not write beside the program (an installed copy) keeps
// the files in the configuration folder, which is made on first use.
TEST(ProgramDataDir, AnInstalledProgramUsesTheUsersConfigFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  TTempDir Config;
  fs::permissions(Config.Path(), fs::perms::all);
  TScopedEnv ProgramEnv("MORVO_PROGRAM_DIR", std::nullopt);
  TScopedEnv ConfigEnv("XDG_CONFIG_HOME", (Config.Path() / "cfg").string());
  fs::create_directories(Config.Path() / "cfg");
  fs::permissions(Config.Path() / "cfg", fs::perms::all);
  const std::string Expected = (Config.Path() / "cfg/Morvo/").string();
  const pid_t Child = fork();
  if (Child == 0) {
    // nobody cannot write into the build's bin folder (owned by root).
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const bool Right =
        platform::WideToPath(platform::ProgramDataDir()) == Expected && fs::is_directory(Expected);
    _exit(Right ? 0 : 1);
  }
  int Status = 0;
  ASSERT_EQ(waitpid(Child, &Status, 0), Child);
  ASSERT_TRUE(WIFEXITED(Status));
  EXPECT_EQ(WEXITSTATUS(Status), 0) << "expected " << Expected;
}

}  // namespace
