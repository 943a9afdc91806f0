#include "platform/uCdFiles.h"

#include <cstdio>

#include "platform/uCdDrives.h"
#include "platform/uCodePage.h"

namespace platform {

namespace {

bool IsDelimiter(char16_t C) { return C == u'/' || C == u'\\'; }

char16_t LowerAscii(char16_t C) { return C >= u'A' && C <= u'Z' ? char16_t(C + 32) : C; }

bool EqualsIgnoringCase(std::u16string_view A, std::u16string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I)
    if (LowerAscii(A[I]) != LowerAscii(B[I])) return false;
  return true;
}

std::u16string WithoutTrailingDelimiters(std::u16string Path) {
  while (Path.size() > 1 && IsDelimiter(Path.back()))
    Path.pop_back();
  return Path;
}

// The ready disc of Drive, or null (last error set).
std::shared_ptr<const TCdDisc> ReadyDisc(const std::u16string& Drive) {
  std::shared_ptr<const TCdDisc> Disc = IsCdDrive(Drive) ? CatalogCdDisc(Drive) : nullptr;
  if (Disc && Disc->Ready()) return Disc;
  SetLastError(ERROR_PATH_NOT_FOUND);
  return nullptr;
}

TFindData TrackEntry(const TCdDisc& Disc, const TCdTrack& Track) {
  TFindData Entry;
  Entry.Name = CdTrackFileName(Track.Number);
  Entry.Attributes = FILE_ATTRIBUTE_READONLY;
  Entry.Size = Track.Bytes();
  Entry.LastWriteTime = Disc.ReadTime;
  return Entry;
}

}  // namespace

std::u16string CdDriveRoot(const std::u16string& Drive) { return Drive + u"/"; }

std::u16string CdTrackFileName(int32_t Number) {
  char Name[16];
  std::snprintf(Name, sizeof Name, "Track%02d.cda", static_cast<int>(Number % 100));
  return Utf8ToWide(Name);
}

bool SplitCdTrackPath(const std::u16string& Path, std::u16string& Drive, int32_t& Number) {
  const size_t Delimiter = Path.find_last_of(u"/\\");
  if (Delimiter == std::u16string::npos || Delimiter == 0) return false;
  const std::u16string_view Name = std::u16string_view(Path).substr(Delimiter + 1);
  // "Track" + two digits + ".cda"
  if (Name.size() != 11 || !EqualsIgnoringCase(Name.substr(0, 5), u"track") ||
      !EqualsIgnoringCase(Name.substr(7), u".cda"))
    return false;
  const char16_t Tens = Name[5], Ones = Name[6];
  if (Tens < u'0' || Tens > u'9' || Ones < u'0' || Ones > u'9') return false;
  Number = (Tens - u'0') * 10 + (Ones - u'0');
  Drive = WithoutTrailingDelimiters(Path.substr(0, Delimiter));
  return Number > 0;
}

std::u16string CdDriveOfPath(const std::u16string& Path) {
  for (const std::u16string& Drive : CdDrives()) {
    if (Path.size() < Drive.size() || Path.compare(0, Drive.size(), Drive) != 0) continue;
    if (Path.size() == Drive.size() || IsDelimiter(Path[Drive.size()])) return Drive;
  }
  return {};
}

bool CdFileAttributes(const std::u16string& Path, uint32_t& Attributes, uint64_t& Size) {
  const std::u16string Trimmed = WithoutTrailingDelimiters(Path);
  if (IsCdDrive(Trimmed)) {
    if (!ReadyDisc(Trimmed)) return false;
    Attributes = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
    Size = 0;
    return true;
  }
  std::u16string Drive;
  int32_t Number = 0;
  if (!SplitCdTrackPath(Path, Drive, Number)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const std::shared_ptr<const TCdDisc> Disc = ReadyDisc(Drive);
  if (!Disc) return false;
  const TCdTrack* Track = Disc->FindTrack(Number);
  if (!Track) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  Attributes = FILE_ATTRIBUTE_READONLY;
  Size = Track->Bytes();
  return true;
}

bool CdFolderEntries(const std::u16string& Folder, std::vector<TFindData>& Entries) {
  const std::u16string Drive = WithoutTrailingDelimiters(Folder);
  if (!IsCdDrive(Drive)) return false;
  const std::shared_ptr<const TCdDisc> Disc = ReadyDisc(Drive);
  if (!Disc) return false;
  Entries.clear();
  for (const TCdTrack& Track : Disc->Tracks)
    Entries.push_back(TrackEntry(*Disc, Track));
  return true;
}

}  // namespace platform
