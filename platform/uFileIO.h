// File primitives with the Windows rules the system relies on: an open names
// the access it wants and the access it lets others have (share mode), and
// an open that conflicts with an earlier one fails with a sharing violation,
// between threads and processes alike (open-file-description locks). Errors
// are Windows-style codes in a per-thread "last error".
// Every function may be called from any thread; a handle is used by one
// thread at a time and closed once by its owner.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using THandle = int;
constexpr THandle INVALID_HANDLE_VALUE = -1;

// Access and share bits.
constexpr uint32_t GENERIC_READ = 1;
constexpr uint32_t GENERIC_WRITE = 2;
constexpr uint32_t FILE_SHARE_READ = 1;
constexpr uint32_t FILE_SHARE_WRITE = 2;

enum class TDisposition { OpenExisting, CreateAlways, OpenAlways };

// Error codes (the subset the system reports).
constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_NO_MORE_FILES = 18;
constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr uint32_t ERROR_INVALID_NAME = 123;
constexpr uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;

uint32_t GetLastError();
void SetLastError(uint32_t Code);
// The text of an error code, as the system shows it in messages.
std::string SysErrorMessage(uint32_t Code);
// The operating system's own words for the last failure of a file call on
// this thread ("Permission denied", "No space left on device"), or the text
// of its code when the failure was not the system's.
std::string LastSystemReason();

// Attributes.
constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
// Neither a regular file nor a folder (a FIFO, socket, device or dangling
// link); also marked system. Such an entry is never opened as a file.
constexpr uint32_t FILE_ATTRIBUTE_DEVICE = 0x40;
constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr uint32_t INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// INVALID_FILE_ATTRIBUTES (last error set) when Name cannot be examined.
// CD drive roots and track files (uCdFiles.h) answer from the catalog.
uint32_t GetFileAttributesW(const std::u16string& Name);
bool CreateDirectoryW(const std::u16string& Name);
// Absolute, lexically normalised form of Name (relative names are taken from
// the current folder); "" on failure.
std::u16string GetFullPathNameW(const std::u16string& Name);

// Refuses (ERROR_ACCESS_DENIED) anything but a regular file, without
// waiting for the other end of a FIFO.
THandle CreateFileW(const std::u16string& Name, uint32_t Access, uint32_t Share,
                    TDisposition Disposition);
bool CloseHandle(THandle Handle);
// Byte counts transferred: both keep going until the whole count, the end
// of the file or an error; -1 on failure.
int64_t FileRead(THandle Handle, void* Buffer, int64_t Count);
int64_t FileWrite(THandle Handle, const void* Buffer, int64_t Count);
// Origin 0 beginning, 1 current, 2 end; the new position or -1.
int64_t FileSeek(THandle Handle, int64_t Offset, int Origin);
int64_t FileSize(THandle Handle);
bool FileTruncate(THandle Handle);  // at the current position
bool DeleteFileW(const std::u16string& Name);

// Which file a name stands for, links followed: two names are one file
// when their identities are equal (whatever their text, letter case
// included).
struct TFileIdentity {
  uint64_t Device = 0;
  uint64_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
  auto operator<=>(const TFileIdentity&) const = default;
};
// False (last error set) when Name cannot be examined.
bool GetFileIdentity(const std::u16string& Name, TFileIdentity& Identity);

// Creates a new file in Folder named Prefix + a random part + Suffix that
// did not exist before (never an existing file), read and write access, no
// sharing. Name receives the full name. INVALID_HANDLE_VALUE on failure.
THandle CreateUniqueFileW(const std::u16string& Folder, const std::u16string& Prefix,
                          const std::u16string& Suffix, std::u16string& Name);

// Renames From to To within one file system. Without
// MOVEFILE_REPLACE_EXISTING an existing To is never replaced
// (ERROR_ALREADY_EXISTS), whatever kind of entry it is. With it, an existing
// file To is replaced, unless it is open (ERROR_SHARING_VIOLATION, as
// Windows refuses to replace a file open without delete sharing) or no
// regular file (a folder, a FIFO: ERROR_ACCESS_DENIED).
constexpr uint32_t MOVEFILE_REPLACE_EXISTING = 1;
bool MoveFileExW(const std::u16string& From, const std::u16string& To, uint32_t Flags);

// Whether someone holds Name open (any open through CreateFileW), so that a
// delete or a replace would be refused with ERROR_SHARING_VIOLATION.
bool IsFileInUse(const std::u16string& Name);

// One directory entry of a search.
struct TFindData {
  std::u16string Name;  // without the folder
  uint32_t Attributes = 0;
  uint64_t Size = 0;
  uint64_t LastWriteTime = 0;  // file time, UTC
};

// A directory search over "folder/pattern" (wildcards * and ? in the last
// component; "." and ".." are listed as on Windows). A CD drive's root
// lists the drive's track files (uCdFiles.h). Owned by the caller.
class TFindSearch {
public:
  // Null and last error set when the folder cannot be read or nothing matches.
  static std::unique_ptr<TFindSearch> FindFirst(const std::u16string& Path, TFindData& Data);
  // False with ERROR_NO_MORE_FILES at the end.
  bool FindNext(TFindData& Data);

private:
  static std::unique_ptr<TFindSearch> FindInCdFolder(const std::u16string& Folder,
                                                     const std::string& Pattern, TFindData& Data);
  std::vector<TFindData> FEntries;
  size_t FNext = 0;
};

}  // namespace platform
