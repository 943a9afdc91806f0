#include "player/codecs/ape/uApeFileWriter.h"

#include <algorithm>
#include <cstring>

#include "player/codecs/ape/uApeFormat.h"

namespace ape {

namespace {

constexpr int64_t kFixedBytes = kDescriptorBytes + kHeaderBytes;
// Seek entries are 32-bit file offsets; a file must end below 4 GiB.
constexpr uint64_t kMaxFileBytes = 0xFFFFFFFFull;
constexpr size_t kMoveChunk = 1 << 20;

}  // namespace

uint32_t TApeFileWriter::DefaultReservation(const TApeStreamInfo& Info) {
  const uint64_t blocks = uint64_t{Info.SampleRate} * 20 * 60;
  return static_cast<uint32_t>(
      std::max<uint64_t>(1, (blocks + Info.BlocksPerFrame - 1) / Info.BlocksPerFrame));
}

bool TApeOutput::Copy(int64_t From, int64_t To, int64_t Bytes) {
  // Toward the end: copy from the back; toward the start: from the front.
  std::vector<uint8_t> chunk(kMoveChunk);
  const bool backward = To > From;
  for (int64_t done = 0; done < Bytes;) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(kMoveChunk), Bytes - done);
    const int64_t offset = backward ? Bytes - done - n : done;
    if (!SeekTo(From + offset) || !Read(chunk.data(), static_cast<size_t>(n))) return false;
    if (!SeekTo(To + offset) || !Write(chunk.data(), static_cast<size_t>(n))) return false;
    done += n;
  }
  return true;
}

bool TApeOutput::WriteZeros(int64_t Bytes) {
  const std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(Bytes, kMoveChunk)), 0);
  for (int64_t done = 0; done < Bytes;) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(zeros.size()), Bytes - done);
    if (!Write(zeros.data(), static_cast<size_t>(n))) return false;
    done += n;
  }
  return true;
}

void TApeFileWriter::Begin(TApeOutput& Output, int64_t Origin, const TApeStreamInfo& Info,
                           uint32_t ReservedEntries) {
  FOutput = &Output;
  FOrigin = Origin;
  FInfo = Info;
  FPlannedReservation = std::max<uint32_t>(1, ReservedEntries);
  FReserved = 0;
  FFailed = false;
  FLogicalBytes = 0;
  FStoredBytes = 0;
  FCarryLength = 0;
  FLastFrameBlocks = 0;
  FSeekOffsets.clear();
  md5_init(&FMd5);
}

bool TApeFileWriter::WriteStart(uint32_t Entries) {
  // Placeholders; the real descriptor, header and table come at Finish.
  FReserved = Entries;
  FDataStart = kFixedBytes + int64_t{4} * Entries;
  std::vector<uint8_t> zeros(static_cast<size_t>(FDataStart), 0);
  return Write(zeros.data(), zeros.size());
}

bool TApeFileWriter::WriteStored(const uint8_t* Data, size_t Bytes) {
  md5_update(&FMd5, Bytes, Data);
  FStoredBytes += Bytes;
  return Write(Data, Bytes);
}

bool TApeFileWriter::AddFrame(const std::vector<uint8_t>& LogicalBytes, uint32_t Blocks,
                              bool Last) {
  if (FFailed) return false;
  if (FReserved == 0 && !WriteStart(Last && FSeekOffsets.empty() ? 1 : FPlannedReservation))
    return FFailed = true, false;
  const uint64_t end = kFixedBytes + 4ull * std::max<size_t>(FReserved, FSeekOffsets.size() + 1) +
                       FLogicalBytes + LogicalBytes.size() + 4;
  if (end > kMaxFileBytes) return FFailed = true, false;

  FSeekOffsets.push_back(static_cast<uint32_t>(FLogicalBytes));
  FLastFrameBlocks = Blocks;
  FLogicalBytes += LogicalBytes.size();

  // The data area is a sequence of big-endian words stored little-endian,
  // counted from the start of the area; frames need not start on a word.
  FStaging.clear();
  const uint8_t* p = LogicalBytes.data();
  size_t n = LogicalBytes.size();
  while (n > 0 && (FCarryLength != 0 || n < 4)) {
    FCarry[FCarryLength++] = *p++;
    --n;
    if (FCarryLength == 4) {
      FStaging.insert(FStaging.end(), {FCarry[3], FCarry[2], FCarry[1], FCarry[0]});
      FCarryLength = 0;
    }
  }
  // A bounded staging area: a frame at the highest level holds megabytes.
  constexpr size_t kStagingBytes = 64 * 1024;
  while (n >= 4) {
    const size_t words = std::min(n / 4, (kStagingBytes - FStaging.size()) / 4);
    const size_t base = FStaging.size();
    FStaging.resize(base + words * 4);
    for (size_t i = 0; i < words; ++i) {
      uint32_t w;
      std::memcpy(&w, p + 4 * i, 4);
      w = __builtin_bswap32(w);
      std::memcpy(FStaging.data() + base + 4 * i, &w, 4);
    }
    p += words * 4;
    n -= words * 4;
    if (FStaging.size() + 4 > kStagingBytes) {
      if (!WriteStored(FStaging.data(), FStaging.size())) return FFailed = true, false;
      FStaging.clear();
    }
  }
  while (n > 0) {
    FCarry[FCarryLength++] = *p++;
    --n;
  }
  if (!WriteStored(FStaging.data(), FStaging.size())) return FFailed = true, false;
  return true;
}

