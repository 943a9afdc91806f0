// Private-profile (INI) files as the Windows functions treat them, kept
// byte-exact: a write changes the one line of its key (or adds one) and
// leaves every other byte of the file as it was, line ends included. The
// new content goes to a temporary file beside the target, is flushed to the
// disk and then renamed over the target, so an interrupted or failed write
// leaves the old file whole. Only where the folder takes no new files is
// the file rewritten in place.
#include "platform/uProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/uCodePage.h"
#include "platform/uFileIO.h"

namespace platform {

namespace {

constexpr size_t MaxValueBytes = 2047;  // the callers' 2048-byte buffer, less the terminator
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

// Serialises the read-modify-write of every file written by this process.
std::mutex WriteLock;

struct TIniLine {
  std::string_view Text;  // without its line end
  std::string_view Eol;   // "\r\n", "\n", "\r" or "" (last line without an end)
};

// Lines end in CR LF, LF or a lone CR (files from old Mac editors); each
// line keeps its own end so that a write can give it back unchanged.
std::vector<TIniLine> SplitLines(std::string_view Data) {
  std::vector<TIniLine> Lines;
  size_t Pos = 0;
  while (Pos < Data.size()) {
    const size_t End = Data.find_first_of("\r\n", Pos);
    if (End == std::string_view::npos) {
      Lines.push_back({Data.substr(Pos), {}});
      break;
    }
    const size_t EolSize = Data.compare(End, 2, "\r\n") == 0 ? 2 : 1;
    Lines.push_back({Data.substr(Pos, End - Pos), Data.substr(End, EolSize)});
    Pos = End + EolSize;
  }
  if (!Lines.empty() && Lines[0].Text.starts_with(Utf8Bom))
    Lines[0].Text.remove_prefix(Utf8Bom.size());
  return Lines;
}

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front()))
    S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back()))
    S.remove_suffix(1);
  return S;
}

char AsciiLower(char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; }

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (AsciiLower(A[I]) != AsciiLower(B[I])) return false;
  return true;
}

// "[name]" after optional blanks; anything after the bracket is ignored.
std::optional<std::string_view> SectionName(std::string_view Line) {
  Line = Trim(Line);
  if (!Line.starts_with('[')) return std::nullopt;
  const size_t Close = Line.find(']');
  return Trim(Line.substr(1, Close == std::string_view::npos ? std::string_view::npos : Close - 1));
}

struct TKeyValue {
  std::string_view Key;
  std::string_view Value;  // trimmed, still quoted
};

// A line that starts so is a comment or a section header, never a key.
bool StartsNonKeyLine(std::string_view Trimmed) {
  return Trimmed.empty() || Trimmed.front() == ';' || Trimmed.front() == '#' ||
         Trimmed.front() == '[';
}

std::optional<TKeyValue> KeyValue(std::string_view Line) {
  if (StartsNonKeyLine(Trim(Line))) return std::nullopt;
  const size_t Eq = Line.find('=');
  if (Eq == std::string_view::npos) return std::nullopt;
  return TKeyValue{Trim(Line.substr(0, Eq)), Trim(Line.substr(Eq + 1))};
}

// Where a key stands in the file, and where a new key of its section goes.
struct TKeyPlace {
  std::optional<size_t> KeyLine;
  std::optional<size_t> LastEntryOfSection;  // the header or the section's last key
};

// The first occurrence of Key in any section named Section wins.
TKeyPlace FindKey(const std::vector<TIniLine>& Lines, std::string_view Section,
                  std::string_view Key) {
  TKeyPlace Place;
  bool InSection = false;
  bool InFirstSection = false;
  for (size_t I = 0; I < Lines.size(); ++I) {
    if (const auto Name = SectionName(Lines[I].Text)) {
      const bool Match = SameName(*Name, Section);
      InFirstSection = Match && !Place.LastEntryOfSection;
      InSection = Match;
      if (InFirstSection) Place.LastEntryOfSection = I;
      continue;
    }
    if (!InSection) continue;
    const auto Entry = KeyValue(Lines[I].Text);
    if (!Entry) continue;  // comments and blank lines stay with what follows them
    if (InFirstSection) Place.LastEntryOfSection = I;
    if (SameName(Entry->Key, Key)) {
      Place.KeyLine = I;
      return Place;
    }
  }
  return Place;
}

