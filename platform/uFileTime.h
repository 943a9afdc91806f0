// Times as 64-bit file times: 100-ns units since 1601-01-01 UTC.
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr uint64_t FileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01

uint64_t SystemTimeAsFileTime();
// When this process was started (clock-tick precision).
uint64_t ProcessCreationFileTime();
uint64_t UnixTimeToFileTime(int64_t Seconds, int64_t Nanoseconds);
// Local-time DOS date (high 16 bits) and time (low 16 bits) of a file time.
uint32_t FileTimeToLocalDosDateTime(uint64_t FileTime);
// A file time in local time, formatted as strftime formats it.
std::string FormatLocalFileTime(uint64_t FileTime, const char* Format);

}  // namespace platform
