// A text file of any bytes, read as the wide string list reads cue sheets
// and lists (byte-order mark, else a code page; encoding detection decides
// between them), then saved in every encoding and read back.
//
// Input: one byte choosing the code page for text without a mark, then the
// file's bytes.
//
// Properties: a file either loads or raises the reader's assertion error,
// nothing else; lines come back trimmed, without line ends, and never more
// text than the file had bytes; saved as UTF-16 (either order) the list
// reads back unchanged, saved as UTF-8 too when its text is well-formed,
// and saved in the system code page too when it is plain ASCII; the file
// round trip gives the bytes of the stream round trip.
#include <array>
#include <string>
#include <vector>

#include "infra/uLxFileUtils.h"
#include "infra/uStreams.h"
#include "platform/uCodePage.h"
#include "tests/fuzz/uFuzzSupport.h"
#include "text/uTextReader.h"

namespace {

using morvofuzz::TFuzzInput;

// 0 is the system code page (UTF-8 here, with the legacy fallback).
constexpr std::array<int32_t, 6> CodePages{0, 65001, 936, 950, 1252, 932};

std::vector<std::u16string> Items(const TWideStringList& List) {
  std::vector<std::u16string> Result;
  for (int32_t I = 0; I < List.Count(); ++I)
    Result.push_back(List.Get(I));
  return Result;
}

bool IsBlank(char16_t C) { return C <= 32; }

bool WellFormedUtf16(const std::u16string& S) {
  for (size_t I = 0; I < S.size(); ++I) {
    if (S[I] >= 0xD800 && S[I] <= 0xDBFF && I + 1 < S.size() && S[I + 1] >= 0xDC00 &&
        S[I + 1] <= 0xDFFF)
      ++I;
    else if (S[I] >= 0xD800 && S[I] <= 0xDFFF)
      return false;
  }
  return true;
}

bool IsAscii(const std::u16string& S) {
  for (char16_t C : S)
    if (C >= 0x80) return false;
  return true;
}

// Loads Bytes into List; false when the reader raised its assertion error
// (any other exception ends the run as a finding).
bool Load(TWideStringList& List, std::string_view Bytes, int32_t CodePage) {
  TMemoryStream Stream;
  Stream.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
  Stream.SetPosition(0);
  try {
    List.LoadFromStream(Stream, CodePage);
    return true;
  } catch (const EAssertionFailed&) {
    return false;
  }
}

std::string Saved(TWideStringList& List, uint8_t Index) {
  TMemoryStream Stream;
  List.SaveToStream(Stream, Index);
  return std::string(reinterpret_cast<const char*>(Stream.Memory()), size_t(Stream.Size()));
}

void CheckRoundTrip(TWideStringList& List, uint8_t Index, int32_t CodePage) {
  const std::string Bytes = Saved(List, Index);
  TWideStringList Again;
  FUZZ_CHECK(Load(Again, Bytes, CodePage));
  FUZZ_CHECK(Items(Again) == Items(List));
}

void CheckLines(const TWideStringList& List, size_t FileBytes) {
  size_t Units = 0;
  for (const std::u16string& Line : Items(List)) {
    FUZZ_CHECK(Line.find_first_of(u"\r\n") == std::u16string::npos);
    FUZZ_CHECK(Line.empty() || (!IsBlank(Line.front()) && !IsBlank(Line.back())));
    Units += Line.size();
  }
  FUZZ_CHECK(size_t(List.Count()) <= FileBytes);
  FUZZ_CHECK(Units <= FileBytes);
}

// The same text through a real file: what SaveToFile writes is what
// SaveToStream gives, and LoadFromFile reads it back.
void CheckFileRoundTrip(TWideStringList& List) {
  const std::u16string File = platform::PathToWide((morvofuzz::ScratchDir() / "list.txt").string());
  List.SaveToFile(File, 2);
  TWideStringList Again;
  Again.LoadFromFile(File, 0);
  FUZZ_CHECK(Items(Again) == Items(List));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  morvofuzz::ScratchDir();
  TFuzzInput Input(Data, Size);
  const int32_t CodePage = CodePages[Input.Pick(CodePages.size())];
  const std::string_view File = Input.Rest();

  TWideStringList List;
  if (!Load(List, File, CodePage)) return 0;
  CheckLines(List, File.size());

  CheckRoundTrip(List, 2, CodePage);
  CheckRoundTrip(List, 3, CodePage);
  const std::vector<std::u16string> Lines = Items(List);
  bool WellFormed = true, Ascii = true;
  for (const std::u16string& Line : Lines) {
    WellFormed = WellFormed && WellFormedUtf16(Line);
    Ascii = Ascii && IsAscii(Line);
  }
  if (WellFormed) CheckRoundTrip(List, 1, CodePage);
  if (Ascii) CheckRoundTrip(List, 0, 0);
  CheckFileRoundTrip(List);
  return 0;
}
