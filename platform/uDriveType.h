// Drive type of the file system that holds a path (the mount found in
// /proc/self/mountinfo). Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

constexpr uint32_t DRIVE_UNKNOWN = 0;
constexpr uint32_t DRIVE_NO_ROOT_DIR = 1;
constexpr uint32_t DRIVE_REMOVABLE = 2;
constexpr uint32_t DRIVE_FIXED = 3;
constexpr uint32_t DRIVE_REMOTE = 4;
constexpr uint32_t DRIVE_CDROM = 5;
constexpr uint32_t DRIVE_RAMDISK = 6;

// Takes the whole path (not only a drive root); a path that does not exist
// is judged by its nearest existing folder; DRIVE_NO_ROOT_DIR when none. A
// CD drive of uCdDrives.h, its root and its tracks are DRIVE_CDROM.
uint32_t GetDriveTypeW(const std::u16string& Path);
// The classification alone, for a mount's file-system type and its block
// device's sysfs name and removable flag.
uint32_t ClassifyMount(const std::string& FsType, const std::string& DeviceName, bool Removable);

}  // namespace platform
