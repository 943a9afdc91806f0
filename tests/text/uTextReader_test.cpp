#include "text/uTextReader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "infra/uLxFileUtils.h"
#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uUtf16.h"

using morvotest::TScopedLocale;
using morvotest::TTempDir;
using morvotest::Utf16Bytes;

namespace {

TMemoryStream StreamOf(const std::string& Bytes) {
  TMemoryStream Stream;
  Stream.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  Stream.SetPosition(0);
  return Stream;
}

std::vector<std::u16string> Load(const std::string& Bytes, int32_t CodePage = 0) {
  TMemoryStream Stream = StreamOf(Bytes);
  TWideStringList List;
  List.LoadFromStream(Stream, CodePage);
  std::vector<std::u16string> Lines;
  for (int32_t I = 0; I < List.Count(); ++I)
    Lines.push_back(List.Get(I));
  return Lines;
}

using TLines = std::vector<std::u16string>;

}  // namespace

TEST(TextReader, MarksSelectTheEncoding) {
  const struct {
    std::string Bytes;
    TTextEncoding Encoding;
    int64_t Size;
  } Cases[] = {{"\xEF\xBB\xBFx", teUtf8, 1},
               {std::string("\xFF\xFEx\0", 4), teUtf16LE, 2},
               {std::string("\xFE\xFF\0x", 4), teUtf16BE, 2},
               {"\xEF\xBBx", teAnsi, 3},
               {"", teAnsi, 0}};
  for (const auto& Case : Cases) {
    TMemoryStream Stream = StreamOf(Case.Bytes);
    TTextReader Reader;
    Reader.LoadFromStream(Stream);
    EXPECT_EQ(Reader.Encoding(), Case.Encoding);
    EXPECT_EQ(Reader.Size(), Case.Size);
    EXPECT_EQ(Reader.Position(), 0);
  }
}

TEST(TextReader, EightBitTerminatorRules) {
  EXPECT_EQ(Load(""), TLines{});
  EXPECT_EQ(Load("a"), TLines{});  // a single byte is never read
  EXPECT_EQ(Load("\xEF\xBB\xBF"), TLines{});
  EXPECT_EQ(Load("a\r\nb"), TLines{u"a"});  // the single-byte last line is not read
  EXPECT_EQ(Load("a\r\nbc"), (TLines{u"a", u"bc"}));
  EXPECT_EQ(Load("a\n\rbc"), (TLines{u"a", u"", u"bc"}));  // LF then CR: two terminators
  EXPECT_EQ(Load("a\rb\nc\r\n\r\ndd"), (TLines{u"a", u"b", u"c", u"", u"dd"}));
  // A final terminator is the buffer's last byte: it stays in the line and is trimmed.
  EXPECT_EQ(Load("ab\ncd\n"), (TLines{u"ab", u"cd"}));
  EXPECT_EQ(Load(" \t a b \t\r\n\t x"), (TLines{u"a b", u"x"}));
}

TEST(TextReader, ReaderKeepsTheLastByteOfTheBufferInTheLine) {
  TMemoryStream Stream = StreamOf("ab\n");
  TTextReader Reader;
  Reader.LoadFromStream(Stream);
  std::u16string Line;
  Reader.ReadLine(0, Line);
  EXPECT_EQ(Line, u"ab\n");
  EXPECT_EQ(Reader.Position(), 3);
}

TEST(TextReader, Utf8LinesKeepCharactersOutsideTheAnsiCodePage) {
  EXPECT_EQ(Load("\xEF\xBB\xBF"
                 "\xE6\xAD\x8C\xE2\x99\xAB\r\n\xF0\x9F\x8E\xB5 x"),
            (TLines{u"歌♫", u"\U0001F3B5 x"}));
}

TEST(TextReader, AnsiUsesTheCallersCodePageOrTheLegacyFallback) {
  const std::string Gbk = "TITLE \"\xD6\xD0\xCE\xC4\"\r\nFILE \"\xB8\xE8.ape\" WAVE";
  EXPECT_EQ(Load(Gbk, 936), (TLines{u"TITLE \"中文\"", u"FILE \"歌.ape\" WAVE"}));
  // A UTF-8 desktop: GBK bytes are not valid UTF-8.
  const TScopedLocale Utf8Desktop("zh_CN.UTF-8", std::nullopt);
  EXPECT_EQ(Load(Gbk, 0), (TLines{u"TITLE \"中文\"", u"FILE \"歌.ape\" WAVE"}));
  EXPECT_EQ(Load("TITLE \"\xE4\xB8\xAD\"\r\nxy", 0), (TLines{u"TITLE \"中\"", u"xy"}));
}

