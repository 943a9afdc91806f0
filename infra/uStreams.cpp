#include "infra/uStreams.h"

#include <algorithm>
#include <cstring>

int64_t TStream::Size() {
  const int64_t Current = Seek(0, soCurrent);
  const int64_t End = Seek(0, soEnd);
  Seek(Current, soBeginning);
  return End;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::vector<uint8_t> Chunk(static_cast<size_t>(std::min<int64_t>(Count, 1 << 16)));
  int64_t Left = Count;
  while (Left > 0) {
    const int64_t Step = std::min<int64_t>(Left, static_cast<int64_t>(Chunk.size()));
    Source.ReadBuffer(Chunk.data(), Step);
    WriteBuffer(Chunk.data(), Step);
    Left -= Step;
  }
  return Count;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t Available = Size() - FPosition;
  if (Count <= 0 || Available <= 0) return 0;
  const int64_t Taken = std::min(Count, Available);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(Taken));
  FPosition += Taken;
  return Taken;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t End = FPosition + Count;
  if (End > Size()) FData.resize(static_cast<size_t>(End));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = End;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  FPosition = std::max<int64_t>(0, Base + Offset);
  return FPosition;
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  const int64_t Got = platform::FileRead(FHandle, Buffer, Count);
  return Got < 0 ? 0 : Got;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  const int64_t Put = platform::FileWrite(FHandle, Buffer, Count);
  return Put < 0 ? 0 : Put;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  return platform::FileSeek(FHandle, Offset, static_cast<int>(Origin));
}
