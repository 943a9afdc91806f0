// Tags and covers from every kind of source, and from cue sheets, into every
// target format, with the real engine. Sources are tagged by tools that
// share nothing with the system (ffmpeg, metaflac, mutagen); targets are
// read back by mutagen (tests/support/tag_oracle.py).
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/uSourceAdding.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "tests/app/uAppTestEnv.h"
#include "tests/support/uTagOracle.h"

using namespace cuetest;
using morvotest::Field;
using morvotest::HexOf;
using morvotest::ReadTagsWithMutagen;
using morvotest::WriteTagsWithMutagen;

namespace {

// What every tagged source carries (the oracle's names and values).
const std::map<std::string, std::string> Known = {{"title", "标题 Tïtle ①"},
                                                  {"artist", "Artist Ä"},
                                                  {"album", "Album Ω"},
                                                  {"albumartist", "Album Artist"},
                                                  {"track", "3"},
                                                  {"tracktotal", "12"},
                                                  {"disc", "1"},
                                                  {"disctotal", "2"},
                                                  {"date", "2021"},
                                                  {"genre", "Rock"},
                                                  {"composer", "Composer"},
                                                  {"comment", "Comment"},
                                                  {"isrc", "USRC17607839"}};

const std::vector<std::u16string> AllTargets = {u".mp3", u".flac", u".ape", u".wav"};

std::string Ffmeta(const std::string& Key, const std::string& Value) {
  return " -metadata " + Key + "=" + Quote(Value);
}

// The known fields as ffmpeg's generic metadata options.
std::string FfmpegMetadata() {
  return Ffmeta("title", Known.at("title")) + Ffmeta("artist", Known.at("artist")) +
         Ffmeta("album", Known.at("album")) + Ffmeta("album_artist", Known.at("albumartist")) +
         Ffmeta("track", "3/12") + Ffmeta("disc", "1/2") + Ffmeta("date", Known.at("date")) +
         Ffmeta("genre", Known.at("genre")) + Ffmeta("composer", Known.at("composer")) +
         Ffmeta("comment", Known.at("comment"));
}

nlohmann::json KnownAsJson(const std::set<std::string>& Leave = {}) {
  nlohmann::json Fields = nlohmann::json::object();
  for (const auto& [Name, Value] : Known)
    if (!Leave.count(Name)) Fields[Name] = Value;
  return Fields;
}

class SourceTagsTest : public TManagerTest {
protected:
  void SetUp() override {
    TManagerTest::SetUp();
    FOut = FDir.Path() / "out";
    fs::create_directories(FOut);
    morvotest::MakeJpeg(FDir.Path() / "cover.jpg", "red");
    MakeNoiseWav(FDir.Path() / "base.wav", 1.0);
    // Variable bitrate: a lossy source is never refused for its bitrate.
    if (auto* Mp3 = dynamic_cast<TMp3Param*>(FManager->FParamManager->FindByExtension(".mp3")))
      Mp3->FBitRateMode = 2;
  }

  fs::path Cover() const { return FDir.Path() / "cover.jpg"; }

