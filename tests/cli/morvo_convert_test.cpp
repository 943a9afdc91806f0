// morvo-convert end to end: the real executable, real sources made with the
// ffmpeg tool, a private program folder for the configuration.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/uMidiWriter.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace fs = std::filesystem;

namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

using morvotest::Quote;
using morvotest::ReadBytes;
using morvotest::RunCommand;
using morvotest::RunTool;

class CliRun : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(FRoot / "prog");
    fs::create_directories(FRoot / "src");
  }

  // Runs morvo-convert with Args (already quoted), standard input closed;
  // the user's trash lies in the test folder.
  TRun Convert(const std::string& Args,
               const std::string& Executable = std::string(MORVO_BIN_DIR) + "/morvo-convert") {
    const fs::path Out = FRoot / "stdout", Err = FRoot / "stderr";
    const std::string Command = "cd " + Quote(FRoot.string()) + " && MORVO_PROGRAM_DIR=" +
                                Quote((FRoot / "prog").string()) + " XDG_DATA_HOME=" + Quote((FRoot / "data").string()) +
                                " " + Quote(Executable) +
                                " " + Args + " </dev/null >" + Quote(Out.string()) + " 2>" + Quote(Err.string());
    const int Raw = std::system(Command.c_str());
    TRun Run;
    Run.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    Run.Out = ReadBytes(Out);
    Run.Err = ReadBytes(Err);
    return Run;
  }

  // A stereo 16-bit 44.1 kHz tone of Seconds.
  fs::path MakeWav(const std::string& Name, double Seconds, int Frequency = 440) {
    const fs::path File = FRoot / "src" / Name;
    fs::create_directories(File.parent_path());
    const std::string Command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" +
                                std::to_string(Frequency) + ":duration=" + std::to_string(Seconds) +
                                " -ac 2 -ar 44100 -c:a pcm_s16le " + Quote(File.string());
    EXPECT_TRUE(RunCommand(Command));
    return File;
  }

  std::string Probe(const fs::path& File, const std::string& Entries) {
    const std::string Command = "ffprobe -v error -select_streams a:0 -show_entries stream=" + Entries +
                                " -of default=nw=1:nk=1 " + Quote(File);
    const morvotest::TCommandResult Result = RunTool(Command);
    EXPECT_EQ(Result.ExitCode, 0) << Command << "\n" << Result.Output;
    std::string Text = Result.Output;
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r')) Text.pop_back();
    return Text;
  }

  morvotest::TTempDir FDir;
  const fs::path FRoot = FDir.Path();
};

TEST_F(CliRun, HelpVersionAndUsageErrors) {
  TRun Help = Convert("--help");
  EXPECT_EQ(Help.Status, 0);
  EXPECT_NE(Help.Out.find("--format"), std::string::npos);
  EXPECT_EQ(Convert("--version").Status, 0);
  EXPECT_EQ(Convert("").Status, 2) << "no source";
  EXPECT_EQ(Convert("--format ogg x.wav").Status, 2);
  EXPECT_EQ(Convert("--bogus x.wav").Status, 2);
  EXPECT_EQ(Convert("--ape-level 5 -f ape x.wav").Status, 2);
  TRun BadQuality = Convert("-f flac -q 9 x.wav");
  EXPECT_EQ(BadQuality.Status, 2);
  EXPECT_NE(BadQuality.Err.find("0..8"), std::string::npos);
}

// A copy of the program without the run-time libraries beside it says why
// the encoder is missing, in the loader's words.
TEST_F(CliRun, AMissingCodecLibraryIsExplained) {
  const fs::path Lone = FRoot / "lone" / "morvo-convert";
  fs::create_directories(Lone.parent_path());
  fs::copy_file(std::string(MORVO_BIN_DIR) + "/morvo-convert", Lone);
  const TRun Run = Convert("-f mp3 " + Quote(MakeWav("a.wav", 0.2).string()), Lone.string());
  EXPECT_EQ(Run.Status, 2);
  EXPECT_NE(Run.Err.find("libcodecs.so"), std::string::npos) << Run.Err;
  EXPECT_NE(Run.Err.find("No such file"), std::string::npos) << Run.Err;
}

