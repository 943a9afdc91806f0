// The command stream: reads and writes strings in a flat byte buffer that
// belongs to the caller (the hand-over payload). Each string is one length
// byte (UTF-16 code units, 0..255) and that many UTF-16LE code units.
// Never allocates, frees or raises; an operation that does not fit the
// buffer does nothing. One thread at a time.
#pragma once

#include <cstdint>
#include <string>

class TCmdStream {
public:
  TCmdStream() = default;
  TCmdStream(const TCmdStream&) = delete;
  TCmdStream& operator=(const TCmdStream&) = delete;

  void BeginRead(const void* Buffer, int32_t Size);
  void BeginWrite(void* Buffer, int32_t Capacity);

  uint8_t ReadByte(uint8_t Default);
  bool ReadBytes(void* Dest, int32_t Count);
  void ReadWideString(std::u16string& S);

  void WriteByte(uint8_t Value, bool KeepSize);
  void WriteBytes(const void* Source, int32_t Count);
  // A string longer than 255 code units cannot be carried by the length
  // byte: it is refused and nothing is written. False also when the string
  // did not fit the buffer (its length byte may then stand alone).
  bool WriteWideString(const std::u16string& S);

  int32_t Capacity() const { return FCapacity; }
  int32_t Size() const { return FSize; }
  int32_t Position() const { return FPosition; }

private:
  uint8_t* FBuffer = nullptr;
  int32_t FCapacity = 0;
  int32_t FSize = 0;
  int32_t FPosition = 0;
};

constexpr size_t CmdStreamMaxStringLength = 255;
