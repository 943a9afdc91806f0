#include "infra/uMessages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

using TList = std::vector<std::string>;

TEST(MessageLanguages, CAndChineseLocalesKeepTheSourceLanguage) {
  for (const char* Lang :
       {"", "C", "POSIX", "C.UTF-8", "C.utf8", "zh_CN.UTF-8", "zh_TW.Big5", "zh"})
    EXPECT_EQ(MessageLanguages("", "", "", Lang), TList{}) << Lang;
  // LANGUAGE counts only outside the C locale, as with gettext.
  EXPECT_EQ(MessageLanguages("en", "", "", "C.UTF-8"), TList{});
  EXPECT_EQ(MessageLanguages("en", "", "", ""), TList{});
}

TEST(MessageLanguages, OtherLanguagesEndInEnglish) {
  EXPECT_EQ(MessageLanguages("", "", "", "en_US.UTF-8"), (TList{"en_US", "en"}));
  EXPECT_EQ(MessageLanguages("", "", "", "de_DE.UTF-8@euro"), (TList{"de_DE", "de", "en"}));
  EXPECT_EQ(MessageLanguages("", "", "", "fr"), (TList{"fr", "en"}));
}

TEST(MessageLanguages, LcAllThenLcMessagesThenLang) {
  EXPECT_EQ(MessageLanguages("", "C", "en_GB.UTF-8", "en_US.UTF-8"), TList{});
  EXPECT_EQ(MessageLanguages("", "en_GB.UTF-8", "C", "zh_CN.UTF-8"), (TList{"en_GB", "en"}));
  EXPECT_EQ(MessageLanguages("", "", "zh_CN.UTF-8", "en_US.UTF-8"), TList{});
  EXPECT_EQ(MessageLanguages("", "", "en_GB.UTF-8", "zh_CN.UTF-8"), (TList{"en_GB", "en"}));
}

TEST(MessageLanguages, LanguageListComesFirstAndChineseInItStopsIt) {
  EXPECT_EQ(MessageLanguages("fr_CA:de", "", "", "en_US.UTF-8"),
            (TList{"fr_CA", "fr", "de", "en_US", "en"}));
  // A preference for Chinese before any catalog: the source language.
  EXPECT_EQ(MessageLanguages("zh_CN:en", "", "", "en_US.UTF-8"), TList{});
  EXPECT_EQ(MessageLanguages("fr:zh_CN", "", "", "en_US.UTF-8"), (TList{"fr"}));
  // A Chinese locale with LANGUAGE naming English speaks English.
  EXPECT_EQ(MessageLanguages("en", "", "", "zh_CN.UTF-8"), (TList{"en"}));
}

TEST(FormatText, FillsPlaceholdersInOrder) {
  EXPECT_EQ(FormatText(u"%d个文件转换失败,%d个文件转换成功", {u"2", u"5"}),
            u"2个文件转换失败,5个文件转换成功");
  // An argument is never read as a format; "%%" is a percent sign.
  EXPECT_EQ(FormatText(u"跳过 %s (100%%)", {u"/a%s%d.wav"}), u"跳过 /a%s%d.wav (100%)");
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and ");
  EXPECT_EQ(FormatText(u"50%", {}), u"50%");
  EXPECT_EQ(FormatText(u"%x", {u"unused"}), u"%x");
}

