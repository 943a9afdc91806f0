// Writing tags into finished files made by ffmpeg, read back by mutagen and
// ffprobe. Every target format with every field is covered end to end
// (tests/app/uSourceAddingTags_test); these are the cases around it.
#include "codecs/uTagWriter.h"

#include <gtest/gtest.h>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTagOracle.h"
#include "tests/support/uTempDir.h"

namespace {

namespace fs = std::filesystem;
using morvotest::Field;
using morvotest::Quote;
using morvotest::ReadBytes;
using morvotest::ReadTagsWithMutagen;
using morvotest::RunCommand;

class TagWriter : public ::testing::Test {
protected:
  // One second of a tone in the format of the extension, made by ffmpeg.
  fs::path Make(const std::string& Name) {
    const fs::path File = FDir.Path() / Name;
    EXPECT_TRUE(RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=1 -ac 2 -map_metadata -1 " +
        Quote(File)));
    return File;
  }
  static std::u16string Wide(const fs::path& File) { return platform::Utf8ToWide(File.string()); }

  morvotest::TTempDir FDir;
};

TEST_F(TagWriter, NothingToWriteLeavesTheFileAsItIs) {
  const fs::path Mp3 = Make("a.mp3");
  const std::string Before = ReadBytes(Mp3);
  EXPECT_EQ(WriteFileTags(Wide(Mp3), ftMP3, TTagSet()), u"");
  EXPECT_TRUE(ReadBytes(Mp3) == Before);
}

// A file that is not of its format keeps its bytes and gives a reason.
TEST_F(TagWriter, AFileOfAnotherFormatIsReportedAndKept) {
  const fs::path Fake = FDir.Path() / "fake";
  TTagSet Tags;
  Tags.Title = u"Title";
  for (const TFormatType Format : {ftMP3, ftFLAC, ftAPE, ftWAV}) {
    for (const std::string& Bytes :
         {std::string(4096, 'x'), std::string("RIFF\x10\0\0\0WAVEjunk")}) {
      morvotest::WriteBytes(Fake, Bytes);
      EXPECT_NE(WriteFileTags(Wide(Fake), Format, Tags), u"") << int(Format);
      EXPECT_TRUE(ReadBytes(Fake) == Bytes) << int(Format);
    }
  }
  EXPECT_NE(WriteFileTags(Wide(FDir.Path() / "missing.mp3"), ftMP3, Tags), u"");
}

// Written twice (a target converted again over itself), a field holds one
// value; a full date survives ID3v2.3 (TYER and TDAT).
TEST_F(TagWriter, WritingAgainReplacesAndFullDatesSurviveId3v23) {
  TTagSet Tags;
  Tags.Title = u"First";
  Tags.Date = u"2021-05-03";
  for (const char* Name : {"a.mp3", "a.flac", "a.wav"}) {
    const fs::path File = Make(Name);
    const TFormatType Format = File.extension() == ".mp3"    ? ftMP3
                               : File.extension() == ".flac" ? ftFLAC
                                                             : ftWAV;
    ASSERT_EQ(WriteFileTags(Wide(File), Format, Tags), u"");
    Tags.Title = u"Second";
    ASSERT_EQ(WriteFileTags(Wide(File), Format, Tags), u"");
    Tags.Title = u"First";
    const nlohmann::json Read = ReadTagsWithMutagen(File);
    EXPECT_EQ(Field(Read, "title"), "Second") << Name;
    EXPECT_EQ(Field(Read, "date"), "2021-05-03") << Name;
    const std::string Probe =
        morvotest::RunTool("ffprobe -v error -show_entries format_tags=title -of "
                           "default=nw=1:nk=1 " +
                           Quote(File))
            .Output;
    EXPECT_EQ(Probe, "Second\n") << Name;
  }
}

// INFO is 8-bit text in the system code page, as Windows reads it; the id3
// chunk beside it keeps the text whatever the code page lacks.
TEST_F(TagWriter, WavInfoTextIsInTheSystemCodePage) {
  morvotest::TScopedLocale Desktop("zh_CN.GB18030", "936");
  const fs::path Wav = Make("a.wav");
  TTagSet Tags;
  Tags.Title = u"中文标题";
  ASSERT_EQ(WriteFileTags(Wide(Wav), ftWAV, Tags), u"");
  const std::string Bytes = ReadBytes(Wav);
  EXPECT_NE(Bytes.find("INAM"), std::string::npos);
  EXPECT_NE(Bytes.find(platform::WideToCodePage(936, Tags.Title) + '\0'), std::string::npos);
  EXPECT_EQ(Field(ReadTagsWithMutagen(Wav), "title"), "中文标题");
}

}  // namespace
