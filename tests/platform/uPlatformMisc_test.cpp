// Threads, events, file times, drive types and the trash.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/uCodePage.h"
#include "platform/uDriveType.h"
#include "platform/uFileTime.h"
#include "platform/uSync.h"
#include "platform/uThreads.h"
#include "platform/uTrash.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"

using morvotest::TScopedEnv;
using morvotest::TTempDir;

using namespace platform;

TEST(Threads, MainThreadAndKernelIds) {
  EXPECT_TRUE(IsMainThread());
  EXPECT_EQ(CurrentThreadId(), static_cast<uint32_t>(getpid()));
  uint32_t WorkerId = 0;
  bool WorkerIsMain = true;
  std::thread([&] {
    WorkerId = CurrentThreadId();
    WorkerIsMain = IsMainThread();
  }).join();
  EXPECT_NE(WorkerId, 0u);
  EXPECT_NE(WorkerId, CurrentThreadId());
  EXPECT_FALSE(WorkerIsMain);
  EXPECT_GE(ProcessorCount(), 1u);
}

TEST(Events, AutoResetReleasesOneWaiterPerSet) {
  TEvent Event(u"Encode_Work_Event_1_0000abcd");
  EXPECT_EQ(Event.Name(), u"Encode_Work_Event_1_0000abcd");
  EXPECT_FALSE(Event.WaitFor(0));
  std::atomic<int> Released{0};
  std::thread A([&] { Released += Event.WaitFor(5000); });
  std::thread B([&] { Released += Event.WaitFor(300); });
  Event.SetEvent();
  A.join();
  B.join();
  EXPECT_EQ(Released, 1);  // the other one timed out
  Event.SetEvent();
  EXPECT_TRUE(Event.WaitFor(0));
  EXPECT_FALSE(Event.WaitFor(0));  // reset by the wait
}

TEST(Events, ManualResetStaysSet) {
  TEvent Event(u"m", true);
  Event.SetEvent();
  EXPECT_TRUE(Event.WaitFor(0));
  EXPECT_TRUE(Event.WaitFor(0));
  Event.ResetEvent();
  EXPECT_FALSE(Event.WaitFor(10));
}

TEST(FileTimes, ProcessCreationPrecedesNowAndUnitsAre100ns) {
  const uint64_t Now = SystemTimeAsFileTime();
  const uint64_t Created = ProcessCreationFileTime();
  EXPECT_LE(Created, Now);
  EXPECT_LT(Now - Created, 3600ull * 10000000ull);  // this test process is younger than an hour
  EXPECT_EQ(UnixTimeToFileTime(0, 0), 116444736000000000ull);
  EXPECT_EQ(UnixTimeToFileTime(1, 500), 116444736000000000ull + 10000005ull);
  const auto Before = SystemTimeAsFileTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(SystemTimeAsFileTime() - Before, 200000u);
}

TEST(FileTimes, DosDateTime) {
  const TScopedEnv Utc("TZ", "UTC");
  tzset();
  // 2024-03-05 13:45:30 UTC
  const uint32_t Dos = FileTimeToLocalDosDateTime(UnixTimeToFileTime(1709646330, 0));
  EXPECT_EQ(Dos >> 16, static_cast<uint32_t>((2024 - 1980) << 9 | 3 << 5 | 5));
  EXPECT_EQ(Dos & 0xFFFF, static_cast<uint32_t>(13 << 11 | 45 << 5 | 15));
}

TEST(DriveType, MountsAreClassifiedByFileSystemAndDevice) {
  EXPECT_EQ(ClassifyMount("nfs4", "", false), DRIVE_REMOTE);
  EXPECT_EQ(ClassifyMount("cifs", "", false), DRIVE_REMOTE);
  EXPECT_EQ(ClassifyMount("fuse.sshfs", "", false), DRIVE_REMOTE);
  EXPECT_EQ(ClassifyMount("iso9660", "sr0", true), DRIVE_CDROM);
  EXPECT_EQ(ClassifyMount("udf", "sr1", false), DRIVE_CDROM);
  EXPECT_EQ(ClassifyMount("vfat", "sdb1", true), DRIVE_REMOVABLE);
  EXPECT_EQ(ClassifyMount("ext4", "nvme0n1p2", false), DRIVE_FIXED);
  EXPECT_EQ(ClassifyMount("tmpfs", "", false), DRIVE_RAMDISK);
  EXPECT_EQ(ClassifyMount("iso9660", "loop0", false), DRIVE_FIXED);  // an image mounted from a file
}

TEST(DriveType, PathsAreJudgedByTheMountThatHoldsThem) {
  EXPECT_EQ(GetDriveTypeW(u"relative/nowhere"), DRIVE_NO_ROOT_DIR);
  // /proc is never a removable, remote or RAM drive; a missing file below a
  // real folder is judged by that folder.
  EXPECT_EQ(GetDriveTypeW(u"/proc/self"), DRIVE_FIXED);
  std::ifstream Mounts("/proc/self/mountinfo");
  std::string Line;
  bool ShmIsTmpfs = false;
  while (std::getline(Mounts, Line))
    if (Line.find(" /dev/shm ") != std::string::npos && Line.find(" - tmpfs ") != std::string::npos)
      ShmIsTmpfs = true;
  if (ShmIsTmpfs) {
    EXPECT_EQ(GetDriveTypeW(u"/dev/shm/not/there.wav"), DRIVE_RAMDISK);
  }
}

TEST(Trash, FileMovesToTheUsersTrash) {
  TTempDir Dir;
  // GLib reads XDG_DATA_HOME once per process: this is the only GLib user here.
  const TScopedEnv DataHome("XDG_DATA_HOME", (Dir / "data").string());
  std::filesystem::create_directories(Dir / "data");
  const std::string Victim = Dir / "source.wav";
  std::ofstream(Victim) << "RIFF";
  std::string Error;
  ASSERT_TRUE(MoveToTrash(PathToWide(Victim), &Error)) << Error;
  EXPECT_FALSE(std::filesystem::exists(Victim));
  EXPECT_TRUE(std::filesystem::exists(Dir / "data/Trash/files/source.wav"));
  EXPECT_FALSE(MoveToTrash(PathToWide(Victim), &Error));
  EXPECT_FALSE(Error.empty());
}
