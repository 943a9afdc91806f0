#include "uCdTrackDecoder.h"

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/uCdFiles.h"
#include "platform/uCodePage.h"

namespace {

constexpr int64_t HundredNsPerSecond = 10'000'000;
constexpr int32_t FrameBytes = 4;  // 16-bit stereo
constexpr int32_t CdBitrateKbps = platform::CdSampleRate * FrameBytes * 8 / 1000;
// Full paranoia, but a sector that fails every retry is given up on (and
// the reading fails) instead of being retried for ever.
constexpr int ReadMode = PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;

// Paranoia reports through a plain function; a decoder reads on one thread
// at a time, so the flag of the read in progress is the thread's.
thread_local bool SectorGivenUp = false;

void OnParanoiaEvent(long, paranoia_cb_mode_t Event) {
  if (Event == PARANOIA_CB_SKIP) SectorGivenUp = true;
}

}  // namespace

TCdTrackDecoder::~TCdTrackDecoder() { Close(); }

bool TCdTrackDecoder::IsTrackPath(const std::string& Path) {
  std::u16string Drive;
  int32_t Number = 0;
  return platform::SplitCdTrackPath(platform::PathToWide(Path), Drive, Number);
}

void TCdTrackDecoder::Close() {
  if (FParanoia) paranoia_free(FParanoia);
  if (FDrive) cdio_cddap_close_no_free_cdio(FDrive);
  FParanoia = nullptr;
  FDrive = nullptr;
  FSource.reset();
  FFirstSector = FSectorCount = FNextSector = 0;
  FSectorPos = FSectorFill = 0;
  FFailed = false;
  FInfo = TDecoderInfo{};
}

bool TCdTrackDecoder::OpenTrack(const std::u16string& Path, std::string& Reason) {
  std::u16string DrivePath;
  int32_t Number = 0;
  if (!platform::SplitCdTrackPath(Path, DrivePath, Number)) return false;
  FSource = platform::TCdSource::Open(DrivePath);
  if (!FSource) {
    Reason = "no disc in the drive";
    return false;
  }
  // The disc as it is now, not as it was listed: it may have been changed.
  const platform::TCdDisc Disc = FSource->ReadDisc();
  const platform::TCdTrack* Track = Disc.FindTrack(Number);
  if (!Track) {
    Reason = "no such audio track on the disc";
    return false;
  }
  if (!Track->Readable || Track->SectorCount <= 0) {
    Reason = "the track lies beyond the end of the disc";
    return false;
  }
  FDrive = cdio_cddap_identify_cdio(FSource->Handle(), CDDA_MESSAGE_FORGETIT, nullptr);
  if (!FDrive) return false;
  cdio_cddap_verbose_set(FDrive, CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
  // Left unknown, opening guesses the byte order from the audio itself, and
  // noise-like audio fools the guess into swapping every sample. Drives
  // read through libcdio (MMC) and BIN images give CD audio little-endian,
  // as the disc holds it.
  FDrive->bigendianp = 0;
  if (cdio_cddap_open(FDrive) != 0) return false;
  FParanoia = paranoia_init(FDrive);
  if (!FParanoia) return false;
  paranoia_modeset(FParanoia, ReadMode);
  FFirstSector = Track->FirstSector;
  FSectorCount = Track->SectorCount;
  paranoia_seek(FParanoia, FFirstSector, SEEK_SET);
  FInfo.BitsPerSample = 16;
  FInfo.Channels = 2;
  FInfo.SampleRate = platform::CdSampleRate;
  FInfo.Bitrate = CdBitrateKbps;
  // Rounded to 100 ns: the frame count comes back exactly from it.
  FInfo.Duration =
      (Track->Frames() * HundredNsPerSecond + platform::CdSampleRate / 2) / platform::CdSampleRate;
  return true;
}

bool TCdTrackDecoder::OpenFile(const std::string& Path, std::string& Reason) {
  Close();
  if (OpenTrack(platform::PathToWide(Path), Reason)) return true;
  Close();
  return false;
}

bool TCdTrackDecoder::ReadSector() {
  SectorGivenUp = false;
  const int16_t* Samples =
      paranoia_read_limited(FParanoia, OnParanoiaEvent, platform::CdReadRetries);
  if (!Samples || SectorGivenUp) return false;
  // Paranoia hands out samples in the host's byte order.
  std::memcpy(FSector.data(), Samples, FSector.size());
  if constexpr (std::endian::native == std::endian::big) {
    for (size_t I = 0; I < FSector.size(); I += 2)
      std::swap(FSector[I], FSector[I + 1]);
  }
  ++FNextSector;
  FSectorFill = FSector.size();
  return true;
}

int32_t TCdTrackDecoder::ReadInto(void* Buffer, int32_t Size) {
  if (!Buffer || Size < 0 || !FParanoia || FFailed) return -1;
  const size_t Wanted = static_cast<size_t>(Size) / FrameBytes * FrameBytes;
  if (Wanted == 0) return Size == 0 ? 0 : -1;
  auto* Out = static_cast<uint8_t*>(Buffer);
  size_t Done = 0;
  while (Done < Wanted) {
    if (PendingBytes() == 0) {
      if (FNextSector >= FSectorCount) break;
      FSectorPos = 0;
      if (!ReadSector()) {
        // A block with a hole in it is worth nothing: the whole read fails.
        FFailed = true;
        return -1;
      }
      continue;
    }
    const size_t N = std::min(PendingBytes(), Wanted - Done);
    std::memcpy(Out + Done, FSector.data() + FSectorPos, N);
    FSectorPos += N;
    Done += N;
  }
  return static_cast<int32_t>(Done);
}

int32_t TCdTrackDecoder::SeekTo(int64_t Position) {
  if (!FParanoia) return -1;
  // The nearest frame, as the other decoders of the library take it.
  const int64_t Frame =
      (std::max<int64_t>(Position, 0) * platform::CdSampleRate + HundredNsPerSecond / 2) /
      HundredNsPerSecond;
  const int64_t Sector = Frame / platform::CdFramesPerSector;
  FFailed = false;
  FSectorPos = FSectorFill = 0;
  if (Sector >= FSectorCount) {
    FNextSector = FSectorCount;  // nothing more to read
    return 0;
  }
  FNextSector = static_cast<int32_t>(Sector);
  paranoia_seek(FParanoia, FFirstSector + FNextSector, SEEK_SET);
  if (!ReadSector()) {
    FFailed = true;
    return -1;
  }
  FSectorPos = static_cast<size_t>(Frame % platform::CdFramesPerSector) * FrameBytes;
  return 0;
}
