#include "infra/uLxFileUtils.h"

#include <initializer_list>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/uCodePage.h"
#include "platform/uFileTime.h"
#include "platform/uFolderBrowser.h"
#include "platform/uProgramDir.h"

namespace {

const std::u16string PathDelimiters = u"\\/:";
const std::u16string FolderDelimiters = u"\\/";
constexpr char16_t NativeDelimiter = u'/';

bool IsDelimiterChar(char16_t C) { return C == u'\\' || C == u'/'; }

}  // namespace

int WideLastDelimiter(const std::u16string& Delimiters, const std::u16string& S) {
  const size_t Pos = S.find_last_of(Delimiters);
  return Pos == std::u16string::npos ? 0 : static_cast<int>(Pos) + 1;
}

std::u16string WideExtractFilePath(const std::u16string& S) {
  return S.substr(0, static_cast<size_t>(WideLastDelimiter(PathDelimiters, S)));
}

std::u16string WideExtractFileName(const std::u16string& S) {
  return S.substr(static_cast<size_t>(WideLastDelimiter(PathDelimiters, S)));
}

std::u16string WideExtractFileExt(const std::u16string& S) {
  const int Dot = WideLastDelimiter(u"." + PathDelimiters, S);
  if (Dot > 0 && S[static_cast<size_t>(Dot) - 1] == u'.')
    return S.substr(static_cast<size_t>(Dot) - 1);
  return {};
}

std::u16string WideChangeFileExt(const std::u16string& S, const std::u16string& Ext) {
  const size_t ExtLength = WideExtractFileExt(S).size();
  return S.substr(0, S.size() - ExtLength) + Ext;
}

std::u16string WideUpperAscii(std::u16string S) {
  for (char16_t& C : S)
    if (C >= u'a' && C <= u'z') C = char16_t(C - (u'a' - u'A'));
  return S;
}

std::u16string WideTrim(std::u16string_view S) {
  size_t First = 0, Last = S.size();
  while (First < Last && S[First] <= u' ')
    ++First;
  while (Last > First && S[Last - 1] <= u' ')
    --Last;
  return std::u16string(S.substr(First, Last - First));
}

std::u16string WideLowerAscii(std::u16string S) {
  for (char16_t& C : S)
    if (C >= u'A' && C <= u'Z') C = char16_t(C + (u'a' - u'A'));
  return S;
}

std::u16string WideExtractFileDrive(const std::u16string& S) {
  if (S.size() >= 2 && S[1] == u':') return S.substr(0, 2);
  if (S.size() >= 2 && S[0] == u'\\' && S[1] == u'\\') {
    // \\server\share: stop at the delimiter that ends the share name.
    const size_t ServerEnd = S.find_first_of(FolderDelimiters, 2);
    if (ServerEnd == std::u16string::npos) return S;
    const size_t ShareEnd = S.find_first_of(FolderDelimiters, ServerEnd + 1);
    return ShareEnd == std::u16string::npos ? S : S.substr(0, ShareEnd);
  }
  if (!S.empty() && S[0] == u'/') return u"/";
  return {};
}

bool WideIsPathDelimiter(const std::u16string& S, int Index) {
  return Index >= 1 && Index <= static_cast<int>(S.size()) &&
         IsDelimiterChar(S[static_cast<size_t>(Index) - 1]);
}

std::u16string WideIncludeTrailingBackslash(const std::u16string& S) {
  if (!S.empty() && IsDelimiterChar(S.back())) return S;
  return S + NativeDelimiter;
}

std::u16string WideExcludeTrailingBackslash(const std::u16string& S) {
  // The native root stays itself: "" would name the current folder.
  if (S == u"/") return S;
  if (!S.empty() && IsDelimiterChar(S.back())) return S.substr(0, S.size() - 1);
  return S;
}

int WideLastChar(const std::u16string& S) { return static_cast<int>(S.size()); }

const char16_t* WideStrScan(const char16_t* P, char16_t C) {
  if (!P) return nullptr;
  for (; *P; ++P)
    if (*P == C) return P;
  return nullptr;
}

