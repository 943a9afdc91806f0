#include "uLxPlayerTestSupport.h"

#include "tests/support/uBuiltLibrary.h"

namespace fs = std::filesystem;

TPlayerLibrary& TPlayerLibrary::Get() {
  using morvotest::BuiltEntry;
  static TPlayerLibrary library = [] {
    TPlayerLibrary lib;
    lib.Handle = morvotest::OpenBuiltLibrary("libLxPlayer.so");
    lib.Ordinal1 = BuiltEntry<TLxPlayerOrdinalVoid>(lib.Handle, "LxPlayerOrdinal1");
    lib.Ordinal2 = BuiltEntry<TLxPlayerCreateDecoder>(lib.Handle, "LxPlayerOrdinal2");
    lib.Ordinal3 = BuiltEntry<TLxPlayerOrdinalVoid>(lib.Handle, "LxPlayerOrdinal3");
    lib.Ordinal6 = BuiltEntry<TLxPlayerCreateCpuControl>(lib.Handle, "LxPlayerOrdinal6");
    return lib;
  }();
  return library;
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

std::string FailureReason(IDecoderEx* Decoder) {
  TComPtr<IDecoderFailureInfo> info;
  if (Decoder->QueryInterface(IID_IDecoderFailureInfo, reinterpret_cast<void**>(info.Put())) !=
      S_OK)
    return "?";
  std::u16string reason(size_t(info->GetFailureReason(nullptr, 0)), u'\0');
  info->GetFailureReason(reason.data(), int32_t(reason.size() + 1));
  return std::string(reason.begin(), reason.end());  // the reasons are ASCII
}
