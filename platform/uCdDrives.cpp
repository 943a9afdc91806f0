#include "platform/uCdDrives.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "platform/uCodePage.h"
#include "platform/uEnvironment.h"
#include "platform/uFileIO.h"
#include "platform/uFileTime.h"

namespace platform {

namespace {

// The second session of a CD-Extra disc starts this many sectors after the
// end of the last audio track (its lead-out, lead-in and pregap).
constexpr int32_t SessionGapSectors = 11400;

// libcdio writes its warnings and errors to standard error, where they
// would tear through the command line's live lines; failures reach the
// callers as results instead. A level rather than a handler of our own: a
// handler would dangle once the player library that also sets it is gone.
void InitLibcdio() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    cdio_loglevel_default = CDIO_LOG_ASSERT;
    cdio_init();
  });
}

// libcdio reads the text of a CUE or TOC file as ISO-8859-1. Such a file
// is 8-bit text like any other (UTF-8, or the user's legacy code page), so
// its own bytes are read again as the system reads 8-bit text.
std::u16string FromTextFileBytes(const std::u16string& Latin1) {
  std::string Bytes;
  for (char16_t C : Latin1) {
    if (C > 0xFF) return Latin1;
    Bytes += static_cast<char>(C);
  }
  return AnsiToWide(Bytes);
}

std::u16string TextField(const cdtext_t* Text, cdtext_field_t Field, track_t Track,
                         bool FromTextFile) {
  if (!Text) return {};
  const char* Value = cdtext_get_const(Text, Field, Track);
  if (!Value) return {};
  const std::u16string Wide = Utf8ToWide(Value);
  return FromTextFile ? FromTextFileBytes(Wide) : Wide;
}

// A code the driver reads apart from CD-TEXT (the sheet of an image, the
// Q sub-channel of a disc): the disc's catalogue number or a track's ISRC.
// The BIN/CUE driver keeps the quotes a sheet may put around the code.
std::u16string DriverCode(char* Code) {
  if (!Code) return {};
  std::string Text = Code;
  cdio_free(Code);
  const size_t First = Text.find_first_not_of("\" \t");
  const size_t Last = Text.find_last_not_of("\" \t");
  return First == std::string::npos ? std::u16string()
                                    : Utf8ToWide(Text.substr(First, Last - First + 1));
}

std::u16string RealPathOrSame(const std::string& Path) {
  char Resolved[PATH_MAX];
  return PathToWide(realpath(Path.c_str(), Resolved) ? std::string(Resolved) : Path);
}

std::vector<std::u16string> DeviceDrives() {
  std::vector<std::u16string> Drives;
  char** Devices = cdio_get_devices(DRIVER_DEVICE);
  for (char** Device = Devices; Device && *Device; ++Device)
    Drives.push_back(RealPathOrSame(*Device));
  if (Devices) cdio_free_device_list(Devices);
  std::sort(Drives.begin(), Drives.end(), CdDriveNameLess);
  return Drives;
}

// MORVO_CD_DRIVES: ':'-separated, as PATH is; relative entries are taken
// from the working folder.
std::vector<std::u16string> ImageDrives() {
  std::vector<std::u16string> Drives;
  std::string Rest = EnvValue("MORVO_CD_DRIVES");
  while (!Rest.empty()) {
    const size_t Colon = Rest.find(':');
    const std::string Entry = Rest.substr(0, Colon);
    Rest = Colon == std::string::npos ? std::string() : Rest.substr(Colon + 1);
    if (Entry.empty()) continue;
    std::u16string Full = GetFullPathNameW(PathToWide(Entry));
    while (Full.size() > 1 && Full.back() == u'/')
      Full.pop_back();
    if (!Full.empty()) Drives.push_back(Full);
  }
  return Drives;
}

std::vector<std::u16string> EnumerateDrives() {
  std::vector<std::u16string> Drives;
  for (const std::u16string& Drive : DeviceDrives())
    if (std::find(Drives.begin(), Drives.end(), Drive) == Drives.end()) Drives.push_back(Drive);
  for (const std::u16string& Drive : ImageDrives())
    if (std::find(Drives.begin(), Drives.end(), Drive) == Drives.end()) Drives.push_back(Drive);
  return Drives;
}

struct TCatalog {
  std::recursive_mutex Lock;
  std::optional<std::vector<std::u16string>> Drives;
  std::map<std::u16string, std::shared_ptr<const TCdDisc>> Discs;
};

