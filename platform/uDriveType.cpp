#include "platform/uDriveType.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "platform/uCdFiles.h"
#include "platform/uCodePage.h"

namespace platform {

namespace {

struct TMount {
  std::string Device;  // "major:minor"
  std::string MountPoint;
  std::string FsType;
};

// Mount points escape blanks and such as octal "\040".
std::string Unescape(const std::string& Field) {
  std::string Out;
  for (size_t I = 0; I < Field.size(); ++I) {
    if (Field[I] == '\\' && I + 3 < Field.size()) {
      Out += static_cast<char>(std::stoi(Field.substr(I + 1, 3), nullptr, 8));
      I += 3;
    } else {
      Out += Field[I];
    }
  }
  return Out;
}

std::vector<TMount> ReadMounts() {
  std::vector<TMount> Mounts;
  std::ifstream Info("/proc/self/mountinfo");
  std::string Line;
  while (std::getline(Info, Line)) {
    std::istringstream Fields(Line);
    std::string Id, Parent, Device, Root, MountPoint, Field;
    Fields >> Id >> Parent >> Device >> Root >> MountPoint;
    while (Fields >> Field && Field != "-") {
    }
    TMount Mount{Device, Unescape(MountPoint), {}};
    Fields >> Mount.FsType;
    Mounts.push_back(Mount);
  }
  return Mounts;
}

bool IsUnder(const std::string& Path, const std::string& MountPoint) {
  if (MountPoint == "/") return true;
  return Path.compare(0, MountPoint.size(), MountPoint) == 0 &&
         (Path.size() == MountPoint.size() || Path[MountPoint.size()] == '/');
}

std::string ReadFirstLine(const std::string& File) {
  std::ifstream In(File);
  std::string Line;
  std::getline(In, Line);
  return Line;
}

// The sysfs name of a block device and whether it (or, for a partition,
// its disk) is removable.
void DescribeDevice(const std::string& Device, std::string& Name, bool& Removable) {
  const std::string SysPath = "/sys/dev/block/" + Device;
  char Resolved[PATH_MAX];
  Name.clear();
  Removable = false;
  if (!realpath(SysPath.c_str(), Resolved)) return;
  const std::string Full = Resolved;
  Name = Full.substr(Full.rfind('/') + 1);
  Removable =
      ReadFirstLine(Full + "/removable") == "1" || ReadFirstLine(Full + "/../removable") == "1";
}

std::string ExistingAncestor(std::string Path) {
  struct stat St;
  while (!Path.empty() && stat(Path.c_str(), &St) != 0) {
    const size_t Slash = Path.find_last_of('/', Path.size() > 1 ? Path.size() - 2 : 0);
    if (Slash == std::string::npos) return {};
    Path = Path.substr(0, Slash == 0 ? 1 : Slash);
  }
  return Path;
}

}  // namespace

uint32_t ClassifyMount(const std::string& FsType, const std::string& DeviceName, bool Removable) {
  static const char* const Remote[] = {"nfs",   "nfs4",  "cifs",       "smb3",
                                       "smbfs", "sshfs", "fuse.sshfs", "9p",
                                       "afs",   "ncpfs", "davfs",      "fuse.rclone"};
  for (const char* Kind : Remote)
    if (FsType == Kind) return DRIVE_REMOTE;
  if (FsType == "tmpfs" || FsType == "ramfs") return DRIVE_RAMDISK;
  const bool Optical = DeviceName.rfind("sr", 0) == 0;
  if (Optical || ((FsType == "iso9660" || FsType == "udf") && Removable)) return DRIVE_CDROM;
  if (Removable) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

uint32_t GetDriveTypeW(const std::u16string& Path) {
  // A CD drive's root and tracks (uCdFiles.h) are not mounted anywhere.
  if (!CdDriveOfPath(Path).empty()) return DRIVE_CDROM;
  const std::string Existing = ExistingAncestor(WideToPath(Path));
  if (Existing.empty()) return DRIVE_NO_ROOT_DIR;
  char Resolved[PATH_MAX];
  if (!realpath(Existing.c_str(), Resolved)) return DRIVE_NO_ROOT_DIR;
  const TMount* Best = nullptr;
  const std::vector<TMount> Mounts = ReadMounts();
  for (const TMount& Mount : Mounts)  // later mounts hide earlier ones
    if (IsUnder(Resolved, Mount.MountPoint) &&
        (!Best || Mount.MountPoint.size() >= Best->MountPoint.size()))
      Best = &Mount;
  if (!Best) return DRIVE_UNKNOWN;
  std::string DeviceName;
  bool Removable = false;
  DescribeDevice(Best->Device, DeviceName, Removable);
  return ClassifyMount(Best->FsType, DeviceName, Removable);
}

}  // namespace platform