std::string_view Unquote(std::string_view Value) {
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
      Value.back() == Value.front())
    return Value.substr(1, Value.size() - 2);
  return Value;
}

// Values are handed out in the system code page. A file written on Windows
// holds them in the legacy code page of the user's language; on a UTF-8
// system such a value is converted (one value at a time, so a file that has
// been partly rewritten here still reads right).
std::string ToSystemCodePage(std::string_view Raw) {
  if (AnsiIsUtf8() && !IsValidUtf8(Raw)) return WideToAnsi(AnsiToWide(Raw));
  return std::string(Raw);
}

void LimitLength(std::string& Value) {
  if (Value.size() <= MaxValueBytes) return;
  size_t Cut = MaxValueBytes;
  // Never leave half a UTF-8 character behind.
  if (AnsiIsUtf8())
    while (Cut > 0 && (static_cast<unsigned char>(Value[Cut]) & 0xC0) == 0x80)
      --Cut;
  Value.resize(Cut);
}

enum class TReadResult { Ok, Missing, Failed };

// Missing: no such file system entry. Failed: it exists but is not a
// regular file or cannot be read. Status, when asked for, receives the
// file's status.
TReadResult ReadWholeFile(const std::string& Path, std::string& Data,
                          struct stat* Status = nullptr) {
  // Non-blocking: a FIFO in the file's place must not hang the program.
  const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd < 0) return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
  struct stat St {};
  bool Read = ::fstat(Fd, &St) == 0 && S_ISREG(St.st_mode);
  if (Read) {
    Data.resize(static_cast<size_t>(St.st_size));
    const int64_t Got = FileRead(Fd, Data.data(), St.st_size);
    Read = Got >= 0;
    Data.resize(Read ? static_cast<size_t>(Got) : 0);
  }
  ::close(Fd);
  if (Status) *Status = St;
  return Read ? TReadResult::Ok : TReadResult::Failed;
}

std::optional<std::string> ReadValue(const std::string& Section, const std::string& Key,
                                     const std::u16string& FileName) {
  std::string Data;
  if (ReadWholeFile(WideToPath(FileName), Data) != TReadResult::Ok) return std::nullopt;
  const auto Lines = SplitLines(Data);
  const TKeyPlace Place = FindKey(Lines, Section, Key);
  if (!Place.KeyLine) return std::nullopt;
  std::string Value = ToSystemCodePage(Unquote(KeyValue(Lines[*Place.KeyLine].Text)->Value));
  LimitLength(Value);
  return Value;
}

bool IsHexDigit(char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F');
}

// "0x" followed by at most 32 bits of hex digits; wraps like a 32-bit
// register ("0xFFFFFFFF" is -1).
std::optional<int32_t> ParseHex(std::string_view Digits) {
  while (!Digits.empty() && Digits.front() == '0' && Digits.size() > 1)
    Digits.remove_prefix(1);
  if (Digits.empty() || Digits.size() > 8) return std::nullopt;
  uint32_t Value = 0;
  for (const char C : Digits) {
    if (!IsHexDigit(C)) return std::nullopt;
    const int Nibble = C <= '9' ? C - '0' : AsciiLower(C) - 'a' + 10;
    Value = (Value << 4) | static_cast<uint32_t>(Nibble);
  }
  return static_cast<int32_t>(Value);
}

