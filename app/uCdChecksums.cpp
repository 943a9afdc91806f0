#include "app/uCdChecksums.h"

#include <zlib.h>

#include <algorithm>

#include "platform/uCdDrives.h"

namespace {

// Frames at each edge of the disc that AccurateRip leaves out.
constexpr int64_t EdgeFrames = 5 * platform::CdFramesPerSector;

uint32_t FrameValue(const uint8_t* Frame) {
  return uint32_t(Frame[0]) | uint32_t(Frame[1]) << 8 | uint32_t(Frame[2]) << 16 |
         uint32_t(Frame[3]) << 24;
}

}  // namespace

TCdTrackChecksums::TCdTrackChecksums(int64_t ExpectedFrames, bool FirstTrack, bool LastTrack)
    : FExpectedFrames(ExpectedFrames), FFirstCounted(FirstTrack ? EdgeFrames : 1),
      FLastCounted(LastTrack ? ExpectedFrames - EdgeFrames : ExpectedFrames),
      FCrc(static_cast<uint32_t>(crc32(0L, Z_NULL, 0))) {}

void TCdTrackChecksums::AddFrame(uint32_t Value) {
  const int64_t Position = ++FFrames;
  if (Position < FFirstCounted || Position > FLastCounted) return;
  const uint64_t Product = uint64_t(Value) * uint64_t(Position);
  FV1 += static_cast<uint32_t>(Product);
  FV2 += static_cast<uint32_t>(Product) + static_cast<uint32_t>(Product >> 32);
}

void TCdTrackChecksums::Update(const uint8_t* Data, size_t Size) {
  // zlib takes at most an unsigned int at a time.
  for (size_t Done = 0; Done < Size;) {
    const uInt Part = static_cast<uInt>(std::min<size_t>(Size - Done, 1u << 30));
    FCrc = static_cast<uint32_t>(crc32(FCrc, Data + Done, Part));
    Done += Part;
  }
  size_t At = 0;
  while (FPartialBytes > 0 && At < Size) {
    FPartial[FPartialBytes++] = Data[At++];
    if (FPartialBytes == 4) {
      AddFrame(FrameValue(FPartial));
      FPartialBytes = 0;
    }
  }
  for (; At + 4 <= Size; At += 4)
    AddFrame(FrameValue(Data + At));
  while (At < Size)
    FPartial[FPartialBytes++] = Data[At++];
}
