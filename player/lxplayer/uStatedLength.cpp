#include "uStatedLength.h"

#include <array>
#include <cstring>
#include <fstream>

namespace {

// Chunks before "data" are small; a header that needs more is not one we read.
constexpr int kMaxChunks = 64;
constexpr uint32_t kOpenSize = 0xFFFFFFFFu;

uint32_t Le32(const uint8_t* P) {
  return P[0] | P[1] << 8 | P[2] << 16 | static_cast<uint32_t>(P[3]) << 24;
}
uint64_t Le64(const uint8_t* P) { return Le32(P) | static_cast<uint64_t>(Le32(P + 4)) << 32; }

struct TChunk {
  char Id[4];
  uint32_t Size;
};

bool ReadChunkHeader(std::ifstream& In, TChunk& Chunk) {
  uint8_t raw[8];
  if (!In.read(reinterpret_cast<char*>(raw), 8)) return false;
  std::memcpy(Chunk.Id, raw, 4);
  Chunk.Size = Le32(raw + 4);
  return true;
}

bool Is(const TChunk& Chunk, const char* Id) { return std::memcmp(Chunk.Id, Id, 4) == 0; }

}  // namespace

int64_t WavStatedFrames(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  uint8_t riff[12];
  if (!in.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff + 8, "WAVE", 4) != 0)
    return -1;
  const bool sized64 = std::memcmp(riff, "RF64", 4) == 0 || std::memcmp(riff, "BW64", 4) == 0;
  if (!sized64 && std::memcmp(riff, "RIFF", 4) != 0) return -1;
  uint64_t dataSize64 = 0;
  uint32_t blockAlign = 0;
  TChunk chunk;
  for (int i = 0; i < kMaxChunks && ReadChunkHeader(in, chunk); ++i) {
    if (Is(chunk, "data")) {
      const uint64_t size = sized64 && chunk.Size == kOpenSize ? dataSize64 : chunk.Size;
      if (blockAlign == 0 || size == 0 || (!sized64 && chunk.Size == kOpenSize)) return -1;
      return static_cast<int64_t>(size / blockAlign);
    }
    std::array<uint8_t, 28> head{};
    const uint32_t wanted =
        chunk.Size < head.size() ? chunk.Size : static_cast<uint32_t>(head.size());
    if (!in.read(reinterpret_cast<char*>(head.data()), wanted)) return -1;
    if (Is(chunk, "fmt ") && wanted >= 14) blockAlign = head[12] | head[13] << 8;
    if (Is(chunk, "ds64") && wanted >= 16) dataSize64 = Le64(head.data() + 8);
    // Chunks are padded to an even size.
    in.seekg(static_cast<std::streamoff>(chunk.Size - wanted + (chunk.Size & 1)), std::ios::cur);
  }
  return -1;
}
