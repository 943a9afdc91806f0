#include "player/codecs/ape/uApeFrameBuffer.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace ape {

void TApeFrameBuffer::Init(int InputBits, int Channels, uint32_t BlocksPerFrame) {
  FInputBits = InputBits;
  FStoredBits = InputBits == 32 ? 24 : InputBits;
  FChannels = Channels;
  FBlocksPerFrame = BlocksPerFrame;
  FInputBlockAlign = static_cast<size_t>(InputBits / 8) * Channels;
  FBytes.assign(FInputBlockAlign * BlocksPerFrame, 0);
  FFill = 0;
  FTaken = 0;
  FTakenStored = 0;
}

bool TApeFrameBuffer::Accepts(const uint8_t* Data, size_t Bytes) const {
  if (FInputBits != 32) return true;
  // The low byte of each little-endian sample comes first; a frame always
  // ends on a whole block, so the pending bytes tell where the next sample
  // starts.
  const size_t phase = Pending() % 4;
  for (size_t i = phase == 0 ? 0 : 4 - phase; i < Bytes; i += 4)
    if (Data[i] != 0) return false;
  return true;
}

void TApeFrameBuffer::DropTakenFrame() {
  if (FTaken == 0) return;
  std::memmove(FBytes.data(), FBytes.data() + FTaken, Pending());
  FFill = Pending();
  FTaken = 0;
  FTakenStored = 0;
}

bool TApeFrameBuffer::Append(const uint8_t*& Data, size_t& Bytes) {
  DropTakenFrame();
  const size_t room = FBytes.size() - FFill;
  const size_t take = std::min(room, Bytes);
  std::memcpy(FBytes.data() + FFill, Data, take);
  FFill += take;
  Data += take;
  Bytes -= take;
  return FFill == FBytes.size();
}

namespace {

template <class Read>
void Deinterleave(const uint8_t* Bytes, uint32_t Blocks, int Channels, size_t SampleBytes,
                  Read read, int32_t* Out0, int32_t* Out1) {
  if (Channels == 1) {
    for (uint32_t i = 0; i < Blocks; ++i)
      Out0[i] = read(Bytes + i * SampleBytes);
    return;
  }
  for (uint32_t i = 0; i < Blocks; ++i) {
    const uint8_t* block = Bytes + 2 * i * SampleBytes;
    Out0[i] = read(block);
    Out1[i] = read(block + SampleBytes);
  }
}

int32_t Read8(const uint8_t* p) { return int32_t{p[0]} - 128; }
int32_t Read16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
int32_t Read24(const uint8_t* p) {
  return static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) |
                              (uint32_t{p[2]} << 24)) >>
         8;
}

}  // namespace

uint32_t TApeFrameBuffer::TakeFrame(std::vector<int32_t>& Channel0,
                                    std::vector<int32_t>& Channel1) {
  DropTakenFrame();
  const uint32_t blocks = Blocks();
  const size_t used = blocks * FInputBlockAlign;
  uint8_t* bytes = FBytes.data();

  if (FInputBits == 32) {
    // Drop each sample's (zero) low byte: the file stores 24-bit samples.
    const size_t samples = used / 4;
    for (size_t i = 0; i < samples; ++i)
      std::memmove(bytes + 3 * i, bytes + 4 * i + 1, 3);
  }
  const size_t sampleBytes = static_cast<size_t>(FStoredBits / 8);
  const size_t storedBytes = sampleBytes * FChannels * blocks;

  Channel0.resize(blocks);
  Channel1.resize(FChannels == 2 ? blocks : 0);
  int32_t* out1 = FChannels == 2 ? Channel1.data() : nullptr;
  switch (FStoredBits) {
  case 8:
    Deinterleave(bytes, blocks, FChannels, 1, Read8, Channel0.data(), out1);
    break;
  case 16:
    Deinterleave(bytes, blocks, FChannels, 2, Read16, Channel0.data(), out1);
    break;
  default:
    Deinterleave(bytes, blocks, FChannels, 3, Read24, Channel0.data(), out1);
    break;
  }

  // A frame holds at most a few MiB: one call covers it.
  const uLong crc = crc32(0L, bytes, static_cast<uInt>(storedBytes));

  // The bytes of an unfinished block after it wait for the next frame.
  FTaken = used;
  FTakenStored = storedBytes;
  return static_cast<uint32_t>(crc);
}

void TApeFrameBuffer::TakenFrameAsInput(std::vector<uint8_t>& Out) const {
  const uint8_t* stored = FBytes.data();
  if (FInputBits != 32) {
    Out.assign(stored, stored + FTakenStored);
    return;
  }
  Out.resize(FTakenStored / 3 * 4);
  for (size_t i = 0, samples = FTakenStored / 3; i < samples; ++i) {
    Out[4 * i] = 0;
    std::memcpy(Out.data() + 4 * i + 1, stored + 3 * i, 3);
  }
}

}  // namespace ape
