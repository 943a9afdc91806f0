// Reading tags: the mapping of key/value metadata, RIFF INFO in a legacy
// code page, and files that hold no tags TagLib can read. Reading the
// common containers is covered end to end (tests/app/uSourceAddingTags_test).
#include "codecs/uTagReader.h"

#include <gtest/gtest.h>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace {

namespace fs = std::filesystem;
using morvotest::WriteBytes;

std::u16string Wide(const fs::path& Path) { return platform::Utf8ToWide(Path.string()); }

TEST(TagReader, MetadataKeysOfFfmpegAndTagFormatsNameTheFields) {
  const TTagSet Tags = TagsFromPairs({{u"title", u"  Title  "},
                                      {u"album_artist", u"Band"},
                                      {u"ARTIST", u"Singer"},
                                      {u"artist", u"Second singer"},
                                      {u"track", u"4"},
                                      {u"TOTALTRACKS", u"10"},
                                      {u"disc", u"2/3"},
                                      {u"Description", u"Notes"},
                                      {u"year", u"1987"},
                                      {u"catalog", u"CAT-1"},
                                      {u"encoder", u"Lavf"},
                                      {u"REPLAYGAIN_TRACK_GAIN", u"-3 dB"},
                                      {u"genre", u"   "}});
  EXPECT_EQ(Tags.Title, u"Title");
  EXPECT_EQ(Tags.AlbumArtist, u"Band");
  EXPECT_EQ(Tags.Artist, u"Singer");  // the first value wins
  EXPECT_EQ(Tags.Track, 4u);
  EXPECT_EQ(Tags.TrackTotal, 10u);
  EXPECT_EQ(Tags.Disc, 2u);
  EXPECT_EQ(Tags.DiscTotal, 3u);
  EXPECT_EQ(Tags.Comment, u"Notes");
  EXPECT_EQ(Tags.Date, u"1987");
  EXPECT_EQ(Tags.Catalog, u"CAT-1");
  EXPECT_EQ(Tags.Genre, u"");
  // What no longer matches the new audio has no field to go to.
  EXPECT_TRUE(TagsFromPairs({{u"encoder", u"x"}, {u"replaygain_album_gain", u"1"}}).Empty());
}

// A WAV file whose INFO list holds Text under INAM, as bytes.
std::string WavWithInfoTitle(const std::string& Text) {
  auto Le32 = [](uint32_t V) {
    return std::string{char(V), char(V >> 8), char(V >> 16), char(V >> 24)};
  };
  std::string Value = Text + '\0';
  if (Value.size() % 2) Value += '\0';
  const std::string Info = "INFO" + std::string("INAM") + Le32(uint32_t(Text.size() + 1)) + Value;
  const std::string Fmt =
      std::string("fmt ") + Le32(16) +
      std::string("\x01\x00\x02\x00\x44\xAC\x00\x00\x10\xB1\x02\x00\x04\x00\x10\x00", 16);
  const std::string Data = std::string("data") + Le32(400) + std::string(400, '\0');
  const std::string List = "LIST" + Le32(uint32_t(Info.size())) + Info;
  const std::string Body = "WAVE" + Fmt + Data + List;
  return "RIFF" + Le32(uint32_t(Body.size())) + Body;
}

// Windows writes INFO in its ANSI code page: on a Chinese user's UTF-8
// desktop, text that is not UTF-8 is GBK.
TEST(TagReader, RiffInfoInTheLegacyCodePageOfTheUser) {
  morvotest::TScopedLocale Desktop("zh_CN.UTF-8", "65001");
  morvotest::TTempDir Dir;
  const fs::path Gbk = Dir.Path() / "gbk.wav";
  WriteBytes(Gbk, WavWithInfoTitle(platform::WideToCodePage(936, u"中文标题")));
  const fs::path Utf8 = Dir.Path() / "utf8.wav";
  WriteBytes(Utf8, WavWithInfoTitle(platform::WideToUtf8(u"中文标题")));
  for (const fs::path& File : {Gbk, Utf8}) {
    TTagSet Tags;
    ASSERT_TRUE(ReadFileTags(Wide(File), Tags)) << File;
    EXPECT_EQ(Tags.Title, u"中文标题") << File;
  }
}

TEST(TagReader, FilesWithoutReadableTags) {
  morvotest::TTempDir Dir;
  TTagSet Tags;
  Tags.Title = u"kept";
  EXPECT_FALSE(ReadFileTags(Wide(Dir.Path() / "missing.flac"), Tags));
  WriteBytes(Dir.Path() / "notes.txt", std::string("not audio at all"));
  EXPECT_FALSE(ReadFileTags(Wide(Dir.Path() / "notes.txt"), Tags));
  WriteBytes(Dir.Path() / "broken.flac", std::string("fLaC but nothing after it"));
  EXPECT_FALSE(ReadFileTags(Wide(Dir.Path() / "broken.flac"), Tags));
  EXPECT_EQ(Tags.Title, u"kept");
}

TEST(TagReader, CoverFilesMustBePictures) {
  morvotest::TTempDir Dir;
  ASSERT_TRUE(
      morvotest::RunCommand("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=red:s=16x16:d=1 "
                            "-frames:v 1 " +
                            morvotest::Quote(Dir.Path() / "cover.png")));
  const TCoverArt Png = ReadCoverFile(Wide(Dir.Path() / "cover.png"));
  EXPECT_EQ(Png.MimeType, "image/png");
  EXPECT_EQ(Png.Data, morvotest::ReadBytes<std::vector<uint8_t>>(Dir.Path() / "cover.png"));
  WriteBytes(Dir.Path() / "cover.jpg", std::string("a text file with a picture's name"));
  EXPECT_TRUE(ReadCoverFile(Wide(Dir.Path() / "cover.jpg")).Empty());
  EXPECT_TRUE(ReadCoverFile(Wide(Dir.Path() / "none.jpg")).Empty());
  WriteBytes(Dir.Path() / "empty.jpg", std::string());
  EXPECT_TRUE(ReadCoverFile(Wide(Dir.Path() / "empty.jpg")).Empty());
}

}  // namespace
