// The decoder of an audio CD track ("<drive>/TrackNN.cda", platform/
// uCdFiles.h): reads the track's sectors through cdparanoia (libcdio-
// paranoia) in full paranoia mode (verification and overlapped reads), each
// sector tried up to CdReadRetries times, and delivers them as 16-bit
// 44.1 kHz stereo little-endian PCM, sample-accurate. A sector that still
// cannot be read after the retries (a scratch, the disc taken out) makes
// every later Read fail with -1; the reader never hands out a sector it has
// not read.
//
// Threading as TSourceDecoder's; TLxDecoder picks it for track paths.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/uCdDrives.h"
#include "uSourceDecoder.h"

struct cdrom_drive_s;
struct cdrom_paranoia_s;

class TCdTrackDecoder final : public TSourceDecoder {
public:
  TCdTrackDecoder() = default;
  ~TCdTrackDecoder() override;
  TCdTrackDecoder(const TCdTrackDecoder&) = delete;
  TCdTrackDecoder& operator=(const TCdTrackDecoder&) = delete;

  // Whether Path names a track file (any folder); such a name belongs to
  // this decoder even when no drive answers for it.
  static bool IsTrackPath(const std::string& Path);

  bool OpenFile(const std::string& Path, std::string& Reason) override;
  TDecoderInfo Info() const override { return FInfo; }
  int32_t ReadInto(void* Buffer, int32_t Size) override;
  int32_t SeekTo(int64_t Position) override;

private:
  bool OpenTrack(const std::u16string& Path, std::string& Reason);
  void Close();
  // Reads the next sector into FSector; false when it cannot be read.
  bool ReadSector();
  size_t PendingBytes() const { return FSectorFill - FSectorPos; }

  std::unique_ptr<platform::TCdSource> FSource;
  cdrom_drive_s* FDrive = nullptr;
  cdrom_paranoia_s* FParanoia = nullptr;
  int32_t FFirstSector = 0;  // of the track on the disc
  int32_t FSectorCount = 0;
  int32_t FNextSector = 0;  // next sector to read, counted from the track's first
  std::array<uint8_t, platform::CdSectorBytes> FSector{};
  size_t FSectorPos = 0;  // bytes of FSector handed out
  size_t FSectorFill = 0;
  bool FFailed = false;
  TDecoderInfo FInfo{};
};
