// The checksums of one CD track's audio as it was read: the CRC32 of its
// bytes and the AccurateRip checksums, versions 1 and 2, by which a rip is
// compared with other people's rips of the same pressing.
//
// AccurateRip takes each stereo frame as one little-endian 32-bit value
// (left sample in the low half) and sums value times position (1-based,
// modulo 2^32); version 2 adds both 32-bit halves of each 64-bit product
// instead of the low half only. Because drives read the edges of a disc
// differently, the first audio track leaves out its first five sectors but
// one frame (positions below 2940) and the last audio track its last five
// sectors (the last 2940 positions).
//
// Threading: one thread at a time; owned by its creator.
#pragma once

#include <cstddef>
#include <cstdint>

class TCdTrackChecksums {
public:
  // ExpectedFrames: the track's length in frames by the disc's table of
  // contents; FirstTrack/LastTrack: the track is the disc's first / last
  // audio track.
  TCdTrackChecksums(int64_t ExpectedFrames, bool FirstTrack, bool LastTrack);

  // The track's bytes in order, split anywhere.
  void Update(const uint8_t* Data, size_t Size);

  uint32_t Crc32() const { return FCrc; }
  uint32_t AccurateRipV1() const { return FV1; }
  uint32_t AccurateRipV2() const { return FV2; }
  int64_t Frames() const { return FFrames; }
  // Every frame of the track arrived, and nothing more: only then do the
  // AccurateRip checksums mean anything.
  bool Complete() const { return FFrames == FExpectedFrames && FPartialBytes == 0; }

private:
  void AddFrame(uint32_t Value);

  int64_t FExpectedFrames;
  int64_t FFirstCounted;  // positions counted by AccurateRip, 1-based
  int64_t FLastCounted;
  int64_t FFrames = 0;
  uint32_t FCrc = 0;
  uint32_t FV1 = 0;
  uint32_t FV2 = 0;
  uint8_t FPartial[4] = {};  // a frame split between two blocks
  size_t FPartialBytes = 0;
};
