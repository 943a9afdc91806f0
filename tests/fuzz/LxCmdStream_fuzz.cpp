// The hand-over payload as another process may send it: any bytes. Reading
// ends on every input and never reads outside the payload; what was read
// writes back to the same bytes; a buffer one byte too short keeps every
// string but the last and never takes a byte more than its capacity.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/fuzz/uFuzzSupport.h"
#include "text/LxCmdStream.h"

namespace {

struct TReadResult {
  std::vector<std::u16string> Strings;
  bool AllWhole = true;  // every string's code units were there
};

// The window's reading loop over a payload of exactly Size bytes (a copy on
// the heap, so that a read past its end is caught).
TReadResult ReadAll(const uint8_t* Data, size_t Size) {
  const std::unique_ptr<uint8_t[]> Payload(new uint8_t[Size > 0 ? Size : 1]);
  if (Size > 0) std::memcpy(Payload.get(), Data, Size);
  TCmdStream Stream;
  Stream.BeginRead(Payload.get(), int32_t(Size));
  TReadResult Result;
  while (Stream.Position() < Stream.Size()) {
    const int32_t Before = Stream.Position();
    const uint8_t Length = Payload[size_t(Before)];
    std::u16string S;
    Stream.ReadWideString(S);
    FUZZ_CHECK(Stream.Position() <= Stream.Size());
    if (S.size() == Length) {
      FUZZ_CHECK(Stream.Position() == Before + 1 + 2 * int32_t(Length));
    } else {
      // Its code units are missing: an empty string, and only the length
      // byte is taken.
      FUZZ_CHECK(S.empty() && Stream.Position() == Before + 1);
      Result.AllWhole = false;
    }
    Result.Strings.push_back(S);
  }
  return Result;
}

size_t EncodedSize(const std::vector<std::u16string>& Strings) {
  size_t Size = 0;
  for (const auto& S : Strings)
    Size += 1 + 2 * S.size();
  return Size;
}

// Writes Strings into a heap buffer of exactly Capacity bytes; the bytes
// written come back.
std::vector<uint8_t> WriteAll(const std::vector<std::u16string>& Strings, size_t Capacity,
                              size_t& Complete) {
  const std::unique_ptr<uint8_t[]> Buffer(new uint8_t[Capacity > 0 ? Capacity : 1]);
  TCmdStream Stream;
  Stream.BeginWrite(Buffer.get(), int32_t(Capacity));
  Complete = 0;
  for (const auto& S : Strings)
    if (Stream.WriteWideString(S)) ++Complete;
  FUZZ_CHECK(Stream.Size() >= 0 && size_t(Stream.Size()) <= Capacity);
  FUZZ_CHECK(Stream.Position() == Stream.Size());
  return std::vector<uint8_t>(Buffer.get(), Buffer.get() + Stream.Size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TReadResult Read = ReadAll(Data, Size);
  FUZZ_CHECK(Read.Strings.size() <= Size);

  // Written again, the strings make the payload they came from, unless a
  // truncated string was read as empty.
  const size_t Needed = EncodedSize(Read.Strings);
  size_t Complete = 0;
  const std::vector<uint8_t> Again = WriteAll(Read.Strings, Needed, Complete);
  FUZZ_CHECK(Complete == Read.Strings.size());
  FUZZ_CHECK(Again.size() == Needed);
  FUZZ_CHECK(ReadAll(Again.data(), Again.size()).Strings == Read.Strings);
  if (Read.AllWhole) FUZZ_CHECK(Again == std::vector<uint8_t>(Data, Data + Size));

  // One byte short: the last string does not fit; a non-empty one leaves its
  // length byte behind, which reads as an empty string.
  if (Needed == 0) return 0;
  const std::vector<uint8_t> Short = WriteAll(Read.Strings, Needed - 1, Complete);
  FUZZ_CHECK(Complete == Read.Strings.size() - 1);
  std::vector<std::u16string> Expected = Read.Strings;
  if (Expected.back().empty())
    Expected.pop_back();
  else
    Expected.back().clear();
  FUZZ_CHECK(ReadAll(Short.data(), Short.size()).Strings == Expected);
  return 0;
}
