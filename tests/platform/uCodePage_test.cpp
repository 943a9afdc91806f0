#include "platform/uCodePage.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/uScopedEnv.h"

using namespace platform;
using morvotest::TScopedLocale;

namespace {

// "中文歌曲.mp3" in GBK.
const std::string GbkName = "\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA.mp3";
const std::u16string WideName = u"中文歌曲.mp3";

}  // namespace

TEST(CodePage, Utf8RoundTripKeepsCharactersOutsideTheBasicPlane) {
  const std::u16string Text = u"a\u00E9中\U0001F3B5z";
  EXPECT_EQ(WideToUtf8(Text), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x8E\xB5z");
  EXPECT_EQ(Utf8ToWide(WideToUtf8(Text)), Text);
}

TEST(CodePage, InvalidUtf8AndLoneSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF"
                       "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong form
  EXPECT_EQ(Utf8ToWide("\xE4\xB8"), u"\uFFFD\uFFFD");  // cut short
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));           // encoded surrogate
  EXPECT_TRUE(IsValidUtf8("\xE4\xB8\xAD"));
  EXPECT_EQ(WideToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(CodePage, GbkTextReadsOnUtf8DesktopThroughLegacyFallback) {
  TScopedLocale Env("zh_CN.UTF-8", std::nullopt);
  EXPECT_TRUE(AnsiIsUtf8());
  EXPECT_EQ(LegacyCodePage(), 936u);
  EXPECT_EQ(AnsiToWide(GbkName), WideName);
  EXPECT_EQ(CodePageToWide(0, GbkName), WideName);
  // Valid UTF-8 is taken as UTF-8, not as GBK.
  EXPECT_EQ(AnsiToWide(WideToUtf8(WideName)), WideName);
  EXPECT_EQ(WideToAnsi(WideName), WideToUtf8(WideName));
}

TEST(CodePage, LegacyCodePageFollowsTheUsersLanguage) {
  const struct {
    const char* Lang;
    unsigned CodePage;
  } Cases[] = {{"zh_CN.UTF-8", 936},
               {"zh_TW.UTF-8", 950},
               {"zh_HK.UTF-8", 950},
               {"ja_JP.UTF-8", 932},
               {"ko_KR.UTF-8", 949},
               {"ru_RU.UTF-8", 1251},
               {"uk_UA.UTF-8", 1251},
               {"de_DE.UTF-8", 1252},
               {"fr_FR@euro", 1252},
               {"C.UTF-8", 936},
               {"", 936}};
  for (const auto& Case : Cases) {
    TScopedLocale Env(Case.Lang, std::nullopt);
    EXPECT_EQ(LegacyCodePage(), Case.CodePage) << Case.Lang;
  }
}

TEST(CodePage, RussianLegacyTextUsesCp1251) {
  TScopedLocale Env("ru_RU.UTF-8", std::nullopt);
  EXPECT_EQ(AnsiToWide("\xCF\xF0\xE8\xE2\xE5\xF2"), u"Привет");
}

TEST(CodePage, MorvoAcpNamesTheAnsiCodePage) {
  {
    TScopedLocale Env("en_US.UTF-8", "936");
    EXPECT_FALSE(AnsiIsUtf8());
    EXPECT_EQ(AnsiCharset(), "CP936");
    EXPECT_EQ(WideToAnsi(WideName), GbkName);
    EXPECT_EQ(AnsiToWide(GbkName), WideName);
  }
  {
    TScopedLocale Env("en_US.UTF-8", "ISO-8859-1");
    EXPECT_EQ(AnsiCharset(), "ISO-8859-1");
    EXPECT_EQ(WideToAnsi(u"caf\u00E9"), "caf\xE9");
  }
  {
    TScopedLocale Env("zh_CN.GBK", std::nullopt);  // no override: the locale's charset
    EXPECT_EQ(AnsiCharset(), "GBK");
    EXPECT_EQ(AnsiToWide(GbkName), WideName);
  }
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(WideToCodePage(1252, u"a中b\u00E9"), "a?b\xE9");
  EXPECT_EQ(WideToCodePage(936, u"x\U0001F3B5y"), "x?y");
}

TEST(CodePage, InvalidBytesInALegacyCodePageDoNotStopTheConversion) {
  // 0x81 0x20 is not a GBK character; the text after it survives.
  const std::u16string Wide = CodePageToWide(936, "\x81\x20"
                                                  "ab");
  ASSERT_GE(Wide.size(), 2u);
  EXPECT_EQ(Wide.substr(Wide.size() - 2), u"ab");
  EXPECT_NE(Wide.find(u'\uFFFD'), std::u16string::npos);
}

TEST(CodePage, CharsetNamesOfWindowsCodePages) {
  EXPECT_EQ(CodePageCharset(936), "CP936");
  EXPECT_EQ(CodePageCharset(65001), "UTF-8");
  EXPECT_EQ(CodePageCharset(28595), "ISO-8859-5");
  EXPECT_EQ(CodePageToWide(65001, "\xE4\xB8\xAD"), u"中");
  EXPECT_EQ(CodePageToWide(1200, std::string("a\0b\0", 4)), u"ab");
}

TEST(CodePage, FileNamesKeepEveryByteThroughUtf16) {
  const std::string Latin1 = "caf\xE9.wav";
  EXPECT_EQ(PathToWide(Latin1), u"caf\xDCE9.wav");
  const std::string Names[] = {
      Latin1, GbkName,
      "\xE4\xB8\xAD\xFF\xF0\x9F\x8E\xB5\xC3",  // valid, stray byte, outside the basic plane, cut
                                               // short
      "\xED\xB2\x80",                          // a surrogate written as UTF-8 is no character
      "\xC0\xAF",                              // overlong
  };
  for (const std::string& Name : Names)
    EXPECT_EQ(WideToPath(PathToWide(Name)), Name);
  for (int Byte = 0x80; Byte <= 0xFF; ++Byte) {
    const std::string Name = "x" + std::string(1, char(Byte)) + "y";
    EXPECT_EQ(WideToPath(PathToWide(Name)), Name) << Byte;
  }
  // Valid names are plain UTF-16, and plain UTF-16 is written as UTF-8.
  EXPECT_EQ(PathToWide(WideToUtf8(WideName)), WideName);
  EXPECT_EQ(WideToPath(WideName), WideToUtf8(WideName));
}

TEST(CodePage, AnEscapedByteIsNotConfusedWithHalfOfAPair) {
  // U+10080 is the pair D800 DC80: its low half lies in the escape range.
  const std::string Utf8 = "\xF0\x90\x82\x80";
  EXPECT_EQ(PathToWide(Utf8), u"\U00010080");
  EXPECT_EQ(WideToPath(u"\U00010080"), Utf8);
  // Other lone surrogates cannot come from a name: written as U+FFFD.
  EXPECT_EQ(WideToPath(std::u16string(1, char16_t(0xDC10))), "\xEF\xBF\xBD");
}

TEST(CodePage, EscapedBytesShowAsReplacementCharacters) {
  EXPECT_EQ(WideToUtf8(PathToWide("caf\xE9")), "caf\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToWide("caf\xE9"), u"caf\uFFFD") << "text other than file names keeps U+FFFD";
}