// Catalogs made by GNU msgfmt from a .po file written here.
class MessageCatalogTest : public ::testing::Test {
protected:
  void SetUp() override {
    FDir = fs::temp_directory_path() /
           ("morvo_messages_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir);
  }
  void TearDown() override { fs::remove_all(FDir); }

  std::string Compile(const std::string& Entries, const std::string& Options = "") {
    const fs::path Po = FDir / "x.po", Mo = FDir / "x.mo";
    std::ofstream(Po) << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                      << Entries;
    const std::string Command =
        "msgfmt " + Options + " -o '" + Mo.string() + "' '" + Po.string() + "'";
    EXPECT_EQ(std::system(Command.c_str()), 0) << Command;  // NOLINT(concurrency-mt-unsafe)
    std::ifstream File(Mo, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
  }

  fs::path FDir;
};

const char* const SampleEntries = R"po(msgid "完成"
msgstr "done"

msgid "失败(%s)"
msgstr "failed (%s)"

msgid "标签未写入: %s"
msgstr "tags not written: %s"

msgid "源文件未能移到回收站: %s"
msgstr "source not moved to the trash: %s"

msgid "未译"
msgstr ""

msgid "%s"
msgstr "everything: %s"

msgctxt "menu"
msgid "等待"
msgstr "waiting (menu)"

msgid "一个文件"
msgid_plural "%d个文件"
msgstr[0] "one file"
msgstr[1] "%d files"
)po";

TEST_F(MessageCatalogTest, ReadsEitherByteOrder) {
  for (const char* Endianness : {"--endianness=little", "--endianness=big"}) {
    TMessageCatalog Catalog;
    ASSERT_TRUE(Catalog.Load(Compile(SampleEntries, Endianness))) << Endianness;
    ASSERT_NE(Catalog.Find("完成"), nullptr);
    EXPECT_EQ(*Catalog.Find("完成"), "done");
    EXPECT_EQ(Catalog.Translate(u"失败(%s)"), u"failed (%s)");
    // Untranslated, with a context, plural forms and the header: not ours.
    EXPECT_EQ(Catalog.Find("未译"), nullptr);
    EXPECT_EQ(Catalog.Find("等待"), nullptr);
    EXPECT_EQ(Catalog.Find("一个文件"), nullptr);
    EXPECT_EQ(Catalog.Find(""), nullptr);
    EXPECT_EQ(Catalog.Translate(u"没有的"), u"没有的");
  }
}

TEST_F(MessageCatalogTest, ShownTranslatesEachPieceOfADetail) {
  TMessageCatalog Catalog;
  ASSERT_TRUE(Catalog.Load(Compile(SampleEntries)));
  EXPECT_EQ(Catalog.Shown(u"完成"), u"done");
  EXPECT_EQ(Catalog.Shown(u"标签未写入: read-only; 源文件未能移到回收站: 权限不够"),
            u"tags not written: read-only; source not moved to the trash: 权限不够");
  // A filler with a placeholder of its own stays as it is.
  EXPECT_EQ(Catalog.Shown(u"标签未写入: %d%s"), u"tags not written: %d%s");
  EXPECT_EQ(Catalog.Shown(u"unknown; 完成; "), u"unknown; done; ");
  EXPECT_EQ(Catalog.Shown(u""), u"");
  // A bare "%s" entry is no pattern for every text.
  EXPECT_EQ(Catalog.Shown(u"no SoundFont"), u"no SoundFont");
}

TEST_F(MessageCatalogTest, EmptyCatalogKeepsEveryText) {
  TMessageCatalog Catalog;
  EXPECT_TRUE(Catalog.Empty());
  EXPECT_EQ(Catalog.Translate(u"完成"), u"完成");
  EXPECT_EQ(Catalog.Shown(u"标签未写入: x; 完成"), u"标签未写入: x; 完成");
}

TEST_F(MessageCatalogTest, RefusesDamagedFiles) {
  const std::string Good = Compile(SampleEntries);
  TMessageCatalog Catalog;
  // Every cut short file either loads fully or is refused, never read
  // beyond its end (the sanitizer build checks the reads).
  for (size_t Size = 0; Size < Good.size(); ++Size) {
    if (Catalog.Load(std::string_view(Good).substr(0, Size))) {
      ASSERT_NE(Catalog.Find("完成"), nullptr) << Size;
    } else {
      EXPECT_TRUE(Catalog.Empty()) << Size;
    }
  }
  EXPECT_FALSE(Catalog.Load(std::string(Good.size(), '\0')));
  // Offsets of the string tables far beyond the file.
  std::string Bad = Good;
  Bad[12] = Bad[13] = Bad[14] = Bad[15] = '\xFF';
  EXPECT_FALSE(Catalog.Load(Bad));
  EXPECT_TRUE(Catalog.Empty());
  EXPECT_FALSE(Catalog.LoadFile(u"/nonexistent/morvo.mo"));
}

}  // namespace
