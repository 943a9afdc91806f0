// Text files in ANSI (a caller-given code page), UTF-8 or UTF-16 of either
// byte order, recognised by the byte-order mark. ANSI text read in the
// system code page on a UTF-8 desktop that is not UTF-8 throughout is read
// as a whole in the charset it was written in (platform/uCharsetDetect.h).
// TTextReader hands out the lines of a loaded text; TWideStringList is a
// plain list of wide strings that loads itself through the reader (trimming
// every line) and saves itself in one of four encodings.
// Threading: an object is used by one thread at a time; it owns its items.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "infra/uStreams.h"
#include "infra/uUnitLifetime.h"

enum TTextEncoding : uint8_t { teAnsi = 0, teUtf8 = 1, teUtf16LE = 2, teUtf16BE = 3 };

// The encoding whose byte-order mark Head starts with; teAnsi without one.
TTextEncoding EncodingOfMark(std::string_view Head);

// Raised for a UTF-16 text whose last line has an odd number of bytes.
class EAssertionFailed : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TTextReader {
public:
  // Detects the mark and copies the rest of Stream into the reader; for
  // ANSI text decides the charset that code page 0 stands for.
  void LoadFromStream(TStream& Stream);
  // The next line without its terminator; CodePage is used for teAnsi only
  // (0 = the system ANSI code page, or the legacy charset the text is
  // written in). Raises EAssertionFailed, see above.
  void ReadLine(int32_t CodePage, std::u16string& Line);

  TTextEncoding Encoding() const { return FEncoding; }
  int64_t Position() { return FBuffer.Position(); }
  int64_t Size() { return FBuffer.Size(); }

private:
  void ReadByteLine(int32_t CodePage, std::u16string& Line);
  void ReadWordLine(std::u16string& Line);

  TMemoryStream FBuffer;
  TTextEncoding FEncoding = teAnsi;
  // For code page 0: the charset of ANSI text that is not UTF-8 on a UTF-8
  // desktop, decided for the whole text (a line of GBK can pass for UTF-8);
  // empty otherwise.
  std::string FLegacyCharset;
};

class TWideStringList {
public:
  using TChangeEvent = std::function<void(TWideStringList* Sender, int32_t Index)>;

  TWideStringList() = default;
  TWideStringList(const TWideStringList&) = delete;
  TWideStringList& operator=(const TWideStringList&) = delete;

  void Add(const std::u16string& S);
  void Delete(int32_t Index);
  void Clear();
  const std::u16string& Get(int32_t Index) const { return FItems.at(static_cast<size_t>(Index)); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

  // Raises EFOpenError / EFCreateError / EAssertionFailed.
  void LoadFromFile(const std::u16string& FileName, int32_t CodePage = 0);
  void LoadFromStream(TStream& Stream, int32_t CodePage = 0);
  // Index: 0 ANSI, 1 UTF-8, 2 UTF-16LE, 3 UTF-16BE, each with its mark.
  void SaveToFile(const std::u16string& FileName, uint8_t Index);
  void SaveToStream(TStream& Stream, uint8_t Index);

  // Add, Delete and Clear notify; the list's end does not.
  TChangeEvent OnChange;

private:
  void Changed(int32_t Index);
  std::vector<std::u16string> FItems;
};

// Unit end: logs "uTextReader finalzation" and "uTextReader finalzation ok"
// (the unit holds nothing here whose release could fail).
void FinalizeTextReader();
// For AddUnit before StartUnits.
TUnitLifetime TextReaderUnit();