  // The audio of any file as ffmpeg decodes it (16-bit PCM).
  std::string DecodedPcm(const fs::path& File) {
    const fs::path Raw = FDir.Path() / "decoded.raw";
    EXPECT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(File) +
                           " -map 0:a -c:a pcm_s16le -f s16le " + Quote(Raw)));
    return ReadBytes(Raw);
  }
  fs::path Base() const { return FDir.Path() / "base.wav"; }

  // Converts Source into Folder once per target extension; every task must
  // succeed without a note. Returns the targets by extension.
  std::map<std::u16string, fs::path>
  Convert(const fs::path& Source, const std::vector<std::u16string>& Exts, const fs::path& Folder) {
    const size_t Before = Tasks().size();
    for (const std::u16string& Ext : Exts)
      AddSource(Source, Ext);
    FManager->ResetAll();
    RunInto(Folder);
    std::map<std::u16string, fs::path> Targets;
    const std::vector<TTaskItem*> All = Tasks();
    for (size_t I = Before; I < All.size(); ++I) {
      const TTaskItem* Task = All[I];
      EXPECT_EQ(Task->FState, tsDone) << "result " << Task->FResult.load();
      EXPECT_TRUE(Task->FDetail.empty()) << platform::WideToUtf8(Task->FDetail);
      Targets[Task->FTargetExt] = Folder / fs::path(Task->FTargetName);
    }
    // Taken out of the list, so that the next conversion of the same
    // source is not refused as a duplicate.
    while (static_cast<int32_t>(Before) < FManager->TaskCount())
      FManager->RemoveTask(FManager->GetTask(FManager->TaskCount() - 1)->FId);
    return Targets;
  }

  void AddSource(const fs::path& Source, const std::u16string& Ext) {
    TSourceAdder Adder(*FManager);
    Adder.SetTargetExt(Ext);
    Adder.AddSources({TTempDir::Utf8ToU16(Source.string())}, TSourceAdder::ModeUser);
    EXPECT_TRUE(Adder.Refused().empty());
  }

  // Converts the listed tasks into Folder, overwriting what is there.
  void RunInto(const fs::path& Folder) {
    fs::create_directories(Folder);
    FManager->SetDestPath(TTempDir::Utf8ToU16(Folder.string() + "/"));
    FManager->FExistPolicy = epOverwrite;
    RunConversion();
  }

  // Every known field but those in Lacking (fields the source format does
  // not carry), the cover's bytes, no ReplayGain; MP3 as ID3v2.3 in UTF-16.
  void ExpectKnownTags(const fs::path& Target, const std::set<std::string>& Lacking = {}) {
    SCOPED_TRACE(Target.filename().string());
    const nlohmann::json Tags = ReadTagsWithMutagen(Target);
    for (const auto& [Name, Value] : Known) {
      if (Lacking.count(Name))
        EXPECT_EQ(Field(Tags, Name), "") << Name;
      else
        EXPECT_EQ(Field(Tags, Name), Value) << Name;
    }
    EXPECT_EQ(Field(Tags, "cover"), HexOf(Cover()));
    EXPECT_FALSE(Tags.value("replaygain", false));
    if (Target.extension() == ".mp3") {
      EXPECT_EQ(Tags.value("id3version", 0), 3);
      ExpectUtf16Frames(Tags);
    }
  }

  // Every text in UTF-16, except the date and genre frames that TagLib
  // rebuilds for ID3v2.3: those are Latin-1 when their text fits it.
  static void ExpectUtf16Frames(const nlohmann::json& Tags) {
    const nlohmann::json Encodings = Tags.value("id3encodings", nlohmann::json::object());
    EXPECT_GE(Encodings.size(), 10u);
    for (const auto& [Frame, Encoding] : Encodings.items()) {
      if (Frame != "TDRC" && Frame != "TCON") {  // TYER and TDAT as mutagen shows them
        EXPECT_EQ(Encoding, 1) << Frame;
      }
    }
  }

  void ExpectKnownTagsInAll(const fs::path& Source, const std::vector<std::u16string>& Exts,
                            const std::set<std::string>& Lacking = {}) {
    const auto Targets = Convert(Source, Exts, FOut);
    ASSERT_EQ(Targets.size(), Exts.size());
    for (const auto& [Ext, Target] : Targets)
      ExpectKnownTags(Target, Lacking);
  }

  // An APE file of the base noise made by the system's own encoder, with no
  // tags; false when the codec library has no APE encoder.
  bool MakeUntaggedApe(const fs::path& Ape) {
    if (!FManager->IsTargetFormatAvailable(u".ape")) return false;
    FManager->FWriteTags = false;
    const auto Made = Convert(Base(), {u".ape"}, Ape.parent_path() / "made");
    FManager->FWriteTags = true;
    fs::rename(Made.at(u".ape"), Ape);
    return true;
  }

  fs::path FOut;
};

TEST_F(SourceTagsTest, FlacTagsAndPictureReachEveryTarget) {
  const fs::path Flac = FDir.Path() / "source.flac";
  MakeFlac(Base(), Flac);
  std::string Tags;
  for (const auto& [Name, Value] : Known) {
    static const std::map<std::string, std::string> Keys = {
        {"title", "TITLE"},       {"artist", "ARTIST"},
        {"album", "ALBUM"},       {"albumartist", "ALBUMARTIST"},
        {"track", "TRACKNUMBER"}, {"tracktotal", "TRACKTOTAL"},
        {"disc", "DISCNUMBER"},   {"disctotal", "DISCTOTAL"},
        {"date", "DATE"},         {"genre", "GENRE"},
        {"composer", "COMPOSER"}, {"comment", "COMMENT"},
        {"isrc", "ISRC"}};
    Tags += " --set-tag=" + Quote(Keys.at(Name) + "=" + Value);
  }
  ASSERT_TRUE(RunCommand(
      "metaflac --no-utf8-convert" + Tags + " --set-tag=REPLAYGAIN_TRACK_GAIN=-3.10\\ dB" +
      " --import-picture-from=" + Quote("3|image/jpeg|||" + Cover().string()) + " " + Quote(Flac)));
  ExpectKnownTagsInAll(Flac, AllTargets);
}

