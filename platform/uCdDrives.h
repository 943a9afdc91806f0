// Audio CDs through libcdio: the optical drives, the disc images that act as
// drives, what disc a drive holds (its audio tracks and CD-TEXT) and the
// tray.
//
// Drives: libcdio's optical devices, each once by its real path, in natural
// name order (/dev/sr2 before /dev/sr10), then the entries of the
// environment variable MORVO_CD_DRIVES in their order. That variable is a
// ':'-separated list of device paths and disc images (CUE/BIN, cdrdao TOC,
// Nero NRG), which libcdio opens with its image drivers; tests and users
// with images use it. The list is enumerated once and kept until
// RefreshCdDrives.
//
// Discs: a drive is ready when it holds a disc with at least one audio
// track. The catalog keeps the last disc read from each drive, so that the
// virtual track files of uCdFiles.h answer without touching the drive; a
// disc is read when the catalog has none for the drive, and again by
// ReadCdDisc and after RefreshCdDrives.
//
// Threading: every function may be called from any thread; the catalog is
// guarded by one lock, held while a drive is read. A TCdSource belongs to
// its creator and is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _CdIo;  // libcdio's CdIo_t

namespace platform {

constexpr int32_t CdSectorBytes = 2352;     // one sector of CD audio
constexpr int32_t CdFramesPerSector = 588;  // stereo 16-bit frames in a sector
constexpr int32_t CdSampleRate = 44100;
constexpr int32_t CdSectorsPerSecond = 75;
// Reads of one sector that the paranoia reader tries before it gives up on
// the sector (and the reading of the track fails).
constexpr int CdReadRetries = 20;

struct TCdTrack {
  int32_t Number = 0;       // on the disc, 1..99
  int32_t FirstSector = 0;  // logical sector number
  int32_t SectorCount = 0;  // audio sectors the table of contents gives the track
  // The track's sectors lie within the disc's data. False only on a damaged
  // disc image (a BIN file cut short), whose tracks must fail to read.
  bool Readable = false;
  std::u16string Performer;  // CD-TEXT; empty without
  std::u16string Title;
  std::u16string Songwriter;
  std::u16string Composer;
  std::u16string Isrc;  // CD-TEXT, else the driver's (an image's sheet, the sub-channel)

  uint64_t Bytes() const { return uint64_t(SectorCount) * CdSectorBytes; }
  int64_t Frames() const { return int64_t(SectorCount) * CdFramesPerSector; }
};

struct TCdDisc {
  std::u16string Drive;
  std::vector<TCdTrack> Tracks;  // the audio tracks, in disc order
  std::u16string Performer;      // CD-TEXT of the album; empty without
  std::u16string Title;
  std::u16string Songwriter;
  std::u16string Composer;
  std::u16string Genre;
  std::u16string Catalog;  // UPC/EAN: CD-TEXT, else the driver's media catalogue number
  bool HasCdText = false;  // any CD-TEXT title or performer, of the album or a track
  int32_t LeadOut = 0;     // logical sector number of the lead-out
  uint64_t ReadTime = 0;   // file time when the disc was read

  bool Ready() const { return !Tracks.empty(); }
  // Null when the disc has no audio track of that number.
  const TCdTrack* FindTrack(int32_t Number) const;
  // First and last audio track of the disc (the AccurateRip checksums leave
  // out the edges of those two).
  bool IsFirstTrack(int32_t Number) const { return Ready() && Tracks.front().Number == Number; }
  bool IsLastTrack(int32_t Number) const { return Ready() && Tracks.back().Number == Number; }
};

// The drive list (enumerated on first use, then kept).
std::vector<std::u16string> CdDrives();
// Forgets the drive list and every disc of the catalog; the next call
// enumerates and reads again (devices plugged in meanwhile appear).
void RefreshCdDrives();
// Whether Drive is one of CdDrives() (compared as given there).
bool IsCdDrive(const std::u16string& Drive);

// Reads the disc in Drive now and keeps it in the catalog. Tracks are
// empty when the drive holds no disc, no audio disc, or cannot be opened.
std::shared_ptr<const TCdDisc> ReadCdDisc(const std::u16string& Drive);
// The catalog's disc of Drive; read first when the catalog has none. Null
// when Drive is not one of CdDrives().
std::shared_ptr<const TCdDisc> CatalogCdDisc(const std::u16string& Drive);

// Opens the tray of Drive through libcdio; false when the drive refused
// (busy, no tray, an image). The catalog forgets the drive's disc either way.
bool EjectCdDrive(const std::u16string& Drive);

// An opened drive or disc image, for a reader of its sectors.
class TCdSource {
public:
  // Null when libcdio cannot open Drive.
  static std::unique_ptr<TCdSource> Open(const std::u16string& Drive);
  ~TCdSource();
  TCdSource(const TCdSource&) = delete;
  TCdSource& operator=(const TCdSource&) = delete;

  // The disc as its table of contents and CD-TEXT give it now.
  TCdDisc ReadDisc() const;
  // libcdio's handle, owned by this object.
  _CdIo* Handle() const { return FHandle; }
  const std::u16string& Drive() const { return FDrive; }

private:
  TCdSource(_CdIo* Handle, std::u16string Drive) : FHandle(Handle), FDrive(std::move(Drive)) {}
  _CdIo* FHandle;
  std::u16string FDrive;
};

// Order of drive names: digit runs compare by their value.
bool CdDriveNameLess(const std::u16string& A, const std::u16string& B);

}  // namespace platform