TCatalog& Catalog() {
  static TCatalog* Instance = new TCatalog;  // lives to the very end of the process
  return *Instance;
}

const std::vector<std::u16string>& DrivesLocked(TCatalog& C) {
  if (!C.Drives) {
    InitLibcdio();
    C.Drives = EnumerateDrives();
  }
  return *C.Drives;
}

// Where track Index (of First..Last) ends: at the next track, at the
// lead-out after the last one, and a session gap before a data track that
// follows audio (CD-Extra).
lsn_t TrackEnd(CdIo_t* Cd, track_t Track, track_t Last, lsn_t LeadOut) {
  if (Track >= Last) return LeadOut;
  const lsn_t Next = cdio_get_track_lsn(Cd, track_t(Track + 1));
  if (cdio_get_track_format(Cd, track_t(Track + 1)) != TRACK_FORMAT_AUDIO &&
      Next - SessionGapSectors > cdio_get_track_lsn(Cd, Track))
    return Next - SessionGapSectors;
  return Next;
}

TCdDisc ReadDiscOf(CdIo_t* Cd, const std::u16string& Drive) {
  TCdDisc Disc;
  Disc.Drive = Drive;
  Disc.ReadTime = SystemTimeAsFileTime();
  const track_t First = cdio_get_first_track_num(Cd);
  const track_t Count = cdio_get_num_tracks(Cd);
  if (First == CDIO_INVALID_TRACK || Count == CDIO_INVALID_TRACK || Count == 0) return Disc;
  const track_t Last = track_t(First + Count - 1);
  const lsn_t LeadOut = cdio_get_track_lsn(Cd, CDIO_CDROM_LEADOUT_TRACK);
  if (LeadOut == CDIO_INVALID_LSN) return Disc;
  Disc.LeadOut = LeadOut;
  const cdtext_t* Text = cdio_get_cdtext(Cd);
  const driver_id_t Driver = cdio_get_driver_id(Cd);
  const bool FromTextFile = Driver == DRIVER_BINCUE || Driver == DRIVER_CDRDAO;
  Disc.Performer = TextField(Text, CDTEXT_FIELD_PERFORMER, 0, FromTextFile);
  Disc.Title = TextField(Text, CDTEXT_FIELD_TITLE, 0, FromTextFile);
  Disc.Songwriter = TextField(Text, CDTEXT_FIELD_SONGWRITER, 0, FromTextFile);
  Disc.Composer = TextField(Text, CDTEXT_FIELD_COMPOSER, 0, FromTextFile);
  Disc.Genre = TextField(Text, CDTEXT_FIELD_GENRE, 0, FromTextFile);
  Disc.Catalog = TextField(Text, CDTEXT_FIELD_UPC_EAN, 0, FromTextFile);
  if (Disc.Catalog.empty()) Disc.Catalog = DriverCode(cdio_get_mcn(Cd));
  for (track_t T = First; T <= Last; ++T) {
    if (cdio_get_track_format(Cd, T) != TRACK_FORMAT_AUDIO) continue;
    const lsn_t Start = cdio_get_track_lsn(Cd, T);
    if (Start == CDIO_INVALID_LSN) continue;
    const lsn_t End = TrackEnd(Cd, T, Last, LeadOut);
    TCdTrack Track;
    Track.Number = T;
    Track.FirstSector = Start;
    Track.SectorCount = std::max<lsn_t>(0, End - Start);
    // An image cut short ends the disc (its lead-out) before the table of
    // contents ends the track.
    Track.Readable = Start >= 0 && End > Start && End <= LeadOut;
    Track.Performer = TextField(Text, CDTEXT_FIELD_PERFORMER, T, FromTextFile);
    Track.Title = TextField(Text, CDTEXT_FIELD_TITLE, T, FromTextFile);
    Track.Songwriter = TextField(Text, CDTEXT_FIELD_SONGWRITER, T, FromTextFile);
    Track.Composer = TextField(Text, CDTEXT_FIELD_COMPOSER, T, FromTextFile);
    Track.Isrc = TextField(Text, CDTEXT_FIELD_ISRC, T, FromTextFile);
    if (Track.Isrc.empty()) Track.Isrc = DriverCode(cdio_get_track_isrc(Cd, T));
    Disc.HasCdText = Disc.HasCdText || !Track.Performer.empty() || !Track.Title.empty();
    Disc.Tracks.push_back(std::move(Track));
  }
  Disc.HasCdText = Disc.HasCdText || !Disc.Performer.empty() || !Disc.Title.empty();
  return Disc;
}

}  // namespace