TEST_F(SourceTagsTest, ApeTagsAndCoverReachEveryTarget) {
  const fs::path Ape = FDir.Path() / "source.ape";
  if (!MakeUntaggedApe(Ape)) GTEST_SKIP() << "no APE encoder";
  nlohmann::json Fields = KnownAsJson();
  Fields["cover"] = Cover().string();
  ASSERT_TRUE(WriteTagsWithMutagen(Ape, Fields));
  ExpectKnownTagsInAll(Ape, AllTargets);
}

// INFO names only some fields; the id3 chunk carries the rest and the
// picture. Both are read.
TEST_F(SourceTagsTest, WavInfoAndId3ChunkReachEveryTarget) {
  const fs::path Wav = FDir.Path() / "source.wav";
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(Base()) +
                         Ffmeta("title", Known.at("title")) + Ffmeta("artist", Known.at("artist")) +
                         Ffmeta("genre", Known.at("genre")) + " -c:a copy " + Quote(Wav)));
  nlohmann::json Fields = KnownAsJson({"title", "artist", "genre"});
  Fields["cover"] = Cover().string();
  ASSERT_TRUE(WriteTagsWithMutagen(Wav, Fields));
  ExpectKnownTagsInAll(Wav, AllTargets);
}

// Lossy sources become MP3 only (lossless targets are refused by design).
TEST_F(SourceTagsTest, Mp3TagsAndPictureReachAnMp3Target) {
  const fs::path Mp3 = FDir.Path() / "source.mp3";
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(Base()) + " -i " +
                         Quote(Cover()) + " -map 0 -map 1 -c:a libmp3lame -b:a 320k -c:v copy " +
                         "-id3v2_version 3 -metadata:s:v comment='Cover (front)'" +
                         FfmpegMetadata() + Ffmeta("ISRC", Known.at("isrc")) +
                         Ffmeta("REPLAYGAIN_TRACK_GAIN", "-3 dB") + " " + Quote(Mp3)));
  ExpectKnownTagsInAll(Mp3, {u".mp3"});
}

TEST_F(SourceTagsTest, M4aAtomsAndCoverReachAnMp3Target) {
  const fs::path M4a = FDir.Path() / "source.m4a";
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(Base()) + " -i " +
                         Quote(Cover()) + " -map 0 -map 1 -c:a alac -c:v copy " +
                         "-disposition:v attached_pic" + FfmpegMetadata() + " " + Quote(M4a)));
  ASSERT_TRUE(WriteTagsWithMutagen(M4a, {{"isrc", Known.at("isrc")}}));
  ExpectKnownTagsInAll(M4a, {u".mp3"});
}

TEST_F(SourceTagsTest, OggCommentsAndPictureReachAnMp3Target) {
  const fs::path Ogg = FDir.Path() / "source.ogg";
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(Base()) +
                         " -c:a libvorbis" + FfmpegMetadata() + Ffmeta("ISRC", Known.at("isrc")) +
                         Ffmeta("REPLAYGAIN_TRACK_GAIN", "-3 dB") + " " + Quote(Ogg)));
  ASSERT_TRUE(WriteTagsWithMutagen(Ogg, {{"cover", Cover().string()}}));
  ExpectKnownTagsInAll(Ogg, {u".mp3"});
}

// Matroska is a container TagLib does not read: the decoder's metadata and
// its attached picture stand in.
TEST_F(SourceTagsTest, TagsOfAContainerTagLibCannotReadComeFromTheDecoder) {
  const fs::path Mka = FDir.Path() / "source.mka";
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -i " + Quote(Base()) + " -attach " +
                         Quote(Cover()) + " -metadata:s:t mimetype=image/jpeg -c:a flac" +
                         FfmpegMetadata() + Ffmeta("ISRC", Known.at("isrc")) + " " + Quote(Mka)));
  ExpectKnownTagsInAll(Mka, {u".mp3"});
}

