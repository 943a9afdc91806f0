#include "platform/uFileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/uCdFiles.h"
#include "platform/uCodePage.h"
#include "platform/uFileTime.h"

namespace platform {

namespace {

thread_local uint32_t LastErrorCode = 0;
// The errno behind LastErrorCode, 0 when the code did not come from one.
thread_local int LastErrno = 0;

// Share-mode bookkeeping: each open holds shared OFD locks on marker bytes
// far beyond any real data, one byte per "I read", "I write", "I deny
// reading", "I deny writing". An open conflicts when a marker it must not
// meet is held by any other open description of the file.
constexpr off_t MarkerBase = 0x7FFFFFFF00000000LL;
constexpr off_t MarkerReads = MarkerBase + 0;
constexpr off_t MarkerWrites = MarkerBase + 1;
constexpr off_t MarkerDeniesRead = MarkerBase + 2;
constexpr off_t MarkerDeniesWrite = MarkerBase + 3;

// A lock of Type on the one byte at Marker.
struct flock MarkerLock(short Type, off_t Marker) {
  struct flock Lock {};
  Lock.l_type = Type;
  Lock.l_whence = SEEK_SET;
  Lock.l_start = Marker;
  Lock.l_len = 1;
  return Lock;
}

bool MarkerHeldByOthers(int Fd, off_t Marker) {
  struct flock Probe = MarkerLock(F_WRLCK, Marker);
  if (fcntl(Fd, F_OFD_GETLK, &Probe) != 0) return false;
  return Probe.l_type != F_UNLCK;
}

bool HoldMarker(int Fd, off_t Marker) {
  struct flock Lock = MarkerLock(F_RDLCK, Marker);
  if (fcntl(Fd, F_OFD_SETLK, &Lock) == 0) return true;
  // A write-only descriptor (a file we may not read) cannot hold read
  // locks: such an open goes without share emulation rather than failing.
  return errno == EBADF;
}

// Checks and takes the markers as one step: flock on the file serialises
// concurrent openers (flock and OFD locks are independent on Linux).
bool ClaimShareMode(int Fd, uint32_t Access, uint32_t Share) {
  if (flock(Fd, LOCK_EX) != 0) return true;  // file system without locks: no emulation
  const bool Conflict = ((Access & GENERIC_READ) && MarkerHeldByOthers(Fd, MarkerDeniesRead)) ||
                        ((Access & GENERIC_WRITE) && MarkerHeldByOthers(Fd, MarkerDeniesWrite)) ||
                        (!(Share & FILE_SHARE_READ) && MarkerHeldByOthers(Fd, MarkerReads)) ||
                        (!(Share & FILE_SHARE_WRITE) && MarkerHeldByOthers(Fd, MarkerWrites));
  bool Held = !Conflict;
  if (Held && (Access & GENERIC_READ)) Held = HoldMarker(Fd, MarkerReads);
  if (Held && (Access & GENERIC_WRITE)) Held = HoldMarker(Fd, MarkerWrites);
  if (Held && !(Share & FILE_SHARE_READ)) Held = HoldMarker(Fd, MarkerDeniesRead);
  if (Held && !(Share & FILE_SHARE_WRITE)) Held = HoldMarker(Fd, MarkerDeniesWrite);
  flock(Fd, LOCK_UN);
  return Held;
}

bool ParentExists(const std::string& Path) {
  const size_t Slash = Path.rfind('/');
  if (Slash == std::string::npos || Slash == 0) return true;
  struct stat St;
  return stat(Path.substr(0, Slash).c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

uint32_t ErrorFromErrno(int Err, const std::string& Path) {
  switch (Err) {
  case 0:
    return ERROR_SUCCESS;
  case ENOENT:
    return ParentExists(Path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  case ENOTDIR:
    return ERROR_PATH_NOT_FOUND;
  case EACCES:
  case EPERM:
  case EISDIR:
  case EROFS:
  case ETXTBSY:
    return ERROR_ACCESS_DENIED;
  case EEXIST:
    return ERROR_ALREADY_EXISTS;
  case ENAMETOOLONG:
    return ERROR_FILENAME_EXCED_RANGE;
  case EINVAL:
  case EILSEQ:
    return ERROR_INVALID_NAME;
  case ENOSPC:
  case EDQUOT:
    return ERROR_DISK_FULL;
  case EBADF:
    return ERROR_INVALID_HANDLE;
  default:
    return 0x20000000u | static_cast<uint32_t>(Err);  // customer bit + errno
  }
}

void SetErrnoError(const std::string& Path) {
  LastErrno = errno;
  LastErrorCode = ErrorFromErrno(errno, Path);
}

void SetPlainError(uint32_t Code) {
  LastErrno = 0;
  LastErrorCode = Code;
}

uint32_t AttributesOf(const struct stat& St, const std::string& Path) {
  uint32_t Attr = 0;
  if (S_ISDIR(St.st_mode)) Attr |= FILE_ATTRIBUTE_DIRECTORY;
  if (access(Path.c_str(), W_OK) != 0 && errno == EACCES) Attr |= FILE_ATTRIBUTE_READONLY;
  const size_t Slash = Path.rfind('/');
  const std::string Leaf = Slash == std::string::npos ? Path : Path.substr(Slash + 1);
  if (!Leaf.empty() && Leaf[0] == '.' && Leaf != "." && Leaf != "..") Attr |= FILE_ATTRIBUTE_HIDDEN;
  if (!S_ISDIR(St.st_mode) && !S_ISREG(St.st_mode))
    Attr |= FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
  return Attr == 0 ? FILE_ATTRIBUTE_NORMAL : Attr;
}

// A file that is open but no longer has a name.
bool IsUnlinked(int Fd) {
  struct stat St;
  return fstat(Fd, &St) == 0 && St.st_nlink == 0;
}

bool IsRegularFile(int Fd) {
  struct stat St;
  return fstat(Fd, &St) == 0 && S_ISREG(St.st_mode);
}

// False also when the size cannot be learnt: the caller truncates then.
bool IsEmptyFile(int Fd) {
  struct stat St;
  return fstat(Fd, &St) == 0 && St.st_size == 0;
}

// Opens Path and claims the share mode; -1 with the last error set. An open
// that waited while a deleter removed the file would hold a file without a
// name: it opens the name again, as an open after the delete does.
// The open itself never blocks: a FIFO would wait for a writer forever.
// Folders, FIFOs, sockets and devices are refused once open, and the
// descriptor of a regular file goes back to blocking reads and writes.
int OpenClaimed(const std::string& Path, int Flags, uint32_t Access, uint32_t Share) {
  Flags |= O_NONBLOCK;
  for (;;) {
    int Fd = open(Path.c_str(), Flags, 0666);
    if (Fd < 0 && errno == EACCES && Access == GENERIC_WRITE)
      Fd = open(Path.c_str(), (Flags & ~O_RDWR) | O_WRONLY, 0666);
    if (Fd < 0) {
      SetErrnoError(Path);
      return -1;
    }
    if (!IsRegularFile(Fd) || fcntl(Fd, F_SETFL, fcntl(Fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      close(Fd);
      SetPlainError(ERROR_ACCESS_DENIED);
      return -1;
    }
    if (!ClaimShareMode(Fd, Access, Share)) {
      close(Fd);
      SetPlainError(ERROR_SHARING_VIOLATION);
      return -1;
    }
    if (!IsUnlinked(Fd)) return Fd;
    close(Fd);
  }
}

}  // namespace

uint32_t GetLastError() { return LastErrorCode; }
void SetLastError(uint32_t Code) { SetPlainError(Code); }

std::string LastSystemReason() {
  if (LastErrno == 0) return SysErrorMessage(LastErrorCode);
  char Buffer[256];
  return strerror_r(LastErrno, Buffer, sizeof Buffer);
}

std::string SysErrorMessage(uint32_t Code) {
  switch (Code) {
  case ERROR_SUCCESS:
    return "The operation completed successfully";
  case ERROR_FILE_NOT_FOUND:
    return "The system cannot find the file specified";
  case ERROR_PATH_NOT_FOUND:
    return "The system cannot find the path specified";
  case ERROR_ACCESS_DENIED:
    return "Access is denied";
  case ERROR_INVALID_HANDLE:
    return "The handle is invalid";
  case ERROR_NO_MORE_FILES:
    return "There are no more files";
  case ERROR_SHARING_VIOLATION:
    return "The process cannot access the file because it is being used by another process";
  case ERROR_DISK_FULL:
    return "There is not enough space on the disk";
  case ERROR_INVALID_NAME:
    return "The filename, directory name, or volume label syntax is incorrect";
  case ERROR_ALREADY_EXISTS:
    return "Cannot create a file when that file already exists";
  case ERROR_FILENAME_EXCED_RANGE:
    return "The filename or extension is too long";
  default:
    break;
  }
  if (Code & 0x20000000u) {
    char Buffer[256];
    return strerror_r(static_cast<int>(Code & 0xFFFF), Buffer, sizeof Buffer);
  }
  return "System error " + std::to_string(Code);
}

uint32_t GetFileAttributesW(const std::u16string& Name) {
  const std::string Path = WideToPath(Name);
  struct stat St;
  if (Path.empty()) {
    SetPlainError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (stat(Path.c_str(), &St) != 0) {
    // A file below a non-folder may be a CD track below its drive.
    uint32_t Attributes = 0;
    uint64_t Size = 0;
    if (errno == ENOTDIR)
      return CdFileAttributes(Name, Attributes, Size) ? Attributes : INVALID_FILE_ATTRIBUTES;
    SetErrnoError(Path);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(St, Path);
}

bool CreateDirectoryW(const std::u16string& Name) {
  const std::string Path = WideToPath(Name);
  if (mkdir(Path.c_str(), 0777) == 0) return true;
  SetErrnoError(Path);
  return false;
}

std::u16string GetFullPathNameW(const std::u16string& Name) {
  std::string Path = WideToPath(Name);
  if (Path.empty()) {
    SetPlainError(ERROR_INVALID_NAME);
    return {};
  }
  if (Path[0] != '/') {
    char Cwd[4096];
    if (!getcwd(Cwd, sizeof(Cwd))) {
      SetErrnoError(Path);
      return {};
    }
    Path = std::string(Cwd) + "/" + Path;
  }
  // Lexical clean-up of "//", "/./" and "/../" as the Windows call does.
  std::vector<std::string> Parts;
  size_t Start = 1;
  while (Start <= Path.size()) {
    size_t End = Path.find('/', Start);
    if (End == std::string::npos) End = Path.size();
    const std::string Part = Path.substr(Start, End - Start);
    if (Part == "..") {
      if (!Parts.empty()) Parts.pop_back();
    } else if (!Part.empty() && Part != ".") {
      Parts.push_back(Part);
    }
    Start = End + 1;
  }
  std::string Full;
  for (const std::string& Part : Parts)
    Full += "/" + Part;
  if (Full.empty() || (Path.back() == '/' && Full != "/")) Full += "/";
  return PathToWide(Full);
}

THandle CreateFileW(const std::u16string& Name, uint32_t Access, uint32_t Share,
                    TDisposition Disposition) {
  const std::string Path = WideToPath(Name);
  if (Path.empty() || (Access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
    SetPlainError(Path.empty() ? ERROR_INVALID_NAME : ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  int Flags = O_CLOEXEC | ((Access & GENERIC_WRITE) ? O_RDWR : O_RDONLY);
  if (Disposition != TDisposition::OpenExisting) Flags |= O_CREAT;
  const int Fd = OpenClaimed(Path, Flags, Access, Share);
  if (Fd < 0) return INVALID_HANDLE_VALUE;
  // Truncate only after the share check, so a refused create leaves the
  // other opener's data alone; and only a file that holds something: on
  // ext4 a truncation, even of an empty file, makes the last close wait
  // until the new data is on the disk.
  if (Disposition == TDisposition::CreateAlways && !IsEmptyFile(Fd) && ftruncate(Fd, 0) != 0) {
    SetErrnoError(Path);
    close(Fd);
    return INVALID_HANDLE_VALUE;
  }
  SetPlainError(ERROR_SUCCESS);
  return Fd;
}

bool CloseHandle(THandle Handle) {
  if (Handle < 0 || close(Handle) != 0) {
    SetPlainError(ERROR_INVALID_HANDLE);
    return false;
  }
  return true;
}

int64_t FileRead(THandle Handle, void* Buffer, int64_t Count) {
  int64_t Done = 0;
  while (Done < Count) {
    const ssize_t Got =
        read(Handle, static_cast<char*>(Buffer) + Done, static_cast<size_t>(Count - Done));
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) {
      SetErrnoError({});
      return -1;
    }
    if (Got == 0) break;
    Done += Got;
  }
  return Done;
}

int64_t FileWrite(THandle Handle, const void* Buffer, int64_t Count) {
  int64_t Done = 0;
  while (Done < Count) {
    const ssize_t Put =
        write(Handle, static_cast<const char*>(Buffer) + Done, static_cast<size_t>(Count - Done));
    if (Put < 0 && errno == EINTR) continue;
    if (Put <= 0) {
      SetErrnoError({});
      return Done > 0 ? Done : -1;
    }
    Done += Put;
  }
  return Done;
}

int64_t FileSeek(THandle Handle, int64_t Offset, int Origin) {
  const int Whence = Origin == 1 ? SEEK_CUR : Origin == 2 ? SEEK_END : SEEK_SET;
  const off_t Position = lseek(Handle, static_cast<off_t>(Offset), Whence);
  if (Position < 0) SetErrnoError({});
  return Position;
}

int64_t FileSize(THandle Handle) {
  struct stat St;
  if (fstat(Handle, &St) != 0) {
    SetErrnoError({});
    return -1;
  }
  return St.st_size;
}

bool FileTruncate(THandle Handle) {
  const off_t Position = lseek(Handle, 0, SEEK_CUR);
  if (Position < 0 || ftruncate(Handle, Position) != 0) {
    SetErrnoError({});
    return false;
  }
  return true;
}

// Windows refuses to delete a file that is open without FILE_SHARE_DELETE,
// which no open here grants: a target another worker or instance is still
// writing must not vanish under it. Deleting is therefore an open that wants
// no access and shares nothing, held until the name is gone: an open in
// between is refused, and one that got hold of the old file reopens the name.
bool DeleteFileW(const std::u16string& Name) {
  const std::string Path = WideToPath(Name);
  const int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd >= 0 && !ClaimShareMode(Fd, 0, 0)) {
    close(Fd);
    SetPlainError(ERROR_SHARING_VIOLATION);
    return false;
  }
  const bool Deleted = unlink(Path.c_str()) == 0;
  if (!Deleted) SetErrnoError(Path);
  if (Fd >= 0) close(Fd);
  return Deleted;
}

bool GetFileIdentity(const std::u16string& Name, TFileIdentity& Identity) {
  const std::string Path = WideToPath(Name);
  struct stat St;
  if (Path.empty() || stat(Path.c_str(), &St) != 0) {
    if (Path.empty())
      SetPlainError(ERROR_INVALID_NAME);
    else
      SetErrnoError(Path);
    return false;
  }
  Identity.Device = static_cast<uint64_t>(St.st_dev);
  Identity.Inode = static_cast<uint64_t>(St.st_ino);
  return true;
}

namespace {

std::string RandomNamePart() {
  static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 Generator{std::random_device{}() ^ static_cast<uint64_t>(getpid())};
  std::string Part(10, 'x');
  for (char& C : Part)
    C = Letters[Generator() % (sizeof Letters - 1)];
  return Part;
}

// Renames without replacing: renameat2 where the file system has it, else
// a hard link and an unlink, else a test before the rename (racy, the
// last resort of file systems with neither).
bool RenameNoReplace(const std::string& From, const std::string& To) {
  if (renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (link(From.c_str(), To.c_str()) == 0) {
    unlink(From.c_str());
    return true;
  }
  if (errno == EEXIST || (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)) return false;
  struct stat St;
  if (lstat(To.c_str(), &St) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(From.c_str(), To.c_str()) == 0;
}

// Replaces To while holding a claim that shares nothing, so that a file
// someone has open is refused and no open slips in before the rename.
bool RenameReplacing(const std::string& From, const std::string& To) {
  const int Fd = open(To.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd >= 0 && !IsRegularFile(Fd)) {
    close(Fd);
    SetPlainError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (Fd >= 0 && !ClaimShareMode(Fd, 0, 0)) {
    close(Fd);
    SetPlainError(ERROR_SHARING_VIOLATION);
    return false;
  }
  const bool Renamed = rename(From.c_str(), To.c_str()) == 0;
  if (!Renamed) SetErrnoError(To);
  if (Fd >= 0) close(Fd);
  return Renamed;
}

}  // namespace

THandle CreateUniqueFileW(const std::u16string& Folder, const std::u16string& Prefix,
                          const std::u16string& Suffix, std::u16string& Name) {
  std::string Base = WideToPath(Folder);
  if (Base.empty()) {
    SetPlainError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  if (Base.back() != '/') Base += '/';
  const std::string Head = WideToPath(Prefix), Tail = WideToPath(Suffix);
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    std::string Path = Base;
    Path += Head;
    Path += RandomNamePart();
    Path += Tail;
    const int Fd = open(Path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0 && errno == EEXIST) continue;
    if (Fd < 0) {
      SetErrnoError(Path);
      return INVALID_HANDLE_VALUE;
    }
    ClaimShareMode(Fd, GENERIC_READ | GENERIC_WRITE, 0);  // nobody else knows the name yet
    Name = PathToWide(Path);
    SetPlainError(ERROR_SUCCESS);
    return Fd;
  }
  SetPlainError(ERROR_ALREADY_EXISTS);
  return INVALID_HANDLE_VALUE;
}

bool IsFileInUse(const std::u16string& Name) {
  const std::string Path = WideToPath(Name);
  const int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd < 0) return false;
  bool InUse = false;
  if (flock(Fd, LOCK_EX) == 0) {
    InUse = MarkerHeldByOthers(Fd, MarkerReads) || MarkerHeldByOthers(Fd, MarkerWrites);
    flock(Fd, LOCK_UN);
  }
  close(Fd);
  if (InUse) SetPlainError(ERROR_SHARING_VIOLATION);
  return InUse;
}

bool MoveFileExW(const std::u16string& From, const std::u16string& To, uint32_t Flags) {
  const std::string Source = WideToPath(From), Target = WideToPath(To);
  if (Source.empty() || Target.empty()) {
    SetPlainError(ERROR_INVALID_NAME);
    return false;
  }
  if (Flags & MOVEFILE_REPLACE_EXISTING) return RenameReplacing(Source, Target);
  if (RenameNoReplace(Source, Target)) return true;
  SetErrnoError(Target);
  return false;
}

std::unique_ptr<TFindSearch> TFindSearch::FindFirst(const std::u16string& Path, TFindData& Data) {
  const std::string Native = WideToPath(Path);
  const size_t Slash = Native.rfind('/');
  const std::string Folder =
      Slash == std::string::npos ? "." : Native.substr(0, Slash == 0 ? 1 : Slash);
  std::string Pattern = Slash == std::string::npos ? Native : Native.substr(Slash + 1);
  if (Pattern == "*.*") Pattern = "*";  // Windows lets "*.*" match names without a dot
  DIR* Dir = opendir(Folder.c_str());
  if (!Dir && errno == ENOTDIR) return FindInCdFolder(PathToWide(Folder), Pattern, Data);
  if (!Dir) {
    SetErrnoError(Native);
    if (LastErrorCode == ERROR_FILE_NOT_FOUND) LastErrorCode = ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  std::unique_ptr<TFindSearch> Search(new TFindSearch);
  const std::string Prefix = Folder == "/" ? "/" : Folder + "/";
  // readdir is safe here: this stream belongs to this search alone.
  while (const dirent* Entry = readdir(Dir)) {  // NOLINT(concurrency-mt-unsafe)
    if (fnmatch(Pattern.c_str(), Entry->d_name, 0) != 0) continue;
    const std::string Full = Prefix + Entry->d_name;
    struct stat St;
    if (stat(Full.c_str(), &St) != 0 && lstat(Full.c_str(), &St) != 0) continue;
    TFindData Found;
    Found.Name = PathToWide(Entry->d_name);
    Found.Attributes = AttributesOf(St, Full);
    Found.Size = S_ISDIR(St.st_mode) ? 0 : static_cast<uint64_t>(St.st_size);
    Found.LastWriteTime = UnixTimeToFileTime(St.st_mtim.tv_sec, St.st_mtim.tv_nsec);
    Search->FEntries.push_back(std::move(Found));
  }
  closedir(Dir);
  if (!Search->FindNext(Data)) {
    SetPlainError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return Search;
}

// The track files of a CD drive's root (uCdFiles.h).
std::unique_ptr<TFindSearch> TFindSearch::FindInCdFolder(const std::u16string& Folder,
                                                         const std::string& Pattern,
                                                         TFindData& Data) {
  std::vector<TFindData> Entries;
  if (!CdFolderEntries(Folder, Entries)) {
    LastErrorCode = ERROR_PATH_NOT_FOUND;
    return nullptr;
  }
  std::unique_ptr<TFindSearch> Search(new TFindSearch);
  for (TFindData& Entry : Entries)
    if (fnmatch(Pattern.c_str(), WideToPath(Entry.Name).c_str(), FNM_CASEFOLD) == 0)
      Search->FEntries.push_back(std::move(Entry));
  if (!Search->FindNext(Data)) {
    LastErrorCode = ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  return Search;
}

bool TFindSearch::FindNext(TFindData& Data) {
  if (FNext >= FEntries.size()) {
    SetPlainError(ERROR_NO_MORE_FILES);
    return false;
  }
  Data = FEntries[FNext++];
  return true;
}

}  // namespace platform
