#include "text/LxCmdStream.h"

#include <cstring>

void TCmdStream::BeginRead(const void* Buffer, int32_t Size) {
  FPosition = 0;
  FBuffer = static_cast<uint8_t*>(const_cast<void*>(Buffer));  // only read from
  FSize = Size;
}

void TCmdStream::BeginWrite(void* Buffer, int32_t Capacity) {
  FPosition = 0;
  FSize = 0;
  FCapacity = Capacity;
  FBuffer = static_cast<uint8_t*>(Buffer);
}

uint8_t TCmdStream::ReadByte(uint8_t Default) {
  if (!FBuffer || static_cast<int64_t>(FPosition) + 1 > FSize) return Default;
  return FBuffer[FPosition++];
}

bool TCmdStream::ReadBytes(void* Dest, int32_t Count) {
  if (Count < 0 || !FBuffer || static_cast<int64_t>(FPosition) + Count > FSize) return false;
  if (Dest && Count > 0) std::memcpy(Dest, FBuffer + FPosition, static_cast<size_t>(Count));
  FPosition += Count;
  return true;
}

void TCmdStream::ReadWideString(std::u16string& S) {
  S.clear();
  const uint8_t Length = ReadByte(0);
  if (Length == 0) return;
  uint8_t Units[2 * CmdStreamMaxStringLength];
  if (!ReadBytes(Units, 2 * Length)) return;
  for (int I = 0; I < Length; ++I)
    S += static_cast<char16_t>(Units[2 * I] | Units[2 * I + 1] << 8);
}

void TCmdStream::WriteByte(uint8_t Value, bool KeepSize) {
  if (!FBuffer || static_cast<int64_t>(FPosition) + 1 > FCapacity) return;
  FBuffer[FPosition++] = Value;
  if (!KeepSize) ++FSize;
}

void TCmdStream::WriteBytes(const void* Source, int32_t Count) {
  if (Count <= 0 || !FBuffer || static_cast<int64_t>(FPosition) + Count > FCapacity) return;
  std::memcpy(FBuffer + FPosition, Source, static_cast<size_t>(Count));
  FPosition += Count;
  FSize += Count;
}

bool TCmdStream::WriteWideString(const std::u16string& S) {
  if (S.size() > CmdStreamMaxStringLength) return false;
  const int32_t Before = FSize;
  WriteByte(static_cast<uint8_t>(S.size()), false);
  uint8_t Units[2 * CmdStreamMaxStringLength];
  for (size_t I = 0; I < S.size(); ++I) {
    Units[2 * I] = static_cast<uint8_t>(S[I] & 0xFF);
    Units[2 * I + 1] = static_cast<uint8_t>(S[I] >> 8);
  }
  WriteBytes(Units, static_cast<int32_t>(2 * S.size()));
  return FSize == Before + 1 + static_cast<int32_t>(2 * S.size());
}
