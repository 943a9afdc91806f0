// File names and file-system operations on wide (UTF-16) strings.
// Path rules: "\" and "/" both separate folders, ":" ends a drive, "."
// starts an extension; delimiters that these functions add are "/", the
// native one. Positions are 1-based character indexes (0 = none).
// Every function is thread-safe; a TFileStreamW or a search record is used
// by one thread at a time and owned by its creator.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "infra/uStreams.h"
#include "platform/uFileIO.h"

// Raised by WideForceDirectories for an empty name.
class EInOutError : public std::runtime_error {
public:
  EInOutError(const std::string& Message, int Code)
      : std::runtime_error(Message), ErrorCode(Code) {}
  int ErrorCode;
};

// ---- path text (no file-system access) ----
int WideLastDelimiter(const std::u16string& Delimiters, const std::u16string& S);
std::u16string WideExtractFilePath(const std::u16string& S);
std::u16string WideExtractFileName(const std::u16string& S);
std::u16string WideExtractFileExt(const std::u16string& S);
std::u16string WideChangeFileExt(const std::u16string& S, const std::u16string& Ext);
// "X:", "\\server\share", "/" for an absolute native path, else "".
std::u16string WideExtractFileDrive(const std::u16string& S);
bool WideIsPathDelimiter(const std::u16string& S, int Index);
std::u16string WideIncludeTrailingBackslash(const std::u16string& S);
std::u16string WideExcludeTrailingBackslash(const std::u16string& S);
int WideLastChar(const std::u16string& S);
// First C in the zero-terminated P; null if absent.
const char16_t* WideStrScan(const char16_t* P, char16_t C);
// S with its ASCII letters in upper / lower case, other characters kept:
// file names and extensions compared as a Windows volume compares them.
std::u16string WideUpperAscii(std::u16string S);
std::u16string WideLowerAscii(std::u16string S);
// S without blanks and control characters (code 32 and below) at both ends.
std::u16string WideTrim(std::u16string_view S);

// ---- file system ----
bool WideFileExists(const std::u16string& Name);
// An existing file whose data can be read as a source: not a folder, FIFO,
// socket or device. Decided without opening it (a FIFO would block).
bool WideSourceFileExists(const std::u16string& Name);
bool WideDirectoryExists(const std::u16string& Name);
// Which file or folder Name stands for, links followed; false when it
// cannot be examined. Equal identities are one file, whatever the names.
bool WideFileIdentity(const std::u16string& Name, platform::TFileIdentity& Identity);
bool WideCreateDir(const std::u16string& Name);
// Creates Dir and every missing parent; raises EInOutError for "".
bool WideForceDirectories(const std::u16string& Dir);
std::u16string WideExpandFileName(const std::u16string& Name);

// Open modes: fmCreate, or access | sharing.
constexpr uint16_t fmCreate = 0xFFFF;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// Opens an existing file; INVALID_HANDLE_VALUE on failure, and for an invalid
// mode (nothing touched, last error 87). The caller closes the handle.
platform::THandle WideFileOpen(const std::u16string& Name, uint16_t Mode);

// A file stream opened by a wide name; owns its handle.
class TFileStreamW : public THandleStream {
public:
  // Raises EFCreateError / EFOpenError.
  TFileStreamW(const std::u16string& FileName, uint16_t Mode);
  ~TFileStreamW() override;
  TFileStreamW(const TFileStreamW&) = delete;
  TFileStreamW& operator=(const TFileStreamW&) = delete;
  const std::u16string& FileName() const { return FFileName; }

private:
  std::u16string FFileName;
};

// ---- directory search ----
constexpr uint32_t faReadOnly = 0x01;
constexpr uint32_t faHidden = 0x02;
constexpr uint32_t faSysFile = 0x04;
constexpr uint32_t faDirectory = 0x10;
constexpr uint32_t faArchive = 0x20;
constexpr uint32_t faAnyFile = 0x3F;
// Neither a file nor a folder (FIFO, socket, device); never a source.
constexpr uint32_t faDevice = 0x40;

struct TSearchRecW {
  uint32_t Time = 0;  // DOS date (high word) and time of the last write, local
  int64_t Size = 0;
  uint32_t Attr = 0;
  std::u16string Name;
  uint32_t ExcludeAttr = 0;
  std::shared_ptr<platform::TFindSearch> FindHandle;  // null when closed
  platform::TFindData FindData;
};

// 0 or a platform error code.
uint32_t WideFindFirst(const std::u16string& Path, uint32_t Attr, TSearchRecW& Rec);
uint32_t WideFindNext(TSearchRecW& Rec);
void WideFindClose(TSearchRecW& Rec);

// ---- folder browser ----
// Shows the installed folder browser (platform/uFolderBrowser.h) with Caption
// and the browse Options, rooted at Root, opening at Directory when that is
// an existing folder (otherwise Directory is cleared first). True and the
// chosen folder in Directory when the user confirmed one. Main thread.
bool WideSelectDirectory(const std::u16string& Caption, const std::u16string& Root,
                         std::u16string& Directory, uint32_t Options, const void* ParentWindow);

// ---- command line ----
int WideParamCount();
// 0: the executable's full path.
std::u16string WideParamStr(int Index);
// Front ends and tests may name the parameters (without the program name);
// otherwise they come from the process's own command line.
void WideSetParams(const std::vector<std::u16string>& Params);
