// Collects interleaved PCM as the caller hands it over, in pieces of any
// size (a block may be split between two calls), until a frame is full;
// then gives the frame's samples per channel and the CRC of its bytes.
// 32-bit input is kept as 24-bit samples, which the caller must first make
// sure is lossless (Accepts). Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ape {

class TApeFrameBuffer {
public:
  // InputBits: 8, 16, 24 or 32 (stored as 24); Channels: 1 or 2.
  void Init(int InputBits, int Channels, uint32_t BlocksPerFrame);

  // Bits per sample as stored in the file.
  int StoredBits() const { return FStoredBits; }
  uint32_t BlocksPerFrame() const { return FBlocksPerFrame; }

  // False when the bytes hold a 32-bit sample whose low 8 bits are not
  // zero: such input cannot be stored without loss.
  bool Accepts(const uint8_t* Data, size_t Bytes) const;
  // Takes as many bytes as fit into the current frame; advances Data and
  // lowers Bytes by that much. True when the frame is now full.
  bool Append(const uint8_t*& Data, size_t& Bytes);

  // Whole blocks collected for the current frame.
  uint32_t Blocks() const { return static_cast<uint32_t>(Pending() / FInputBlockAlign); }
  // Bytes of an unfinished block at the end (dropped at the end of input).
  size_t PartialBytes() const { return Pending() % FInputBlockAlign; }

  // Converts the collected whole blocks: per-channel signed samples into
  // Channel0/Channel1 (resized to Blocks()), and the CRC-32 of the frame's
  // bytes as the file stores them. Then empties the buffer.
  uint32_t TakeFrame(std::vector<int32_t>& Channel0, std::vector<int32_t>& Channel1);
  // The frame last taken, as Append received it (32-bit samples get their
  // zero low byte back), until the next Append or Init: what a frame that
  // cannot be written at this level feeds in again, without a copy of
  // every frame kept on the side.
  void TakenFrameAsInput(std::vector<uint8_t>& Out) const;

private:
  int FInputBits = 16;
  int FStoredBits = 16;
  int FChannels = 2;
  uint32_t FBlocksPerFrame = 0;
  size_t FInputBlockAlign = 4;
  // Bytes after the frame last taken, which stays at the front until the
  // next Append moves them there.
  size_t Pending() const { return FFill - FTaken; }
  void DropTakenFrame();

  std::vector<uint8_t> FBytes;
  size_t FFill = 0;
  size_t FTaken = 0;        // bytes of the frame last taken, as received
  size_t FTakenStored = 0;  // the same frame's bytes as stored, at the front
};

}  // namespace ape
