#include "text/uTextReader.h"

#include "infra/uLxFileUtils.h"
#include "infra/uLxLog.h"
#include "platform/uCharsetDetect.h"
#include "platform/uCodePage.h"

namespace {

constexpr uint8_t CR = 0x0D;
constexpr uint8_t LF = 0x0A;

bool IsLineEnd(uint16_t Unit) { return Unit == CR || Unit == LF; }

// The byte-order mark of each encoding, indexed by TTextEncoding; none for
// ANSI. Read and written alike.
constexpr std::string_view Marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};

}  // namespace

TTextEncoding EncodingOfMark(std::string_view Head) {
  for (TTextEncoding Encoding : {teUtf8, teUtf16LE, teUtf16BE})
    if (Head.starts_with(Marks[Encoding])) return Encoding;
  return teAnsi;
}

void TTextReader::LoadFromStream(TStream& Stream) {
  const int64_t Start = Stream.Position();
  char Head[4] = {0, 0, 0, 0};
  const int64_t Got = Stream.Read(Head, 4);
  FEncoding = EncodingOfMark(std::string_view(Head, static_cast<size_t>(Got)));
  Stream.Seek(Start + static_cast<int64_t>(Marks[FEncoding].size()), soBeginning);
  FBuffer.Clear();
  uint8_t Chunk[65536];
  for (int64_t Read; (Read = Stream.Read(Chunk, sizeof(Chunk))) > 0;)
    FBuffer.Write(Chunk, Read);
  FBuffer.SetPosition(0);
  FLegacyCharset.clear();
  if (FEncoding == teAnsi && platform::AnsiIsUtf8()) {
    const std::string_view Text(reinterpret_cast<const char*>(FBuffer.Memory()),
                                static_cast<size_t>(FBuffer.Size()));
    if (!platform::IsValidUtf8(Text)) FLegacyCharset = platform::LegacyTextCharset(Text);
  }
}

void TTextReader::ReadLine(int32_t CodePage, std::u16string& Line) {
  Line.clear();
  if (FEncoding == teUtf16LE || FEncoding == teUtf16BE)
    ReadWordLine(Line);
  else
    ReadByteLine(CodePage, Line);
}

void TTextReader::ReadByteLine(int32_t CodePage, std::u16string& Line) {
  const uint8_t* Data = FBuffer.Memory();
  const int64_t Size = FBuffer.Size();
  const int64_t Start = FBuffer.Position();
  int64_t End = Size, Next = Size;
  // The last byte of the buffer is never taken as a terminator.
  for (int64_t I = Start; I < Size - 1; ++I) {
    if (Data[I] == CR && Data[I + 1] == LF) {
      End = I, Next = I + 2;
      break;
    }
    if (Data[I] == CR || Data[I] == LF) {
      End = I, Next = I + 1;
      break;
    }
  }
  FBuffer.SetPosition(Next);
  if (End <= Start) return;
  const std::string_view Bytes(reinterpret_cast<const char*>(Data + Start),
                               static_cast<size_t>(End - Start));
  if (FEncoding == teUtf8)
    Line = platform::CodePageToWide(65001, Bytes);
  else if (CodePage == 0 && !FLegacyCharset.empty())
    Line = platform::CharsetToWide(FLegacyCharset, Bytes);
  else
    Line = platform::CodePageToWide(static_cast<unsigned>(CodePage), Bytes);
}

void TTextReader::ReadWordLine(std::u16string& Line) {
  const uint8_t* Data = FBuffer.Memory();
  const int64_t Size = FBuffer.Size();
  const int64_t Start = FBuffer.Position();
  const bool BigEndian = FEncoding == teUtf16BE;
  const auto UnitAt = [&](int64_t At) -> uint16_t {
    return BigEndian ? static_cast<uint16_t>(Data[At] << 8 | Data[At + 1])
                     : static_cast<uint16_t>(Data[At] | Data[At + 1] << 8);
  };
  int64_t End = Size, Next = Size;
  int64_t Scan = Start;
  for (; Size - Scan >= 4; Scan += 2) {
    if (UnitAt(Scan) == CR && UnitAt(Scan + 2) == LF) {
      End = Scan, Next = Scan + 4;
      break;
    }
    if (IsLineEnd(UnitAt(Scan))) {
      End = Scan, Next = Scan + 2;
      break;
    }
  }
  if (End == Size && Size - Scan == 3 && IsLineEnd(UnitAt(Scan))) End = Scan, Next = Scan + 2;
  FBuffer.SetPosition(Next);
  if ((End - Start) % 2 != 0) throw EAssertionFailed("Assertion failure (uTextReader)");
  for (int64_t At = Start; At < End; At += 2)
    Line += static_cast<char16_t>(UnitAt(At));
}

void TWideStringList::Changed(int32_t Index) {
  if (OnChange) OnChange(this, Index);
}

void TWideStringList::Add(const std::u16string& S) {
  FItems.push_back(S);
  Changed(Count() - 1);
}

void TWideStringList::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) throw std::out_of_range("List index out of bounds");
  FItems.erase(FItems.begin() + Index);
  Changed(Index);
}

void TWideStringList::Clear() {
  FItems.clear();
  Changed(0);
}

void TWideStringList::LoadFromFile(const std::u16string& FileName, int32_t CodePage) {
  TFileStreamW Stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(Stream, CodePage);
}

void TWideStringList::LoadFromStream(TStream& Stream, int32_t CodePage) {
  Clear();
  TTextReader Reader;
  Reader.LoadFromStream(Stream);
  std::u16string Line;
  // Fewer than two bytes left end the reading (see the reader's rules).
  while (Reader.Position() < Reader.Size() - 1) {
    Reader.ReadLine(CodePage, Line);
    Add(WideTrim(Line));
  }
}

void TWideStringList::SaveToFile(const std::u16string& FileName, uint8_t Index) {
  TFileStreamW Stream(FileName, fmCreate);
  SaveToStream(Stream, Index);
}

void TWideStringList::SaveToStream(TStream& Stream, uint8_t Index) {
  if (Index <= teUtf16BE)
    Stream.WriteBuffer(Marks[Index].data(), static_cast<int64_t>(Marks[Index].size()));
  for (const std::u16string& Item : FItems) {
    const std::u16string Line = Item + u"\r\n";
    std::string Bytes;
    if (Index == 2 || Index == 3) {
      for (char16_t Unit : Line) {
        const char Low = static_cast<char>(Unit & 0xFF), High = static_cast<char>(Unit >> 8);
        Bytes += Index == 2 ? Low : High;
        Bytes += Index == 2 ? High : Low;
      }
    } else {
      Bytes = platform::WideToCodePage(Index == 1 ? 65001 : 0, Line);
    }
    Stream.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  }
}

void FinalizeTextReader() {
  WriteLog(u"uTextReader finalzation");
  // The unit holds no resources of its own on this platform: nothing to
  // release, so its end cannot fail.
  WriteLog(u"uTextReader finalzation ok");
}

TUnitLifetime TextReaderUnit() { return TUnitLifetime{"uTextReader", nullptr, FinalizeTextReader}; }