bool WideFileExists(const std::u16string& Name) {
  const uint32_t Attr = platform::GetFileAttributesW(Name);
  if (Attr != platform::INVALID_FILE_ATTRIBUTES)
    return (Attr & platform::FILE_ATTRIBUTE_DIRECTORY) == 0;
  const uint32_t Error = platform::GetLastError();
  if (Error == platform::ERROR_FILE_NOT_FOUND || Error == platform::ERROR_PATH_NOT_FOUND ||
      Error == platform::ERROR_INVALID_NAME)
    return false;
  // Attributes unreadable for another reason: ask the folder's listing.
  platform::TFindData Data;
  auto Search = platform::TFindSearch::FindFirst(Name, Data);
  return Search && (Data.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WideSourceFileExists(const std::u16string& Name) {
  const uint32_t Attr = platform::GetFileAttributesW(Name);
  return Attr != platform::INVALID_FILE_ATTRIBUTES &&
         (Attr & (platform::FILE_ATTRIBUTE_DIRECTORY | platform::FILE_ATTRIBUTE_DEVICE)) == 0;
}

bool WideFileIdentity(const std::u16string& Name, platform::TFileIdentity& Identity) {
  return platform::GetFileIdentity(Name, Identity);
}

bool WideDirectoryExists(const std::u16string& Name) {
  const uint32_t Attr = platform::GetFileAttributesW(Name);
  return Attr != platform::INVALID_FILE_ATTRIBUTES &&
         (Attr & platform::FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WideCreateDir(const std::u16string& Name) { return platform::CreateDirectoryW(Name); }

bool WideForceDirectories(const std::u16string& Dir) {
  if (Dir.empty()) throw EInOutError("Unable to create directory", 3);
  const std::u16string Folder = WideExcludeTrailingBackslash(Dir);
  // A drive root ("C:", "C:\") is shorter than 3 characters; a native
  // absolute path's only root is "/", so "/a" is still created.
  const bool NativeAbsolute = Folder[0] == u'/';
  if ((NativeAbsolute ? Folder == u"/" : Folder.size() < 3) || WideDirectoryExists(Folder))
    return true;
  if (WideExtractFilePath(Folder) == Folder) return true;
  // Workers prepare their targets in parallel and may race for the same new
  // folder: one that appeared meanwhile counts as made.
  return WideForceDirectories(WideExtractFilePath(Folder)) &&
         (WideCreateDir(Folder) || WideDirectoryExists(Folder));
}

std::u16string WideExpandFileName(const std::u16string& Name) {
  return platform::GetFullPathNameW(Name);
}

platform::THandle WideFileOpen(const std::u16string& Name, uint16_t Mode) {
  static constexpr uint32_t AccessOf[] = {platform::GENERIC_READ, platform::GENERIC_WRITE,
                                          platform::GENERIC_READ | platform::GENERIC_WRITE};
  static constexpr uint32_t ShareOf[] = {0, 0, platform::FILE_SHARE_READ,
                                         platform::FILE_SHARE_WRITE,
                                         platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE};
  constexpr uint32_t ErrorInvalidParameter = 87;
  const unsigned Access = Mode & 3;
  const unsigned Share = (Mode & 0xF0) >> 4;
  if (Access > 2 || Share > 4) {
    // Refused without touching the file; the error still names the reason.
    platform::SetLastError(ErrorInvalidParameter);
    return platform::INVALID_HANDLE_VALUE;
  }
  return platform::CreateFileW(Name, AccessOf[Access], ShareOf[Share],
                               platform::TDisposition::OpenExisting);
}

namespace {

// Pattern with its "%s" fields filled in order. The fields are found in the
// pattern alone, so a file name that itself holds "%s" stays as it is.
std::string FillFields(std::string_view Pattern, std::initializer_list<std::string_view> Values) {
  std::string Text;
  auto Value = Values.begin();
  for (size_t Pos = 0; Pos < Pattern.size(); ++Pos) {
    if (Pattern.compare(Pos, 2, "%s") == 0 && Value != Values.end()) {
      Text += *Value++;
      ++Pos;
    } else {
      Text += Pattern[Pos];
    }
  }
  return Text;
}

std::string FileErrorMessage(const char* Pattern, const std::u16string& FileName) {
  const std::string Reason = platform::SysErrorMessage(platform::GetLastError());
  const std::string Name = platform::WideToUtf8(WideExpandFileName(FileName));
  return FillFields(Pattern, {Name, Reason});
}

platform::THandle OpenForStream(const std::u16string& FileName, uint16_t Mode) {
  if (Mode == fmCreate) {
    const platform::THandle Handle =
        platform::CreateFileW(FileName, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                              platform::TDisposition::CreateAlways);
    if (Handle == platform::INVALID_HANDLE_VALUE)
      throw EFCreateError(FileErrorMessage("Cannot create file \"%s\". %s", FileName));
    return Handle;
  }
  const platform::THandle Handle = WideFileOpen(FileName, Mode);
  if (Handle == platform::INVALID_HANDLE_VALUE)
    throw EFOpenError(FileErrorMessage("Cannot open file \"%s\". %s", FileName));
  return Handle;
}

}  // namespace

TFileStreamW::TFileStreamW(const std::u16string& FileName, uint16_t Mode)
    : THandleStream(OpenForStream(FileName, Mode)), FFileName(FileName) {}

TFileStreamW::~TFileStreamW() {
  if (FHandle != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FHandle);
}

namespace {

// Skips entries with excluded attributes; 0 when Rec holds a match.
uint32_t SkipAndFill(TSearchRecW& Rec, bool Found) {
  while (Found && (Rec.FindData.Attributes & Rec.ExcludeAttr) != 0)
    Found = Rec.FindHandle->FindNext(Rec.FindData);
  if (!Found) return platform::GetLastError();
  Rec.Time = platform::FileTimeToLocalDosDateTime(Rec.FindData.LastWriteTime);
  Rec.Size = static_cast<int64_t>(Rec.FindData.Size);
  Rec.Attr = Rec.FindData.Attributes;
  Rec.Name = Rec.FindData.Name;
  return 0;
}

}  // namespace

uint32_t WideFindFirst(const std::u16string& Path, uint32_t Attr, TSearchRecW& Rec) {
  Rec.ExcludeAttr = ~Attr & (faHidden | faSysFile | faDirectory);
  Rec.FindHandle = platform::TFindSearch::FindFirst(Path, Rec.FindData);
  if (!Rec.FindHandle) return platform::GetLastError();
  const uint32_t Result = SkipAndFill(Rec, true);
  if (Result != 0) WideFindClose(Rec);
  return Result;
}

uint32_t WideFindNext(TSearchRecW& Rec) {
  if (!Rec.FindHandle) return platform::ERROR_INVALID_HANDLE;
  return SkipAndFill(Rec, Rec.FindHandle->FindNext(Rec.FindData));
}

void WideFindClose(TSearchRecW& Rec) { Rec.FindHandle.reset(); }

namespace {

std::mutex ParamsMutex;
std::optional<std::vector<std::u16string>> ExplicitParams;

std::vector<std::u16string> Params() {
  std::lock_guard<std::mutex> Lock(ParamsMutex);
  if (ExplicitParams) return *ExplicitParams;
  return platform::ProcessArguments();
}

}  // namespace

bool WideSelectDirectory(const std::u16string& Caption, const std::u16string& Root,
                         std::u16string& Directory, uint32_t Options, const void* ParentWindow) {
  if (!WideDirectoryExists(Directory)) Directory.clear();
  platform::TFolderBrowseRequest Request{Caption, Root, Directory, Options, ParentWindow};
  std::u16string Chosen;
  if (!platform::BrowseForFolder(Request, Chosen)) return false;
  Directory = Chosen;
  return true;
}

void WideSetParams(const std::vector<std::u16string>& Params) {
  std::lock_guard<std::mutex> Lock(ParamsMutex);
  ExplicitParams = Params;
}

int WideParamCount() {
  int Count = 0;
  for (const std::u16string& Param : Params()) {
    if (Param.empty()) break;
    ++Count;
  }
  return Count;
}

std::u16string WideParamStr(int Index) {
  if (Index == 0) return platform::ExecutablePath();
  const std::vector<std::u16string> All = Params();
  if (Index < 0 || Index > static_cast<int>(All.size())) return {};
  return All[static_cast<size_t>(Index) - 1];
}
