#include "uStatedLength.h"

#include <array>
#include <cstring>
#include <fstream>

namespace {

// Chunks before "data" are small; a header that needs more is not one we read.
constexpr int kMaxChunks = 64;
constexpr uint32_t kOpenSize = 0xFFFFFFFFu;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (the format tag 1).
constexpr std::array<uint8_t, 14> kPcmGuidTail = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* P) { return static_cast<uint16_t>(P[0] | P[1] << 8); }
uint32_t Le32(const uint8_t* P) {
  return P[0] | P[1] << 8 | P[2] << 16 | static_cast<uint32_t>(P[3]) << 24;
}
uint64_t Le64(const uint8_t* P) { return Le32(P) | static_cast<uint64_t>(Le32(P + 4)) << 32; }

struct TChunk {
  char Id[4];
  uint32_t Size;
};

bool ReadChunkHeader(std::istream& In, TChunk& Chunk) {
  uint8_t raw[8];
  if (!In.read(reinterpret_cast<char*>(raw), 8)) return false;
  std::memcpy(Chunk.Id, raw, 4);
  Chunk.Size = Le32(raw + 4);
  return true;
}

bool Is(const TChunk& Chunk, const char* Id) { return std::memcmp(Chunk.Id, Id, 4) == 0; }

void ReadFormat(const uint8_t* Fmt, uint32_t Size, TWavHeader& Header) {
  Header.FormatTag = Le16(Fmt);
  Header.Channels = Le16(Fmt + 2);
  Header.SampleRate = Le32(Fmt + 4);
  Header.ByteRate = Le32(Fmt + 8);
  Header.BlockAlign = Le16(Fmt + 12);
  Header.BitsPerSample = Size >= 16 ? Le16(Fmt + 14) : 0;
  if (Header.FormatTag == kFormatExtensible && Size >= 40) {
    Header.ValidBits = Le16(Fmt + 18);
    Header.PcmSubFormat =
        Le16(Fmt + 24) == 1 && std::memcmp(Fmt + 26, kPcmGuidTail.data(), kPcmGuidTail.size()) == 0;
  }
}

}  // namespace

bool ReadWavHeader(std::istream& In, TWavHeader& Header) {
  Header = TWavHeader{};
  uint8_t riff[12];
  if (!In.read(reinterpret_cast<char*>(riff), 12) || std::memcmp(riff + 8, "WAVE", 4) != 0)
    return false;
  Header.Sized64 = std::memcmp(riff, "RF64", 4) == 0 || std::memcmp(riff, "BW64", 4) == 0;
  if (!Header.Sized64 && std::memcmp(riff, "RIFF", 4) != 0) return false;
  uint64_t dataSize64 = 0;
  bool format = false;
  TChunk chunk;
  for (int i = 0; i < kMaxChunks && ReadChunkHeader(In, chunk); ++i) {
    if (Is(chunk, "data")) {
      Header.OpenDataSize = !Header.Sized64 && chunk.Size == kOpenSize;
      Header.DataSize = Header.Sized64 && chunk.Size == kOpenSize ? dataSize64 : chunk.Size;
      Header.DataOffset = static_cast<uint64_t>(In.tellg());
      return format;
    }
    std::array<uint8_t, 40> head{};
    const uint32_t wanted =
        chunk.Size < head.size() ? chunk.Size : static_cast<uint32_t>(head.size());
    if (!In.read(reinterpret_cast<char*>(head.data()), wanted)) return false;
    if (Is(chunk, "fmt ") && wanted >= 14) {
      ReadFormat(head.data(), wanted, Header);
      format = true;
    }
    if (Is(chunk, "ds64") && wanted >= 16) dataSize64 = Le64(head.data() + 8);
    // Chunks are padded to an even size.
    In.seekg(static_cast<std::streamoff>(chunk.Size - wanted + (chunk.Size & 1)), std::ios::cur);
  }
  return false;
}

int64_t WavStatedFrames(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  TWavHeader header;
  if (!ReadWavHeader(in, header)) return -1;
  if (header.BlockAlign == 0 || header.DataSize == 0 || header.OpenDataSize) return -1;
  return static_cast<int64_t>(header.DataSize / header.BlockAlign);
}