bool TApeFileWriter::ReadFrame(uint32_t Index, std::vector<uint8_t>& Stored, uint32_t& Skip) {
  if (Index >= Frames()) return false;
  const uint64_t first = FSeekOffsets[Index];
  const uint64_t next = Index + 1 < Frames() ? FSeekOffsets[Index + 1] : FLogicalBytes;
  const uint64_t begin = first & ~uint64_t{3};
  // Whole words only; the word holding this frame's last bytes may still
  // be unwritten (in FCarry) when this is the newest frame.
  const uint64_t end = std::min<uint64_t>((next + 3) & ~uint64_t{3}, FStoredBytes);
  Skip = static_cast<uint32_t>(first & 3);
  Stored.resize(static_cast<size_t>(end - begin));
  const bool ok = SeekTo(FDataStart + static_cast<int64_t>(begin)) &&
                  FOutput->Read(Stored.data(), Stored.size());
  if (next > FStoredBytes) {
    // The frame's last bytes still wait for their word: add it as stored.
    uint8_t word[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < FCarryLength; ++i)
      word[3 - i] = FCarry[i];
    Stored.insert(Stored.end(), word, word + 4);
  }
  // Writing goes on at the end.
  return SeekTo(FDataStart + static_cast<int64_t>(FStoredBytes)) && ok;
}

void TApeFileWriter::BuildHeader(uint8_t* Out) const {
  PutLe16(Out + 0, FInfo.Level);
  PutLe16(Out + 2, kFlagCreateWavHeader);
  PutLe32(Out + 4, FInfo.BlocksPerFrame);
  PutLe32(Out + 8, FLastFrameBlocks);
  PutLe32(Out + 12, Frames());
  PutLe16(Out + 16, FInfo.Bits);
  PutLe16(Out + 18, FInfo.Channels);
  PutLe32(Out + 20, FInfo.SampleRate);
}

void TApeFileWriter::BuildDescriptor(uint8_t* Out, uint32_t SeekBytes, uint64_t DataBytes,
                                     const uint8_t* Md5) const {
  std::memcpy(Out, "MAC ", 4);
  PutLe16(Out + 4, kFileVersion);
  PutLe16(Out + 6, 0);
  PutLe32(Out + 8, kDescriptorBytes);
  PutLe32(Out + 12, kHeaderBytes);
  PutLe32(Out + 16, SeekBytes);
  PutLe32(Out + 20, 0);  // no stored WAV header
  PutLe32(Out + 24, static_cast<uint32_t>(DataBytes));
  PutLe32(Out + 28, static_cast<uint32_t>(DataBytes >> 32));
  PutLe32(Out + 32, 0);  // no terminating data
  std::memcpy(Out + 36, Md5, 16);
}

bool TApeFileWriter::Finish() {
  if (FFailed || FSeekOffsets.empty()) return false;

  // Pad to the next word; a stream that already ends on a word still gets
  // one zero word, as decoders expect.
  uint8_t pad[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < FCarryLength; ++i)
    pad[3 - i] = FCarry[i];
  FCarryLength = 0;
  if (!WriteStored(pad, 4)) return false;

  if (Frames() > FReserved) {
    const int64_t newStart = kFixedBytes + int64_t{4} * Frames();
    if (!FOutput->Copy(FOrigin + FDataStart, FOrigin + newStart,
                       static_cast<int64_t>(FStoredBytes)))
      return false;
    FDataStart = newStart;
    FReserved = Frames();
  }

  std::vector<uint8_t> table(size_t{4} * FReserved, 0);
  for (size_t i = 0; i < FSeekOffsets.size(); ++i)
    PutLe32(table.data() + 4 * i, static_cast<uint32_t>(FDataStart + FSeekOffsets[i]));
  uint8_t header[kHeaderBytes];
  BuildHeader(header);

  // The hash covers the data area, then the header, then the seek table.
  md5_update(&FMd5, sizeof(header), header);
  md5_update(&FMd5, table.size(), table.data());
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&FMd5, sizeof(digest), digest);

  uint8_t descriptor[kDescriptorBytes];
  BuildDescriptor(descriptor, static_cast<uint32_t>(table.size()), FStoredBytes, digest);
  return SeekTo(0) && Write(descriptor, sizeof(descriptor)) && Write(header, sizeof(header)) &&
         Write(table.data(), table.size());
}

}  // namespace ape