// Tags change only metadata: the audio of a tagged target is the audio of
// the same conversion without tags, and the MP3's frames (the LAME frame
// first) follow its ID3v2 tag byte for byte.
TEST_F(SourceTagsTest, TaggedTargetsKeepTheirAudioExactly) {
  const fs::path Flac = FDir.Path() / "source.flac";
  MakeFlac(Base(), Flac);
  ASSERT_TRUE(RunCommand("metaflac --set-tag=TITLE=Title --set-tag=ARTIST=Artist" +
                         std::string(" --import-picture-from=") +
                         Quote("3|image/jpeg|||" + Cover().string()) + " " + Quote(Flac)));
  const auto Tagged = Convert(Flac, AllTargets, FDir.Path() / "tagged");
  FManager->FWriteTags = false;
  const auto Plain = Convert(Flac, AllTargets, FDir.Path() / "plain");
  ASSERT_EQ(Tagged.size(), AllTargets.size());
  for (const auto& [Ext, Target] : Tagged) {
    SCOPED_TRACE(Target.filename().string());
    EXPECT_EQ(Field(ReadTagsWithMutagen(Target), "title"), "Title");
    EXPECT_EQ(Field(ReadTagsWithMutagen(Plain.at(Ext)), "title"), "");
    EXPECT_TRUE(DecodedPcm(Target) == DecodedPcm(Plain.at(Ext)));
    EXPECT_GT(DecodedPcm(Target).size(), 100000u);
  }
  const std::string Mp3 = ReadBytes(Tagged.at(u".mp3"));
  const std::string PlainMp3 = ReadBytes(Plain.at(u".mp3"));
  ASSERT_EQ(Mp3.substr(0, 3), "ID3");
  const size_t TagSize = 10 + ((size_t(Mp3[6]) & 0x7F) << 21 | (size_t(Mp3[7]) & 0x7F) << 14 |
                               (size_t(Mp3[8]) & 0x7F) << 7 | (size_t(Mp3[9]) & 0x7F));
  EXPECT_TRUE(Mp3.substr(TagSize) == PlainMp3);
  const std::string Wav = WavData(ReadBytes(Tagged.at(u".wav")));
  EXPECT_TRUE(Wav == WavData(ReadBytes(Plain.at(u".wav"))));
}

// ---------------------------------------------------------------------------
// Cue sheets

const char* const GbkSheet = "REM DATE 1999\r\n"
                             "REM DISCNUMBER 1\r\n"
                             "REM TOTALDISCS 2\r\n"
                             "REM COMMENT \"ExactAudioCopy v1.0\"\r\n"
                             "CATALOG 0123456789012\r\n"
                             "PERFORMER \"歌手\"\r\n"
                             "TITLE \"专辑名\"\r\n"
                             "SONGWRITER \"作曲家\"\r\n"
                             "FILE \"image.flac\" WAVE\r\n"
                             "  TRACK 01 AUDIO\r\n"
                             "    TITLE \"第一首\"\r\n"
                             "    ISRC CNA019900001\r\n"
                             "    INDEX 01 00:00:00\r\n"
                             "  TRACK 02 AUDIO\r\n"
                             "    TITLE \"第二首\"\r\n"
                             "    PERFORMER \"客串歌手\"\r\n"
                             "    SONGWRITER \"另一作曲\"\r\n"
                             "    INDEX 01 00:01:00\r\n";

const char* const Utf8Sheet = "REM GENRE \"民谣\"\n"
                              "PERFORMER \"乐队\"\n"
                              "TITLE \"现场\"\n"
                              "FILE \"image.wav\" WAVE\n"
                              "  TRACK 01 AUDIO\n    TITLE \"开场\"\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    TITLE \"终曲\"\n    INDEX 01 00:01:00\n";

class CueTagsTest : public SourceTagsTest {
protected:
  // Adds the sheet and converts its tracks to Ext; the targets in track
  // order.
  std::vector<fs::path> SplitTo(const fs::path& Sheet, const std::u16string& Ext,
                                const fs::path& Folder) {
    AddSource(Sheet, Ext);
    RunInto(Folder);
    std::vector<fs::path> Targets;
    for (TTaskItem* Task : Tasks()) {
      EXPECT_EQ(Task->FState, tsDone) << "result " << Task->FResult.load();
      Targets.push_back(Folder / fs::path(Task->FTargetName));
    }
    while (FManager->TaskCount() > 0)
      FManager->RemoveTask(FManager->GetTask(0)->FId);
    return Targets;
  }
};

