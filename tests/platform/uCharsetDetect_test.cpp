// The charset of legacy 8-bit text, on real sheets of the cue corpus in the
// encodings they were written in, on the desktops of several languages.
#include "platform/uCharsetDetect.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"

using namespace platform;
using morvotest::TScopedLocale;

namespace {

std::string CorpusSheet(const std::string& Name) {
  std::ifstream In(std::string(MORVO_SOURCE_DIR) + "/tests/text/cue-corpus/" + Name,
                   std::ios::binary);
  EXPECT_TRUE(In.good()) << Name;
  return std::string(std::istreambuf_iterator<char>(In), {});
}

// The text as its own charset reads it, and as the detected charset does.
void ExpectReadAs(const std::string& Bytes, const std::string& TrueCharset,
                  const std::string& Label) {
  const std::string Chosen = LegacyTextCharset(Bytes);
  EXPECT_EQ(CharsetToWide(Chosen, Bytes), CharsetToWide(TrueCharset, Bytes))
      << Label << " read as " << Chosen << " instead of " << TrueCharset;
}

const char* const Desktops[] = {"zh_CN.UTF-8", "C.UTF-8",     "en_US.UTF-8", "ja_JP.UTF-8",
                                "ko_KR.UTF-8", "ru_RU.UTF-8", "zh_TW.UTF-8", "de_DE.UTF-8"};

TEST(CharsetDetect, LegacySheetsReadRightOnEveryDesktop) {
  const struct {
    const char* Sheet;
    const char* Charset;
  } Sheets[] = {
      {"legacy/yehuimei.gbk.cue", "CP936"},     {"legacy/fantasy.big5.cue", "CP950"},
      {"legacy/kkotgalpi.euc-kr.cue", "CP949"}, {"legacy/non-latin.shift-jis.cue", "CP932"},
      {"legacy/vys1.cp1251.cue", "CP1251"},     {"deflacue/vys2.cue", "CP1251"}};
  for (const auto& Sheet : Sheets) {
    const std::string Bytes = CorpusSheet(Sheet.Sheet);
    ASSERT_FALSE(IsValidUtf8(Bytes)) << Sheet.Sheet;
    for (const char* Desktop : Desktops) {
      TScopedLocale Env(Desktop, std::nullopt);
      ExpectReadAs(Bytes, Sheet.Charset, std::string(Sheet.Sheet) + " on " + Desktop);
    }
  }
}

TEST(CharsetDetect, ReencodedSheetsGiveBackTheirOriginalText) {
  TScopedLocale Env("C.UTF-8", std::nullopt);
  const std::string Japanese = CorpusSheet("legacy/non-latin.shift-jis.cue");
  EXPECT_EQ(CharsetToWide(LegacyTextCharset(Japanese), Japanese),
            Utf8ToWide(CorpusSheet("libgue/non-latin.cue")));
  const std::string Russian = CorpusSheet("legacy/vys1.cp1251.cue");
  EXPECT_EQ(CharsetToWide(LegacyTextCharset(Russian), Russian),
            Utf8ToWide(CorpusSheet("deflacue/vys1.cue")));
}

// Short Chinese texts give the detector too little to go on; it then names
// Latin or Greek code pages, which must not win over a Chinese user's GBK.
TEST(CharsetDetect, ShortGbkTextsStayGbkForChineseUsersAndWithoutLanguage) {
  const char16_t* Titles[] = {u"学习",     u"七里香", u"晴天", u"东风破", u"双截棍", u"夜曲",
                              u"千里之外", u"菊花台", u"完成", u"音乐",   u"简单爱", u"稻香"};
  for (const char* Desktop : {"zh_CN.UTF-8", "C.UTF-8", "zh_SG.UTF-8"}) {
    TScopedLocale Env(Desktop, std::nullopt);
    for (const char16_t* Title : Titles) {
      const std::u16string Sheet = u"FILE \"a.wav\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"" +
                                   std::u16string(Title) + u"\"\r\n    INDEX 01 00:00:00\r\n";
      const std::string Bytes = WideToCharset("CP936", Sheet);
      EXPECT_EQ(CharsetToWide(LegacyTextCharset(Bytes), Bytes), Sheet)
          << WideToUtf8(Title) << " on " << Desktop << " read as " << LegacyTextCharset(Bytes);
    }
  }
}

// "Wond\x92ring Aloud": GBK would read the quote and the "r" after it as
// one Chinese character.
TEST(CharsetDetect, WesternSheetReadsRightForWesternAndChineseUsers) {
  const std::string Bytes = CorpusSheet("cuesheetnet/Aqualung 1252.cue");
  for (const char* Desktop :
       {"en_US.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "zh_CN.UTF-8", "C.UTF-8"}) {
    TScopedLocale Env(Desktop, std::nullopt);
    ExpectReadAs(Bytes, "CP1252", std::string("Aqualung on ") + Desktop);
  }
}

TEST(CharsetDetect, ASingleByteAnswerWinsOnlyOverACodePageThatReadsNoWords) {
  const std::string Bytes = "TITLE \"Caf\xE9 du Monde\"\r\n";
  {
    // CP1251 would make "Cafй": a Cyrillic letter glued to Latin ones.
    TScopedLocale Env("ru_RU.UTF-8", std::nullopt);
    EXPECT_EQ(CharsetToWide(LegacyTextCharset(Bytes), Bytes), u"TITLE \"Caf\u00E9 du Monde\"\r\n");
  }
  {
    // GBK reads "\xE9s" as one character: the Chinese user's code page
    // stands, as it does for every text it reads without error.
    TScopedLocale Env("zh_CN.UTF-8", std::nullopt);
    EXPECT_EQ(LegacyTextCharset("TITLE \"Caf\xE9s du Monde\"\r\n"), "CP936");
    // A text GBK cannot read takes the detector's answer.
    EXPECT_EQ(CharsetToWide(LegacyTextCharset(Bytes), Bytes), u"TITLE \"Caf\u00E9 du Monde\"\r\n");
  }
}

TEST(CharsetDetect, WordsOfOneScriptLookRightAndMisreadTextDoesNot) {
  for (const char16_t* Text :
       {u"Wond\u2019ring Aloud", u"Crème brûlée", u"Песня о погибшем лётчике",
        u"Ελληνικά τραγούδια", u"Straße 1983 (Live)", u"«Пять песен» — В. С. Высоцкий",
        u"Dvořák: Slovanské tance", u"מוזיקה", u""})
    EXPECT_TRUE(LooksLikeWords(Text)) << WideToUtf8(Text);
  for (const char16_t* Text :
       {u"ÆßÀïÏã",  // GBK "七里香" read as CP1252: a capital after a small letter
        u"Ñ§Ï°",    // GBK "学习" read as CP1252: a symbol in a word
        u"Ïåñíÿ",   // CP1251 "Песня" read as CP1252: a run of accented letters
        u"Aβγ",     // Latin and Greek in one word
        u"ΡΣΟ°",    // a degree sign between letters
        u"Пesня"})  // Cyrillic glued to ASCII letters
    EXPECT_FALSE(LooksLikeWords(Text)) << WideToUtf8(Text);
}

TEST(CharsetDetect, StrictReadingRefusesInvalidSequences) {
  std::u16string Out;
  EXPECT_TRUE(TryCharsetToWide("CP936", "\xD1\xA7\xCF\xB0", Out));
  EXPECT_EQ(Out, u"学习");
  EXPECT_FALSE(TryCharsetToWide("CP936", "\xD1\xA7\xCF", Out));  // cut short
  EXPECT_FALSE(TryCharsetToWide("CP936", "\xFF\xFF", Out));
  EXPECT_FALSE(TryCharsetToWide("UTF-8", "\xC3", Out));
  EXPECT_FALSE(TryCharsetToWide("NO-SUCH-CHARSET", "abc", Out));
  EXPECT_TRUE(TryCharsetToWide("CP1251", "", Out));
  EXPECT_TRUE(Out.empty());
}

}  // namespace