TEST_F(CliRun, ListsQualitiesWithTheCurrentChoiceMarked) {
  TRun Mp3 = Convert("-f mp3 --list-qualities");
  ASSERT_EQ(Mp3.Status, 0) << Mp3.Err;
  EXPECT_NE(Mp3.Out.find("0: Mode:立体声; CBR:320Kbps\n"), std::string::npos) << Mp3.Out;
  EXPECT_NE(Mp3.Out.find("3: Mode:立体声; CBR:192Kbps  *\n"), std::string::npos) << Mp3.Out;
  EXPECT_NE(Mp3.Out.find("11: "), std::string::npos);

  TRun Vbr = Convert("-f mp3 --mp3-mode vbr --mp3-channels mono --list-qualities");
  EXPECT_NE(Vbr.Out.find("4: Mode:单声道;VBR:Fast Standard  *\n"), std::string::npos) << Vbr.Out;

  TRun Ape = Convert("-f ape --ape-level 4 --list-qualities");
  EXPECT_EQ(Ape.Out, "0: 编码器V1.02,压缩级别: 疯狂  *\n");
}

TEST_F(CliRun, ConvertsOneSourceToEveryFormat) {
  const fs::path Source = MakeWav("歌曲.wav", 1.5);
  const struct {
    const char* Format;
    const char* Codec;
  } Cases[] = {{"mp3", "mp3"}, {"flac", "flac"}, {"wav", "pcm_s16le"}, {"ape", "ape"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Format);
    const fs::path Out = FRoot / "out" / Case.Format;
    TRun Run = Convert(std::string("-f ") + Case.Format + " -o " + Quote(Out.string()) + " " + Quote(Source.string()));
    const fs::path Target = Out / (std::string("歌曲.") + Case.Format);
    if (std::string(Case.Format) == "ape" && Run.Status == 1 && !fs::exists(Target)) {
      // The APE encoder may be missing from the codec library.
      EXPECT_NE(Run.Out.find("失败("), std::string::npos);
      continue;
    }
    ASSERT_EQ(Run.Status, 0) << Run.Out << Run.Err;
    EXPECT_NE(Run.Out.find(Target.string() + ": 完成"), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find("0个文件转换失败,1个文件转换成功"), std::string::npos);
    ASSERT_TRUE(fs::exists(Target));
    EXPECT_EQ(Probe(Target, "codec_name"), Case.Codec);
  }
}

TEST_F(CliRun, QualityIndexAndRelativeFolders) {
  MakeWav("a.wav", 0.5);
  TRun Run = Convert("-f wav -q 3 -o out src/a.wav");
  ASSERT_EQ(Run.Status, 0) << Run.Err;
  EXPECT_EQ(Probe(FRoot / "out" / "a.wav", "bits_per_sample"), "24");
}

TEST_F(CliRun, FoldersAndCueSheetsAsSources) {
  MakeWav("top.wav", 0.5);
  MakeWav("sub/inner.wav", 0.5);
  const fs::path Image = MakeWav("album/image.wav", 3.0);
  std::ofstream(FRoot / "src" / "album" / "image.cue")
      << "PERFORMER \"乐队\"\nFILE \"image.wav\" WAVE\n"
         "  TRACK 01 AUDIO\n    TITLE \"一\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"二\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:01:00\n";
  const fs::path Out = FRoot / "out";
  TRun Run = Convert("-f flac -o " + Quote(Out.string()) + " " + Quote((FRoot / "src" / "sub").string()) + " " +
                     Quote((FRoot / "src" / "album" / "image.cue").string()));
  ASSERT_EQ(Run.Status, 0) << Run.Out << Run.Err;
  EXPECT_TRUE(fs::exists(Out / "inner.flac"));
  EXPECT_TRUE(fs::exists(Out / "乐队 - 一.flac"));
  EXPECT_TRUE(fs::exists(Out / "乐队 - 二.flac"));
  EXPECT_FALSE(fs::exists(Out / "top.flac"));
  EXPECT_EQ(Probe(Out / "乐队 - 二.flac", "duration_ts"), "88200");
}