const TCdTrack* TCdDisc::FindTrack(int32_t Number) const {
  for (const TCdTrack& Track : Tracks)
    if (Track.Number == Number) return &Track;
  return nullptr;
}

bool CdDriveNameLess(const std::u16string& A, const std::u16string& B) {
  const auto IsDigit = [](char16_t C) { return C >= u'0' && C <= u'9'; };
  size_t I = 0, J = 0;
  while (I < A.size() && J < B.size()) {
    if (IsDigit(A[I]) && IsDigit(B[J])) {
      size_t EndA = I, EndB = J;
      while (EndA < A.size() && IsDigit(A[EndA]))
        ++EndA;
      while (EndB < B.size() && IsDigit(B[EndB]))
        ++EndB;
      // Leading zeros aside, the longer run is the larger number.
      std::u16string_view RunA(A.data() + I, EndA - I), RunB(B.data() + J, EndB - J);
      while (RunA.size() > 1 && RunA.front() == u'0')
        RunA.remove_prefix(1);
      while (RunB.size() > 1 && RunB.front() == u'0')
        RunB.remove_prefix(1);
      if (RunA.size() != RunB.size()) return RunA.size() < RunB.size();
      if (RunA != RunB) return RunA < RunB;
      I = EndA;
      J = EndB;
      continue;
    }
    if (A[I] != B[J]) return A[I] < B[J];
    ++I;
    ++J;
  }
  return A.size() - I < B.size() - J || (A.size() - I == B.size() - J && A < B);
}

std::vector<std::u16string> CdDrives() {
  TCatalog& C = Catalog();
  std::lock_guard Guard(C.Lock);
  return DrivesLocked(C);
}

void RefreshCdDrives() {
  TCatalog& C = Catalog();
  std::lock_guard Guard(C.Lock);
  C.Drives.reset();
  C.Discs.clear();
}

bool IsCdDrive(const std::u16string& Drive) {
  TCatalog& C = Catalog();
  std::lock_guard Guard(C.Lock);
  const std::vector<std::u16string>& Drives = DrivesLocked(C);
  return std::find(Drives.begin(), Drives.end(), Drive) != Drives.end();
}

std::shared_ptr<const TCdDisc> ReadCdDisc(const std::u16string& Drive) {
  TCatalog& C = Catalog();
  std::lock_guard Guard(C.Lock);
  auto Disc = std::make_shared<TCdDisc>();
  Disc->Drive = Drive;
  Disc->ReadTime = SystemTimeAsFileTime();
  if (const std::unique_ptr<TCdSource> Source = TCdSource::Open(Drive)) *Disc = Source->ReadDisc();
  C.Discs[Drive] = Disc;
  return Disc;
}

std::shared_ptr<const TCdDisc> CatalogCdDisc(const std::u16string& Drive) {
  TCatalog& C = Catalog();
  std::lock_guard Guard(C.Lock);
  if (!IsCdDrive(Drive)) return nullptr;
  const auto Known = C.Discs.find(Drive);
  if (Known != C.Discs.end()) return Known->second;
  return ReadCdDisc(Drive);
}

bool EjectCdDrive(const std::u16string& Drive) {
  InitLibcdio();
  {
    TCatalog& C = Catalog();
    std::lock_guard Guard(C.Lock);
    C.Discs.erase(Drive);
  }
  const std::string Path = WideToPath(Drive);
  return cdio_eject_media_drive(Path.c_str()) == DRIVER_OP_SUCCESS;
}

std::unique_ptr<TCdSource> TCdSource::Open(const std::u16string& Drive) {
  InitLibcdio();
  const std::string Path = WideToPath(Drive);
  CdIo_t* Handle = cdio_open(Path.c_str(), DRIVER_UNKNOWN);
  if (!Handle) return nullptr;
  return std::unique_ptr<TCdSource>(new TCdSource(Handle, Drive));
}

TCdSource::~TCdSource() { cdio_destroy(FHandle); }

TCdDisc TCdSource::ReadDisc() const { return ReadDiscOf(FHandle, FDrive); }

}  // namespace platform
