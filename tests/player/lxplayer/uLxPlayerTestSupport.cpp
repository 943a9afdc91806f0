#include "uLxPlayerTestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TPlayerLibrary& TPlayerLibrary::Get() {
  static TPlayerLibrary library = [] {
    TPlayerLibrary lib;
    lib.Handle = dlopen(MORVO_BIN_DIR "/libLxPlayer.so", RTLD_NOW | RTLD_LOCAL);
    if (!lib.Handle) return lib;
    lib.Ordinal1 = reinterpret_cast<TLxPlayerOrdinalVoid>(dlsym(lib.Handle, "LxPlayerOrdinal1"));
    lib.Ordinal2 = reinterpret_cast<TLxPlayerCreateDecoder>(dlsym(lib.Handle, "LxPlayerOrdinal2"));
    lib.Ordinal3 = reinterpret_cast<TLxPlayerOrdinalVoid>(dlsym(lib.Handle, "LxPlayerOrdinal3"));
    lib.Ordinal6 = reinterpret_cast<TLxPlayerCreateCpuControl>(dlsym(lib.Handle, "LxPlayerOrdinal6"));
    return lib;
  }();
  return library;
}

TTempDir::TTempDir() {
  std::string pattern = (fs::temp_directory_path() / "lxplayer_test_XXXXXX").string();
  if (mkdtemp(pattern.data())) FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  if (!FPath.empty()) fs::remove_all(FPath, ignored);
}

bool RunCommand(const std::string& Command) { return std::system(Command.c_str()) == 0; }

std::string Quote(const fs::path& Path) {
  std::string quoted = "'";
  for (char c : Path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void WriteBytes(const fs::path& Path, const std::vector<uint8_t>& Bytes) {
  std::ofstream out(Path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

std::vector<uint8_t> ReadBytes(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> NoiseBytes(size_t Count, uint32_t Seed) {
  std::vector<uint8_t> bytes(Count);
  uint32_t state = Seed;
  for (uint8_t& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

IDecoderEx* NewDecoder() {
  IDecoderEx* decoder = nullptr;
  if (TPlayerLibrary::Get().Ordinal2) TPlayerLibrary::Get().Ordinal2(&decoder);
  return decoder;
}

IDecoderEx* OpenDecoder(const fs::path& Path) {
  IDecoderEx* decoder = NewDecoder();
  if (!decoder) return nullptr;
  const std::u16string wide = Path.u16string();
  if ((decoder->Open(wide.c_str()) & 0xFF) != 0) return decoder;
  decoder->Release();
  return nullptr;
}

TDecoderInfo InfoOf(IDecoderEx* Decoder) {
  TDecoderInfo info{};
  Decoder->GetInfo(&info);
  return info;
}

std::vector<uint8_t> ReadToEnd(IDecoderEx* Decoder, int32_t BlockSize) {
  std::vector<uint8_t> all;
  std::vector<uint8_t> block(BlockSize);
  while (true) {
    const int32_t got = Decoder->Read(block.data(), BlockSize);
    if (got <= 0) break;
    all.insert(all.end(), block.begin(), block.begin() + got);
  }
  return all;
}

std::vector<uint8_t> ReadBytesFrom(IDecoderEx* Decoder, size_t Count) {
  std::vector<uint8_t> bytes(Count);
  size_t done = 0;
  while (done < Count) {
    const int32_t got = Decoder->Read(bytes.data() + done, static_cast<int32_t>(Count - done));
    if (got <= 0) break;
    done += got;
  }
  bytes.resize(done);
  return bytes;
}