TEST_F(CliRun, AskWithoutATerminalAnswersNo) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  const fs::path Out = FRoot / "out";
  fs::create_directories(Out);
  std::ofstream(Out / "a.wav") << "keep me";
  TRun Run = Convert("-f wav -e ask -o " + Quote(Out.string()) + " " + Quote(Source.string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("失败(文件已存在，用户中止)"), std::string::npos) << Run.Out;
  EXPECT_EQ(ReadBytes(Out / "a.wav"), "keep me");

  TRun Renamed = Convert("-f wav -e rename -o " + Quote(Out.string()) + " " + Quote(Source.string()));
  EXPECT_EQ(Renamed.Status, 0) << Renamed.Out;
  EXPECT_TRUE(fs::exists(Out / "复件(0) a.wav"));
  EXPECT_EQ(ReadBytes(Out / "a.wav"), "keep me");
}

TEST_F(CliRun, DeletedSourcesStillCountAsSucceeded) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  TRun Run = Convert("-f flac -o out --delete-source " + Quote(Source.string()));
  EXPECT_EQ(Run.Status, 0) << Run.Out << Run.Err;
  EXPECT_TRUE(fs::exists(FRoot / "out" / "a.flac"));
  EXPECT_FALSE(fs::exists(Source)) << "the source went to the trash";
}

TEST_F(CliRun, JsonLinesForScripts) {
  const fs::path Good = MakeWav("good.wav", 0.5);
  std::ofstream(FRoot / "src" / "bad.wav") << "this is not audio";
  TRun Run = Convert("--json -f flac -o out " + Quote(Good.string()) + " " + Quote((FRoot / "src" / "bad.wav").string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("\"target\":\"" + (FRoot / "out" / "good.flac").string() + "\",\"state\":\"done\",\"result\":12"),
            std::string::npos)
      << Run.Out;
  EXPECT_NE(Run.Out.find("\"state\":\"failed\",\"result\":6,\"text\":\"读取文件失败\""), std::string::npos) << Run.Out;
  EXPECT_EQ(Run.Out.find("转换成功"), std::string::npos) << "the summary stays off standard output";
}

// MIDI and Musepack files convert like any other source. The rendered MIDI
// counts with the bitrate of its PCM, so even 320 kbit/s is no quality
// raised; the Musepack tone has a low bitrate, so it goes to a variable
// bitrate MP3, which is never refused for its bitrate.
TEST_F(CliRun, MidiAndMusepackSourcesConvertToMp3) {
  const morvotest::TScopedEnv SoundFont("MORVO_SOUNDFONT", std::nullopt);
  const fs::path Midi = FRoot / "src" / "song.mid";
  morvotest::WriteBytes(Midi, morvotest::TTestSong::Type1());
  TRun MidiRun = Convert("-f mp3 -q 0 -o out " + Quote(Midi.string()));
  ASSERT_EQ(MidiRun.Status, 0) << MidiRun.Out << MidiRun.Err;
  EXPECT_NE(MidiRun.Out.find((FRoot / "out" / "song.mp3").string() + ": 完成"), std::string::npos) << MidiRun.Out;
  EXPECT_EQ(Probe(FRoot / "out" / "song.mp3", "bit_rate"), "320000");
  // The song (3.4 s) and the release tail (2 s).
  EXPECT_NEAR(std::stod(Probe(FRoot / "out" / "song.mp3", "duration")), 5.4, 0.06);
  // Rendered or not, MIDI counts as a lossy source: MP3 targets only.
  TRun ToWav = Convert("-f wav -o out " + Quote(Midi.string()));
  EXPECT_NE(ToWav.Out.find("song.wav: 失败(不支持有损转无损)"), std::string::npos) << ToWav.Out;

  const fs::path Mpc = FRoot / "src" / "tone.mpc";
  ASSERT_TRUE(RunCommand("mpcenc --silent --overwrite " + Quote(MakeWav("tone.wav", 1.2).string()) + " " +
                         Quote(Mpc.string())));
  TRun MpcRun = Convert("-f mp3 --mp3-mode vbr -o out " + Quote(Mpc.string()));
  ASSERT_EQ(MpcRun.Status, 0) << MpcRun.Out << MpcRun.Err;
  EXPECT_NEAR(std::stod(Probe(FRoot / "out" / "tone.mp3", "duration")), 1.2, 0.06);
}

// The task's line (and its JSON object) says why a source could not be
// opened when the player library knows.
TEST_F(CliRun, AMidiFileWithoutASoundFontFailsAndSaysWhy) {
  const morvotest::TScopedEnv SoundFont("MORVO_SOUNDFONT", (FRoot / "none.sf2").string());
  const fs::path Midi = FRoot / "src" / "song.mid";
  morvotest::WriteBytes(Midi, morvotest::TTestSong::Type1());
  TRun Run = Convert("-f mp3 -o out " + Quote(Midi.string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find(": 失败(读取文件失败): MORVO_SOUNDFONT names no SoundFont file: " + (FRoot / "none.sf2").string()),
            std::string::npos)
      << Run.Out;
  EXPECT_FALSE(fs::exists(FRoot / "out" / "song.mp3"));
  TRun Json = Convert("--json -f mp3 -o out " + Quote(Midi.string()));
  EXPECT_NE(Json.Out.find("\"result\":6,\"text\":\"读取文件失败\",\"detail\":\"MORVO_SOUNDFONT names no SoundFont"),
            std::string::npos)
      << Json.Out;
}

TEST_F(CliRun, MissingSourcesAndDuplicatesAreReported) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  TRun Run = Convert("-f wav -o out " + Quote(Source.string()) + " " + Quote(Source.string()) + " missing.wav");
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Err.find("missing.wav"), std::string::npos) << Run.Err;
  EXPECT_NE(Run.Err.find("a.wav"), std::string::npos) << "the duplicate is named";
  EXPECT_TRUE(fs::exists(FRoot / "out" / "a.wav"));

  TRun Nothing = Convert("-f wav -o out missing.wav");
  EXPECT_EQ(Nothing.Status, 1);
  EXPECT_NE(Nothing.Err.find("没有需要转换的任务"), std::string::npos);
}

