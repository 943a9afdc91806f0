// The container: descriptor, header, seek table and the frame data area
// (32-bit words, byte-swapped), with the MD5 that the official decoder's
// quick verify checks. Frames are written through the output callback as
// they come; the total is only known at the end, so the seek table gets a
// reservation when the first frame comes, and Finish moves the frame data
// further back once if more frames came than were reserved for. Unused
// reserved entries stay zero, which both target decoders accept.
// Not thread-safe; the callback is borrowed, not owned.
#pragma once

#include <nettle/md5.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ape {

// Where the container goes: the encoder object's output, positions counted
// from where the output stood at Init.
class TApeOutput {
public:
  virtual bool SeekTo(int64_t Position) = 0;
  virtual bool Write(const void* Data, size_t Bytes) = 0;
  virtual bool Read(void* Data, size_t Bytes) = 0;

  // Copies Bytes from From to To; the ranges may overlap.
  bool Copy(int64_t From, int64_t To, int64_t Bytes);
  bool WriteZeros(int64_t Bytes);

protected:
  ~TApeOutput() = default;
};

struct TApeStreamInfo {
  uint16_t Level = 2000;
  uint16_t Bits = 16;
  uint16_t Channels = 2;
  uint32_t SampleRate = 44100;
  uint32_t BlocksPerFrame = 73728;
};

class TApeFileWriter {
public:
  // Entries the seek table reserves when more than one frame is coming.
  // The default covers 20 minutes of audio.
  static uint32_t DefaultReservation(const TApeStreamInfo& Info);

  // Origin: where the file starts in Output, which stands there.
  void Begin(TApeOutput& Output, int64_t Origin, const TApeStreamInfo& Info,
             uint32_t ReservedEntries);
  // Appends one frame's logical bytes. Last: no frame follows (lets a
  // one-frame file get an exact table). False when writing failed or the
  // file would outgrow the 32-bit seek entries.
  bool AddFrame(const std::vector<uint8_t>& LogicalBytes, uint32_t Blocks, bool Last);
  // Pads the data, completes seek table, header, descriptor and MD5.
  // False when there is no frame or writing failed.
  bool Finish();

  uint32_t Frames() const { return static_cast<uint32_t>(FSeekOffsets.size()); }
  // Where the file's bytes end (relative to Output's positions).
  int64_t End() const { return FOrigin + FDataStart + static_cast<int64_t>(FStoredBytes); }
  int64_t Origin() const { return FOrigin; }

  // The stored bytes of frame Index (whole words, as a demuxer hands them
  // to a decoder) and the frame's offset inside its first word. Only for
  // frames added before Finish, while nothing else moved the data.
  bool ReadFrame(uint32_t Index, std::vector<uint8_t>& Stored, uint32_t& Skip);

private:
  bool WriteStart(uint32_t Entries);
  bool WriteStored(const uint8_t* Data, size_t Bytes);
  bool SeekTo(int64_t Position) { return FOutput->SeekTo(FOrigin + Position); }
  bool Write(const void* Data, size_t Bytes) { return FOutput->Write(Data, Bytes); }
  void BuildHeader(uint8_t* Out) const;
  void BuildDescriptor(uint8_t* Out, uint32_t SeekBytes, uint64_t DataBytes,
                       const uint8_t* Md5) const;

  TApeOutput* FOutput = nullptr;
  int64_t FOrigin = 0;
  TApeStreamInfo FInfo;
  uint32_t FReserved = 0;  // entries of the table written; 0 before the first frame
  uint32_t FPlannedReservation = 0;
  bool FFailed = false;
  int64_t FDataStart = 0;      // file offset of the frame data area
  uint64_t FLogicalBytes = 0;  // frame bytes so far, before padding
  uint64_t FStoredBytes = 0;   // bytes of the frame data area written so far
  uint8_t FCarry[4] = {};      // logical bytes of an unfinished word
  size_t FCarryLength = 0;
  uint32_t FLastFrameBlocks = 0;
  std::vector<uint32_t> FSeekOffsets;  // logical offset of each frame
  std::vector<uint8_t> FStaging;
  md5_ctx FMd5{};
};

}  // namespace ape