// Every line of a legacy file is read in the charset of the whole file: a
// GBK line whose bytes form valid UTF-8 ("学习") as well, and a Big5 or
// Shift-JIS file on any desktop.
TEST(TextReader, LegacyTextIsReadAsAWholeInItsOwnCharset) {
  const std::u16string Sheet =
      u"PERFORMER \"周杰倫\"\r\nTITLE \"范特西\"\r\nFILE \"周杰倫 - 范特西.wav\" WAVE\r\n"
      u"  TRACK 01 AUDIO\r\n    TITLE \"愛在西元前\"\r\n    INDEX 01 00:00:00\r\n"
      u"  TRACK 02 AUDIO\r\n    TITLE \"爸我回來了\"\r\n    INDEX 01 03:50:00\r\n"
      u"  TRACK 03 AUDIO\r\n    TITLE \"簡單愛\"\r\n    INDEX 01 07:22:00\r\n";
  const TLines Expected{
      u"PERFORMER \"周杰倫\"", u"TITLE \"范特西\"",     u"FILE \"周杰倫 - 范特西.wav\" WAVE",
      u"TRACK 01 AUDIO",       u"TITLE \"愛在西元前\"", u"INDEX 01 00:00:00",
      u"TRACK 02 AUDIO",       u"TITLE \"爸我回來了\"", u"INDEX 01 03:50:00",
      u"TRACK 03 AUDIO",       u"TITLE \"簡單愛\"",     u"INDEX 01 07:22:00"};
  for (const char* Desktop : {"C.UTF-8", "zh_CN.UTF-8", "en_US.UTF-8"}) {
    const TScopedLocale Env(Desktop, std::nullopt);
    EXPECT_EQ(Load(platform::WideToCharset("CP950", Sheet), 0), Expected) << Desktop;
  }
  const TScopedLocale Chinese("zh_CN.UTF-8", std::nullopt);
  EXPECT_EQ(Load(platform::WideToCharset("CP936", u"TITLE \"中文\"\r\nTITLE \"学习\""), 0),
            (TLines{u"TITLE \"中文\"", u"TITLE \"学习\""}));
  // A code page the caller names is used as it is.
  EXPECT_EQ(Load(platform::WideToCharset("CP1251", u"Привет\r\nмир"), 1251),
            (TLines{u"Привет", u"мир"}));
}

TEST(TextReader, Utf16TerminatorRulesInBothByteOrders) {
  for (bool BigEndian : {false, true}) {
    const std::string Mark = BigEndian ? "\xFE\xFF" : "\xFF\xFE";
    SCOPED_TRACE(BigEndian ? "big-endian" : "little-endian");
    // CR LF ends, and the final line without terminator is read too.
    EXPECT_EQ(Load(Mark + Utf16Bytes(u"一\r\n二\r\nthree", BigEndian)),
              (TLines{u"一", u"二", u"three"}));
    EXPECT_EQ(Load(Mark + Utf16Bytes(u"a\n\rb\rc", BigEndian)), (TLines{u"a", u"", u"b", u"c"}));
    // A single final code unit is never a terminator (and is trimmed away).
    EXPECT_EQ(Load(Mark + Utf16Bytes(u"a\n", BigEndian)), (TLines{u"a"}));
    EXPECT_EQ(Load(Mark + Utf16Bytes(u"x", BigEndian)), (TLines{u"x"}));
    EXPECT_EQ(Load(Mark), TLines{});
    // Odd byte count with a terminator in the last whole unit: the odd byte is ignored.
    EXPECT_EQ(Load(Mark + Utf16Bytes(u"ab\n", BigEndian) + "z"), (TLines{u"ab"}));
  }
}

TEST(TextReader, OddUtf16TextRaisesAndKeepsEarlierLines) {
  TMemoryStream Stream = StreamOf(morvotest::Utf16Le(u"ok\r\nbad") + "z");
  TWideStringList List;
  EXPECT_THROW(List.LoadFromStream(Stream, 0), EAssertionFailed);
  ASSERT_EQ(List.Count(), 1);
  EXPECT_EQ(List.Get(0), u"ok");
  try {
    TMemoryStream Again = StreamOf("\xFF\xFE"
                                   "abc");
    List.LoadFromStream(Again, 0);
    FAIL();
  } catch (const EAssertionFailed& E) {
    EXPECT_NE(std::string(E.what()).find("Assertion failure"), std::string::npos);
    EXPECT_NE(std::string(E.what()).find("uTextReader"), std::string::npos);
  }
}

TEST(WideStringList, SavesInAllFourEncodings) {
  TWideStringList List;
  List.Add(u"x");
  List.Add(u"y");
  const struct {
    uint8_t Index;
    std::string Bytes;
  } Cases[] = {{0, "x\r\ny\r\n"},
               {1, "\xEF\xBB\xBFx\r\ny\r\n"},
               {2, std::string("\xFF\xFEx\0\r\0\n\0y\0\r\0\n\0", 14)},
               {3, std::string("\xFE\xFF\0x\0\r\0\n\0y\0\r\0\n", 14)}};
  for (const auto& Case : Cases) {
    TMemoryStream Stream;
    List.SaveToStream(Stream, Case.Index);
    EXPECT_EQ(std::string(Stream.Bytes().begin(), Stream.Bytes().end()), Case.Bytes)
        << int(Case.Index);
  }
}

TEST(WideStringList, FileRoundTripKeepsWideNames) {
  TTempDir Dir;
  const std::u16string Path = platform::PathToWide((Dir / "列表.txt").string());
  TWideStringList List;
  List.Add(u"/music/歌手 - 歌.flac");
  List.Add(u"");
  List.Add(u"/music/\U0001F3B5.wav");
  for (uint8_t Index : {1, 2, 3}) {
    List.SaveToFile(Path, Index);
    TWideStringList Loaded;
    Loaded.LoadFromFile(Path, 0);
    ASSERT_EQ(Loaded.Count(), 3);
    for (int32_t I = 0; I < 3; ++I)
      EXPECT_EQ(Loaded.Get(I), List.Get(I));
  }
  EXPECT_THROW(List.LoadFromFile(platform::PathToWide((Dir / "none.txt").string()), 0),
               EFOpenError);
  EXPECT_EQ(List.Count(), 3);  // not cleared when the file did not open
}

TEST(WideStringList, ChangeEventsAndNoneWhileDying) {
  std::vector<int32_t> Indexes;
  {
    TWideStringList List;
    List.OnChange = [&](TWideStringList*, int32_t Index) { Indexes.push_back(Index); };
    List.Add(u"a");
    List.Add(u"b");
    List.Delete(0);
    List.Clear();
    List.Add(u"c");
  }
  EXPECT_EQ(Indexes, (std::vector<int32_t>{0, 1, 0, 0, 0}));
}