// The sheet's values win; the image lends what the sheet lacks (its genre
// and picture), never its own title or track number.
TEST_F(CueTagsTest, GbkSheetGivesItsChineseValuesAndTheImageFillsTheRest) {
  const fs::path Image = FDir.Path() / "image.flac";
  MakeNoiseWav(FDir.Path() / "image.wav", 2.0);
  MakeFlac(FDir.Path() / "image.wav", Image);
  fs::remove(FDir.Path() / "image.wav");
  ASSERT_TRUE(RunCommand("metaflac --no-utf8-convert --set-tag=TITLE=Whole --set-tag=ALBUM=Other "
                         "--set-tag=TRACKNUMBER=7 "
                         "--set-tag=GENRE=Classical --import-picture-from=" +
                         Quote("3|image/jpeg|||" + Cover().string()) + " " + Quote(Image)));
  const std::u16string Text = platform::Utf8ToWide(GbkSheet);
  WriteBytes(FDir.Path() / "album.cue", platform::WideToCodePage(936, Text));

  for (const std::u16string Ext : {u".mp3", u".flac"}) {
    const auto Targets = SplitTo(FDir.Path() / "album.cue", Ext, FOut / platform::WideToUtf8(Ext));
    ASSERT_EQ(Targets.size(), 2u);
    EXPECT_EQ(Targets[0].filename().string(), "歌手 - 第一首" + platform::WideToUtf8(Ext));
    const nlohmann::json One = ReadTagsWithMutagen(Targets[0]);
    const nlohmann::json Two = ReadTagsWithMutagen(Targets[1]);
    EXPECT_EQ(Field(One, "title"), "第一首");
    EXPECT_EQ(Field(One, "artist"), "歌手");
    EXPECT_EQ(Field(One, "albumartist"), "歌手");
    EXPECT_EQ(Field(One, "album"), "专辑名");
    EXPECT_EQ(Field(One, "track"), "1");
    EXPECT_EQ(Field(One, "tracktotal"), "2");
    EXPECT_EQ(Field(One, "disc"), "1");
    EXPECT_EQ(Field(One, "disctotal"), "2");
    EXPECT_EQ(Field(One, "date"), "1999");
    EXPECT_EQ(Field(One, "genre"), "Classical");
    EXPECT_EQ(Field(One, "composer"), "作曲家");
    EXPECT_EQ(Field(One, "comment"), "ExactAudioCopy v1.0");
    EXPECT_EQ(Field(One, "isrc"), "CNA019900001");
    EXPECT_EQ(Field(One, "catalog"), "0123456789012");
    EXPECT_EQ(Field(One, "cover"), HexOf(Cover()));
    EXPECT_EQ(Field(Two, "title"), "第二首");
    EXPECT_EQ(Field(Two, "artist"), "客串歌手");
    EXPECT_EQ(Field(Two, "albumartist"), "歌手");
    EXPECT_EQ(Field(Two, "composer"), "另一作曲");
    EXPECT_EQ(Field(Two, "track"), "2");
    EXPECT_EQ(Field(Two, "isrc"), "");
  }
}

// An image without a picture: the cover file beside the sheet stands in.
TEST_F(CueTagsTest, Utf8SheetWithACoverFileBesideIt) {
  MakeNoiseWav(FDir.Path() / "image.wav", 2.0);
  WriteBytes(FDir.Path() / "live.cue", std::string(Utf8Sheet));
  fs::remove(Cover());  // a cover.jpg would come first
  morvotest::MakeJpeg(FDir.Path() / "Folder.JPG", "blue");
  for (const std::u16string Ext : {u".mp3", u".flac"}) {
    const auto Targets = SplitTo(FDir.Path() / "live.cue", Ext, FOut / platform::WideToUtf8(Ext));
    ASSERT_EQ(Targets.size(), 2u);
    const nlohmann::json One = ReadTagsWithMutagen(Targets[0]);
    const nlohmann::json Two = ReadTagsWithMutagen(Targets[1]);
    EXPECT_EQ(Field(One, "title"), "开场");
    EXPECT_EQ(Field(Two, "title"), "终曲");
    EXPECT_EQ(Field(One, "artist"), "乐队");
    EXPECT_EQ(Field(One, "album"), "现场");
    EXPECT_EQ(Field(One, "genre"), "民谣");
    EXPECT_EQ(Field(One, "date"), "");
    EXPECT_EQ(Field(One, "cover"), HexOf(FDir.Path() / "Folder.JPG"));
    EXPECT_EQ(Field(Two, "cover"), HexOf(FDir.Path() / "Folder.JPG"));
  }
}

}  // namespace