TEST_F(CliRun, InvalidTargetFolders) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  TRun NoDrive = Convert("-f wav -o 'X:\\Music' " + Quote(Source.string()));
  EXPECT_EQ(NoDrive.Status, 2);
  EXPECT_NE(NoDrive.Err.find("为无效路径"), std::string::npos) << NoDrive.Err;

  std::ofstream(FRoot / "plainfile") << "x";
  TRun Uncreatable = Convert("-f wav -o " + Quote((FRoot / "plainfile" / "sub").string()) + " " + Quote(Source.string()));
  EXPECT_EQ(Uncreatable.Status, 2);
  EXPECT_NE(Uncreatable.Err.find("无法创建"), std::string::npos) << Uncreatable.Err;
}

TEST_F(CliRun, SaveStoresTheDefaults) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  const fs::path Out = FRoot / "saved";
  ASSERT_EQ(Convert("-f flac -q 7 --save -o " + Quote(Out.string()) + " " + Quote(Source.string())).Status, 0);
  const std::string Ini = ReadBytes(FRoot / "prog" / "EncodeConfig.ini");
  EXPECT_NE(Ini.find("DestPath=" + Out.string() + "/"), std::string::npos) << Ini;
  EXPECT_NE(Ini.find("Qulity=7"), std::string::npos) << Ini;
  TRun Listed = Convert("-f flac --list-qualities");
  EXPECT_NE(Listed.Out.find("7: Free Lossless Audio Codec，压缩级别7  *"), std::string::npos) << Listed.Out;
  // encode.log lists the converted target.
  EXPECT_TRUE(fs::exists(FRoot / "prog" / "encode.log"));
}

}  // namespace
