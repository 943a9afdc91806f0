#include "platform/uFileTime.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace platform {

namespace {

uint64_t ClockNanoseconds(clockid_t Clock) {
  timespec Ts{};
  clock_gettime(Clock, &Ts);
  return static_cast<uint64_t>(Ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(Ts.tv_nsec);
}

// Field 22 of /proc/self/stat: start time in clock ticks since boot. The
// command field may hold blanks and parentheses, so fields count from the
// last ")".
uint64_t ProcessStartTicksSinceBoot() {
  std::ifstream Stat("/proc/self/stat");
  std::string Line;
  std::getline(Stat, Line);
  const size_t Close = Line.rfind(')');
  if (Close == std::string::npos) return 0;
  std::istringstream Fields(Line.substr(Close + 2));
  std::string Field;
  for (int Index = 3; Index <= 22 && (Fields >> Field); ++Index)
    if (Index == 22) return std::stoull(Field);
  return 0;
}

}  // namespace

uint64_t UnixTimeToFileTime(int64_t Seconds, int64_t Nanoseconds) {
  return FileTimeUnixEpoch + static_cast<uint64_t>(Seconds * 10000000 + Nanoseconds / 100);
}

uint64_t SystemTimeAsFileTime() {
  return FileTimeUnixEpoch + ClockNanoseconds(CLOCK_REALTIME) / 100;
}

uint64_t ProcessCreationFileTime() {
  static const uint64_t Created = [] {
    const uint64_t TicksPerSecond = static_cast<uint64_t>(sysconf(_SC_CLK_TCK));
    const uint64_t StartNs = ProcessStartTicksSinceBoot() * (1000000000ull / TicksPerSecond);
    const uint64_t AgeNs = ClockNanoseconds(CLOCK_BOOTTIME) - StartNs;
    return SystemTimeAsFileTime() - AgeNs / 100;
  }();
  return Created;
}

uint32_t FileTimeToLocalDosDateTime(uint64_t FileTime) {
  const time_t Seconds = static_cast<time_t>((FileTime - FileTimeUnixEpoch) / 10000000ull);
  tm Local{};
  localtime_r(&Seconds, &Local);
  if (Local.tm_year < 80) return (1 << 5 | 1) << 16;  // DOS dates start in 1980
  const uint32_t Date =
      static_cast<uint32_t>((Local.tm_year - 80) << 9 | (Local.tm_mon + 1) << 5 | Local.tm_mday);
  const uint32_t Time =
      static_cast<uint32_t>(Local.tm_hour << 11 | Local.tm_min << 5 | Local.tm_sec / 2);
  return Date << 16 | Time;
}

std::string FormatLocalFileTime(uint64_t FileTime, const char* Format) {
  const time_t Seconds = static_cast<time_t>((FileTime - FileTimeUnixEpoch) / 10000000ull);
  tm Local{};
  localtime_r(&Seconds, &Local);
  char Text[128];
  const size_t Length = strftime(Text, sizeof Text, Format, &Local);
  return std::string(Text, Length);
}

}  // namespace platform