// The whole text must be a decimal integer in the 32-bit range.
std::optional<int32_t> ParseDecimal(std::string_view Text) {
  bool Negative = false;
  if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) {
    Negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  if (Text.empty()) return std::nullopt;
  int64_t Value = 0;
  for (const char C : Text) {
    if (C < '0' || C > '9') return std::nullopt;
    Value = Value * 10 + (C - '0');
    if (Value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (Negative) Value = -Value;
  if (Value > INT32_MAX || Value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(Value);
}

std::optional<int32_t> ParseProfileInt(std::string_view Text) {
  if (Text.size() >= 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X'))
    return ParseHex(Text.substr(2));
  return ParseDecimal(Text);
}

bool HasLineBreak(std::string_view S) { return S.find_first_of("\r\n") != std::string_view::npos; }

// Names and values that would break the line structure (and could smuggle
// other keys into the file) are refused.
bool IsWritable(std::string_view Section, std::string_view Key, std::string_view Value) {
  if (Trim(Section).empty() || Trim(Key).empty()) return false;
  if (HasLineBreak(Section) || HasLineBreak(Key) || HasLineBreak(Value)) return false;
  if (Section.find(']') != std::string_view::npos || Key.find('=') != std::string_view::npos)
    return false;
  // A key the reader would take for a comment could never be found again.
  return !StartsNonKeyLine(Trim(Key)) && Value.find('\0') == std::string_view::npos;
}

// The line end the file already uses; LF for a new file.
std::string_view FileEol(const std::vector<TIniLine>& Lines) {
  for (const auto& Line : Lines)
    if (!Line.Eol.empty()) return Line.Eol;
  return "\n";
}

std::string UpdatedContent(std::string_view Data, const std::string& Section,
                           const std::string& Key, const std::string& Value) {
  const auto Lines = SplitLines(Data);
  const std::string_view Eol = FileEol(Lines);
  const TKeyPlace Place = FindKey(Lines, Section, Key);
  const size_t Bom = Data.starts_with(Utf8Bom) ? Utf8Bom.size() : 0;
  const auto Offset = [&](size_t Line) {
    return static_cast<size_t>(Lines[Line].Text.data() - Data.data());
  };

  if (Place.KeyLine) {  // replace the value, keep the key's spelling and indentation
    const TIniLine& Line = Lines[*Place.KeyLine];
    const size_t ValueStart = Offset(*Place.KeyLine) + Line.Text.find('=') + 1;
    const size_t LineEnd = Offset(*Place.KeyLine) + Line.Text.size();
    return std::string(Data.substr(0, ValueStart)) + Value + std::string(Data.substr(LineEnd));
  }
  if (Place.LastEntryOfSection) {  // new key after the section's last entry
    const TIniLine& After = Lines[*Place.LastEntryOfSection];
    const size_t InsertAt =
        Offset(*Place.LastEntryOfSection) + After.Text.size() + After.Eol.size();
    const std::string Lead = After.Eol.empty() ? std::string(Eol) : std::string();
    return std::string(Data.substr(0, InsertAt)) + Lead + Key + "=" + Value + std::string(Eol) +
           std::string(Data.substr(InsertAt));
  }
  std::string Out(Data);  // new section at the end
  if (Out.size() > Bom && Lines.back().Eol.empty()) Out += Eol;
  Out += "[" + Section + "]" + std::string(Eol) + Key + "=" + Value + std::string(Eol);
  return Out;
}

std::string FolderOf(const std::string& Path) {
  const size_t Slash = Path.rfind('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

// Opens a new temporary file in Folder; its name goes to TempPath.
int CreateTempBeside(const std::string& Path, std::string& TempPath) {
  static std::atomic<unsigned> Counter{0};
  const std::string Base = Path.substr(Path.rfind('/') + 1);
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    TempPath = FolderOf(Path) + "/." + Base + "." + std::to_string(::getpid()) + "." +
               std::to_string(Counter.fetch_add(1)) + ".tmp";
    const int Fd = ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd >= 0 || errno != EEXIST) return Fd;
  }
  return -1;
}

void SyncFolder(const std::string& Path) {
  const int Fd = ::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) return;
  ::fsync(Fd);  // best effort: the rename is already visible
  ::close(Fd);
}

// Old: the replaced file's status (its mode and owner carry over), or null
// for a new file. False with errno set; FolderRefused tells that the
// temporary file could not be made because the folder takes no new files.
bool ReplaceAtomically(const std::string& Path, std::string_view Content, const struct stat* Old,
                       bool& FolderRefused) {
  std::string TempPath;
  const int Fd = CreateTempBeside(Path, TempPath);
  FolderRefused = Fd < 0 && (errno == EACCES || errno == EPERM);
  if (Fd < 0) return false;
  bool Ok = true;
  if (Old) {
    Ok = ::fchmod(Fd, Old->st_mode & 07777) == 0;
    if (::fchown(Fd, Old->st_uid, Old->st_gid) != 0) {
      // Only the owner or root may give a file away; the mode is what matters.
    }
  }
  const auto Size = static_cast<int64_t>(Content.size());
  Ok = Ok && FileWrite(Fd, Content.data(), Size) == Size && ::fsync(Fd) == 0;
  Ok = (::close(Fd) == 0) && Ok;
  Ok = Ok && ::rename(TempPath.c_str(), Path.c_str()) == 0;
  if (!Ok) {
    ::unlink(TempPath.c_str());
    return false;
  }
  SyncFolder(Path);
  return true;
}

// For a file that may be written in a folder that takes no new files (so
// no temporary file beside it): the file itself is rewritten. Only the
// bytes from the first change on are written, then the file is cut to its
// new length and flushed, so an interrupted write leaves at least the
// unchanged head.
bool RewriteInPlace(const std::string& Path, std::string_view Old, std::string_view Content) {
  const int Fd = ::open(Path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
  if (Fd < 0) return false;
  size_t Same = 0;
  while (Same < Old.size() && Same < Content.size() && Old[Same] == Content[Same])
    ++Same;
  const auto Rest = static_cast<int64_t>(Content.size() - Same);
  bool Ok = ::lseek(Fd, static_cast<off_t>(Same), SEEK_SET) == static_cast<off_t>(Same) &&
            FileWrite(Fd, Content.data() + Same, Rest) == Rest &&
            ::ftruncate(Fd, static_cast<off_t>(Content.size())) == 0 && ::fsync(Fd) == 0;
  Ok = (::close(Fd) == 0) && Ok;
  return Ok;
}

// A link is followed so that the file it names is updated, not replaced by a
// plain file.
std::string ResolveLink(const std::string& Path) {
  struct stat St {};
  if (::lstat(Path.c_str(), &St) != 0 || !S_ISLNK(St.st_mode)) return Path;
  char* Real = ::realpath(Path.c_str(), nullptr);
  if (!Real) return Path;
  std::string Result(Real);
  std::free(Real);
  return Result;
}

// A file without any write permission is read-only, as the Windows
// attribute makes it, even for a user (root) whom the system would let
// write anyway.
bool IsReadOnly(const struct stat& St) { return (St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

// The reader takes names from the file without the blanks around them, so
// the caller's names are taken so too: a name given with a blank at either
// end would otherwise be written where no read finds it, and every later
// write would add it again.
std::string Name(const std::string& Given) { return std::string(Trim(Given)); }

}  // namespace

std::string GetPrivateProfileString(const std::string& Section, const std::string& Key,
                                    const std::string& Default, const std::u16string& FileName) {
  if (auto Value = ReadValue(Name(Section), Name(Key), FileName)) return std::move(*Value);
  std::string Result = Default;
  LimitLength(Result);
  return Result;
}

int32_t GetPrivateProfileInt(const std::string& Section, const std::string& Key, int32_t Default,
                             const std::u16string& FileName) {
  const auto Value = ReadValue(Name(Section), Name(Key), FileName);
  if (!Value) return Default;
  return ParseProfileInt(*Value).value_or(Default);
}

bool WritePrivateProfileString(const std::string& Section, const std::string& Key,
                               const std::string& Value, const std::u16string& FileName) {
  if (!IsWritable(Section, Key, Value)) return false;
  const std::lock_guard<std::mutex> Guard(WriteLock);
  const std::string Path = ResolveLink(WideToPath(FileName));
  std::string Data;
  struct stat Old {};
  const TReadResult Read = ReadWholeFile(Path, Data, &Old);
  if (Read == TReadResult::Failed) return false;
  const bool Exists = Read == TReadResult::Ok;
  if (Exists && IsReadOnly(Old)) return false;
  const std::string Content = UpdatedContent(Data, Name(Section), Name(Key), Value);
  if (Exists && Content == Data) return true;
  bool FolderRefused = false;
  if (ReplaceAtomically(Path, Content, Exists ? &Old : nullptr, FolderRefused)) return true;
  // A file the user may write in a folder that takes no new files (a
  // shared program folder) is still saved, only not atomically.
  return Exists && FolderRefused && RewriteInPlace(Path, Data, Content);
}

}  // namespace platform
