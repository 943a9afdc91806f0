// morvo-convert end to end: the real executable, real sources made with the
// ffmpeg tool, a private program folder for the configuration.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/uCdImage.h"
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
  TRun Convert(const std::string& Args, const std::string& Executable = DefaultExecutable()) {
    return RunShell(ConvertCommand(Args, "", Executable));
  }

  // The same with Env (NAME=value words) added to the environment.
  TRun ConvertWithEnv(const std::string& Args, const std::string& Env) {
    return RunShell(ConvertCommand(Args, Env, DefaultExecutable()));
  }

  // The same, sent Signal (a kill name: INT, TERM, HUP) after Seconds; the
  // status is the program's own exit status.
  TRun ConvertInterrupted(const std::string& Args, const std::string& Signal, double Seconds) {
    // With job control on, a program started in the background keeps
    // SIGINT (a script's background jobs would ignore it).
    // A program that does not end within two minutes of the signal is
    // killed (status 137).
    return RunShell("set -m; " + ConvertCommand(Args, "", DefaultExecutable()) + " & P=$!; sleep " +
                    std::to_string(Seconds) + "; kill -" + Signal +
                    " $P; (sleep 120; kill -KILL $P) & W=$!; wait $P; S=$?; kill $W; exit $S");
  }

  static std::string DefaultExecutable() { return std::string(MORVO_BIN_DIR) + "/morvo-convert"; }

  std::string ConvertCommand(const std::string& Args, const std::string& Env,
                             const std::string& Executable) {
    return "cd " + Quote(FRoot.string()) +
           " && MORVO_PROGRAM_DIR=" + Quote((FRoot / "prog").string()) +
           " XDG_DATA_HOME=" + Quote((FRoot / "data").string()) + " " + Env + " exec " +
           Quote(Executable) + " " + Args + " </dev/null >" + Quote((FRoot / "stdout").string()) +
           " 2>" + Quote((FRoot / "stderr").string());
  }

  TRun RunShell(const std::string& Command) {
    const int Raw = std::system(("bash -c " + Quote(Command)).c_str());
    TRun Run;
    Run.Status = WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1;
    Run.Out = ReadBytes(FRoot / "stdout");
    Run.Err = ReadBytes(FRoot / "stderr");
    return Run;
  }

  // A stereo 16-bit 44.1 kHz WAV of Seconds of silence that takes no room on
  // disk: long work for the encoder at no cost.
  fs::path MakeLongSilence(const std::string& Name, uint32_t Seconds) {
    const fs::path File = FRoot / "src" / Name;
    const uint32_t Data = Seconds * 44100u * 4u;
    std::string Header = "RIFF";
    const auto Put32 = [&Header](uint32_t V) {
      for (int I = 0; I < 4; ++I)
        Header += char((V >> (8 * I)) & 0xFF);
    };
    const auto Put16 = [&Header](uint16_t V) { Header += char(V & 0xFF), Header += char(V >> 8); };
    Put32(36 + Data);
    Header += "WAVEfmt ";
    Put32(16), Put16(1), Put16(2), Put32(44100), Put32(44100 * 4), Put16(4), Put16(16);
    Header += "data";
    Put32(Data);
    morvotest::WriteBytes(File, Header);
    fs::resize_file(File, Header.size() + Data);
    return File;
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
    const std::string Command =
        "ffprobe -v error -select_streams a:0 -show_entries stream=" + Entries +
        " -of default=nw=1:nk=1 " + Quote(File);
    const morvotest::TCommandResult Result = RunTool(Command);
    EXPECT_EQ(Result.ExitCode, 0) << Command << "\n" << Result.Output;
    std::string Text = Result.Output;
    while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r'))
      Text.pop_back();
    return Text;
  }

  // Starts morvo-convert with Args in the background (keeping SIGINT, as
  // in ConvertInterrupted); its process id.
  pid_t StartConvert(const std::string& Args) {
    const fs::path Pid = FRoot / "pid";
    const TRun Started = RunShell("set -m; " + ConvertCommand(Args, "", DefaultExecutable()) +
                                  " & echo $! >" + Quote(Pid.string()));
    EXPECT_EQ(Started.Status, 0);
    return static_cast<pid_t>(std::stol(ReadBytes(Pid)));
  }

  // Waits up to a minute for Done.
  static bool WaitFor(const std::function<bool()>& Done) {
    for (int Tick = 0; Tick < 6000 && !Done(); ++Tick)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Done();
  }

  // Hidden files in Folder (the temporary files of targets being written).
  static int HiddenFiles(const fs::path& Folder) {
    int Count = 0;
    for (const auto& Entry : fs::directory_iterator(Folder))
      Count += Entry.path().filename().string()[0] == '.';
    return Count;
  }

  morvotest::TTempDir FDir;
  const fs::path FRoot = FDir.Path();
};

// Ctrl+C, SIGTERM and a closed terminal stop the run; an overwrite that did
// not finish leaves the old target whole and no temporary file behind.
TEST_F(CliRun, SignalsStopTheRunAndKeepTheOldTarget) {
  const fs::path Source = FRoot / "src" / "long.wav";
  morvotest::MakeSparseRf64(Source, 3600);
  const fs::path Out = FRoot / "out";
  fs::create_directories(Out);
  for (int Signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(Signal);
    std::ofstream(Out / "long.flac") << "the old target";
    const pid_t Pid = StartConvert("-f flac -e overwrite -o " + Quote(Out.string()) + " " +
                                   Quote(Source.string()));
    ASSERT_TRUE(WaitFor([&] { return HiddenFiles(Out) > 0; })) << "the conversion did not start";
    kill(Pid, Signal);
    ASSERT_TRUE(WaitFor([&] { return kill(Pid, 0) != 0; })) << "the run did not end";
    EXPECT_EQ(ReadBytes(Out / "long.flac"), "the old target");
    EXPECT_EQ(HiddenFiles(Out), 0);
  }
}

// The target folder is the source's own folder spelled another way.
TEST_F(CliRun, TheSourceIsNeverItsOwnTarget) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  const std::string Original = ReadBytes(Source);
  fs::create_directory_symlink(FRoot / "src", FRoot / "linked");
  for (const std::string& Folder :
       {(FRoot / "src").string() + "/./", (FRoot / "linked").string()}) {
    TRun Run = Convert("-f wav -e overwrite -o " + Quote(Folder) + " " + Quote(Source.string()));
    EXPECT_EQ(Run.Status, 0) << Run.Out << Run.Err;
    EXPECT_EQ(ReadBytes(Source), Original) << Folder;
    EXPECT_TRUE(fs::exists(FRoot / "src" / "复件(0) a.wav")) << Folder;
    fs::remove(FRoot / "src" / "复件(0) a.wav");
  }
}

// cd1/01.wav and cd2/01.wav both want 01.flac: the second takes a copy name
// and its line says why.
TEST_F(CliRun, FlattenedFoldersNeverOverwriteTheirOwnTargets) {
  MakeWav("cd1/01.wav", 0.5, 440);
  MakeWav("cd2/01.wav", 0.5, 660);
  TRun Run = Convert("--json -f flac -e overwrite -o out src");
  EXPECT_EQ(Run.Status, 0) << Run.Out << Run.Err;
  EXPECT_TRUE(fs::exists(FRoot / "out" / "01.flac"));
  EXPECT_TRUE(fs::exists(FRoot / "out" / "复件(0) 01.flac"));
  EXPECT_NE(Run.Out.find("\"detail\":\"本次转换的另一任务已使用 01.flac"), std::string::npos)
      << Run.Out;
}

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
    TRun Run = Convert(std::string("-f ") + Case.Format + " -o " + Quote(Out.string()) + " " +
                       Quote(Source.string()));
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
  TRun Run =
      Convert("-f flac -o " + Quote(Out.string()) + " " + Quote((FRoot / "src" / "sub").string()) +
              " " + Quote((FRoot / "src" / "album" / "image.cue").string()));
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

  TRun Renamed =
      Convert("-f wav -e rename -o " + Quote(Out.string()) + " " + Quote(Source.string()));
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

// The lines of Text, sorted: two workers finish tasks in either order.
std::vector<std::string> SortedLines(const std::string& Text) {
  std::vector<std::string> Lines;
  std::istringstream Stream(Text);
  for (std::string Line; std::getline(Stream, Line);)
    Lines.push_back(Line);
  std::sort(Lines.begin(), Lines.end());
  return Lines;
}

// The locale picks the language of what is shown; JSON stays as it is.
TEST_F(CliRun, SpeaksTheLanguageOfTheLocale) {
  const fs::path Good = MakeWav("good.wav", 0.5);
  std::ofstream(FRoot / "src" / "bad.wav") << "this is not audio";
  const std::string Sources = Quote(Good.string()) + " " +
                              Quote((FRoot / "src" / "bad.wav").string()) + " " +
                              Quote((FRoot / "src" / "missing.wav").string());
  const auto Run = [&](const std::string& Env, const std::string& Options = "") {
    fs::remove_all(FRoot / "out");
    return ConvertWithEnv(Options + "-f flac -o out " + Sources,
                          "LANGUAGE= LC_ALL= LC_MESSAGES= LANG= " + Env);
  };
  const std::string Out = (FRoot / "out").string();

  // No locale at all: the program's own Chinese.
  const TRun Chinese = Run("");
  EXPECT_EQ(Chinese.Status, 1);
  EXPECT_NE(Chinese.Out.find(Out + "/good.flac: 完成\n"), std::string::npos) << Chinese.Out;
  EXPECT_NE(Chinese.Out.find(Out + "/bad.flac: 失败(读取文件失败)\n"), std::string::npos);
  EXPECT_NE(Chinese.Out.find("1个文件转换失败,1个文件转换成功\n"), std::string::npos);
  EXPECT_NE(Chinese.Err.find("跳过 " + (FRoot / "src" / "missing.wav").string() + ": 文件不存在"),
            std::string::npos)
      << Chinese.Err;
  for (const char* Env : {"LANG=zh_CN.UTF-8", "LANG=C.UTF-8", "LANG=C", "LANG=POSIX",
                          "LC_ALL=C.UTF-8 LANG=en_US.UTF-8", "LANGUAGE=en LANG=C.UTF-8",
                          "LC_MESSAGES=zh_TW.UTF-8 LANG=en_US.UTF-8"}) {
    SCOPED_TRACE(Env);
    const TRun Same = Run(Env);
    EXPECT_EQ(Same.Status, Chinese.Status);
    EXPECT_EQ(SortedLines(Same.Out), SortedLines(Chinese.Out));
    EXPECT_EQ(SortedLines(Same.Err), SortedLines(Chinese.Err));
  }

  // Any other language, generated on this machine or not.
  for (const char* Env : {"LANG=en_US.UTF-8", "LC_ALL=de_DE.UTF-8 LANG=zh_CN.UTF-8",
                          "LANGUAGE=en LANG=zh_CN.UTF-8"}) {
    SCOPED_TRACE(Env);
    const TRun English = Run(Env);
    EXPECT_EQ(English.Status, 1);
    EXPECT_NE(English.Out.find(Out + "/good.flac: done\n"), std::string::npos) << English.Out;
    EXPECT_NE(English.Out.find(Out + "/bad.flac: failed (reading the file failed)\n"),
              std::string::npos);
    EXPECT_NE(English.Out.find("1 file(s) failed, 1 file(s) converted\n"), std::string::npos);
    EXPECT_NE(English.Err.find("skipped " + (FRoot / "src" / "missing.wav").string() +
                               ": file does not exist"),
              std::string::npos)
        << English.Err;
    EXPECT_EQ(English.Out.find("失败"), std::string::npos);
  }

  // JSON is for scripts: the same texts in any language.
  const TRun Json = Run("LANG=en_US.UTF-8", "--json ");
  EXPECT_NE(Json.Out.find("\"state\":\"done\",\"result\":12,\"text\":\"完成\""), std::string::npos)
      << Json.Out;
  EXPECT_NE(Json.Out.find("\"result\":6,\"text\":\"读取文件失败\""), std::string::npos);

  const TRun HelpZh = ConvertWithEnv("--help", "LANG=C.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE=");
  const TRun HelpEn = ConvertWithEnv("--help", "LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE=");
  EXPECT_NE(HelpZh.Out.find("fast (加速处理(较快)) or background (资源优先(偏慢))"),
            std::string::npos)
      << HelpZh.Out;
  EXPECT_NE(HelpEn.Out.find("APE compression level 0 (fast) .. 4 (insane)"), std::string::npos)
      << HelpEn.Out;
  EXPECT_EQ(HelpEn.Out.find("加速处理"), std::string::npos);

  // The quality lists, shown in the window's box as well.
  const std::string En = "LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE=";
  const std::string Zh = "LANG=C.UTF-8 LC_ALL= LC_MESSAGES= LANGUAGE=";
  EXPECT_NE(ConvertWithEnv("--list-qualities -f ape --ape-level 4", En)
                .Out.find("Encoder V1.02, level: Insane"),
            std::string::npos);
  EXPECT_NE(ConvertWithEnv("--list-qualities -f ape --ape-level 4", Zh)
                .Out.find("编码器V1.02,压缩级别: 疯狂"),
            std::string::npos);
  const TRun Mp3En = ConvertWithEnv("--list-qualities -f mp3 --mp3-channels joint", En);
  EXPECT_NE(Mp3En.Out.find("0: Mode:Joint stereo; CBR:320Kbps"), std::string::npos) << Mp3En.Out;
  EXPECT_NE(ConvertWithEnv("--list-qualities -f wav", En).Out.find("3: WAV output, 24 bits"),
            std::string::npos);
  EXPECT_NE(ConvertWithEnv("--list-qualities -f flac", Zh)
                .Out.find("0: Free Lossless Audio Codec，压缩级别0"),
            std::string::npos);
}

TEST_F(CliRun, JsonLinesForScripts) {
  const fs::path Good = MakeWav("good.wav", 0.5);
  std::ofstream(FRoot / "src" / "bad.wav") << "this is not audio";
  TRun Run = Convert("--json -f flac -o out " + Quote(Good.string()) + " " +
                     Quote((FRoot / "src" / "bad.wav").string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("\"target\":\"" + (FRoot / "out" / "good.flac").string() +
                         "\",\"state\":\"done\",\"result\":12"),
            std::string::npos)
      << Run.Out;
  EXPECT_NE(Run.Out.find("\"state\":\"failed\",\"result\":6,\"text\":\"读取文件失败\""),
            std::string::npos)
      << Run.Out;
  EXPECT_EQ(Run.Out.find("转换成功"), std::string::npos) << "the summary stays off standard output";
  const std::string Sizes =
      "\"seconds\":0.5,\"source_bytes\":" + std::to_string(fs::file_size(Good)) +
      ",\"target_bytes\":" + std::to_string(fs::file_size(FRoot / "out" / "good.flac"));
  EXPECT_NE(Run.Out.find(Sizes), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("\"seconds\":null,\"source_bytes\":17,\"target_bytes\":null"),
            std::string::npos)
      << Run.Out;
}

TEST_F(CliRun, QuietPrintsOnlyFailures) {
  const fs::path Good = MakeWav("good.wav", 0.5);
  std::ofstream(FRoot / "src" / "bad.wav") << "this is not audio";
  TRun Run = Convert("--quiet -f flac -o out " + Quote(Good.string()) + " " +
                     Quote((FRoot / "src" / "bad.wav").string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_TRUE(fs::exists(FRoot / "out" / "good.flac"));
  EXPECT_EQ(Run.Out.find("good.wav"), std::string::npos) << Run.Out;
  EXPECT_NE(Run.Out.find("bad.wav"), std::string::npos) << Run.Out;
  EXPECT_EQ(Run.Out.find("转换成功") + Run.Err.find("转换成功"), 2 * std::string::npos) << Run.Err;
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
  EXPECT_NE(MidiRun.Out.find((FRoot / "out" / "song.mp3").string() + ": 完成"), std::string::npos)
      << MidiRun.Out;
  EXPECT_EQ(Probe(FRoot / "out" / "song.mp3", "bit_rate"), "320000");
  // The song (3.4 s) and the release tail (2 s).
  EXPECT_NEAR(std::stod(Probe(FRoot / "out" / "song.mp3", "duration")), 5.4, 0.06);
  // Rendered or not, MIDI counts as a lossy source: MP3 targets only.
  TRun ToWav = Convert("-f wav -o out " + Quote(Midi.string()));
  EXPECT_NE(ToWav.Out.find("song.wav: 失败(不支持有损转无损)"), std::string::npos) << ToWav.Out;

  const fs::path Mpc = FRoot / "src" / "tone.mpc";
  ASSERT_TRUE(RunCommand("mpcenc --silent --overwrite " + Quote(MakeWav("tone.wav", 1.2).string()) +
                         " " + Quote(Mpc.string())));
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
  EXPECT_NE(Run.Out.find(": 失败(读取文件失败): MORVO_SOUNDFONT names no SoundFont file: " +
                         (FRoot / "none.sf2").string()),
            std::string::npos)
      << Run.Out;
  EXPECT_FALSE(fs::exists(FRoot / "out" / "song.mp3"));
  TRun Json = Convert("--json -f mp3 -o out " + Quote(Midi.string()));
  EXPECT_NE(
      Json.Out.find(
          "\"result\":6,\"text\":\"读取文件失败\",\"detail\":\"MORVO_SOUNDFONT names no SoundFont"),
      std::string::npos)
      << Json.Out;
}

TEST_F(CliRun, MissingSourcesAndDuplicatesAreReported) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  TRun Run = Convert("-f wav -o out " + Quote(Source.string()) + " " + Quote(Source.string()) +
                     " missing.wav");
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
  TRun Uncreatable = Convert("-f wav -o " + Quote((FRoot / "plainfile" / "sub").string()) + " " +
                             Quote(Source.string()));
  EXPECT_EQ(Uncreatable.Status, 2);
  EXPECT_NE(Uncreatable.Err.find("无法创建"), std::string::npos) << Uncreatable.Err;
}

TEST_F(CliRun, AnEmptyTargetFolderIsRefused) {
  const std::string Name = "morvo-empty-target-" + std::to_string(getpid());
  const fs::path Source = MakeWav(Name + ".wav", 0.5);
  for (const char* Folder : {"''", "' '"}) {
    TRun Run = Convert(std::string("-f wav -o ") + Folder + " " + Quote(Source.string()));
    const bool WroteIntoRoot = fs::exists("/" + Name + ".wav");
    fs::remove("/" + Name + ".wav");
    EXPECT_FALSE(WroteIntoRoot) << Folder;
    EXPECT_EQ(Run.Status, 2) << Folder;
    EXPECT_NE(Run.Err.find("为无效路径"), std::string::npos) << Run.Err;
  }
}

TEST_F(CliRun, ANegativeQualityGetsAShortAnswer) {
  TRun Run = Convert("-f mp3 -q -1 x.wav");
  EXPECT_EQ(Run.Status, 2);
  EXPECT_NE(Run.Err.find("--list-qualities"), std::string::npos) << Run.Err;
  EXPECT_LT(Run.Err.size(), 200u) << Run.Err;
}

TEST_F(CliRun, ALowToHighRefusalNamesWhatWouldWork) {
  const fs::path Wav = MakeWav("tone.wav", 1.0);
  const fs::path Mp3 = FRoot / "src" / "tone.mp3";
  ASSERT_TRUE(morvotest::RunCommand("lame --silent -b 128 " + Quote(Wav) + " " + Quote(Mp3)));
  TRun Run = Convert("--json -f mp3 -q 0 -o out " + Quote(Mp3.string()));
  EXPECT_EQ(Run.Status, 1);
  EXPECT_NE(Run.Out.find("\"result\":3,\"text\":\"不支持音质低转高\",\"detail\":\"source 128 kbps; "
                         "highest quality accepted: -q 5 (Mode:立体声; CBR:128Kbps)\""),
            std::string::npos)
      << Run.Out;
  // The quality it names is accepted.
  EXPECT_EQ(Convert("-f mp3 -q 5 -o out " + Quote(Mp3.string())).Status, 0);
}

TEST_F(CliRun, InterruptsStopTheRunAndEndWithTheSignalsStatus) {
  // More three-hour sources than workers (one per processor): some wait.
  const int Count = int(std::thread::hardware_concurrency()) + 2;
  std::string Sources;
  for (int I = 0; I < Count; ++I)
    Sources += " " + Quote(MakeLongSilence(std::to_string(I) + ".wav", 10800).string());
  const struct {
    const char* Signal;
    int Status;
  } Cases[] = {{"INT", 130}, {"TERM", 143}, {"HUP", 129}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Signal);
    TRun Run = ConvertInterrupted("--json -f mp3 -e overwrite -o out" + Sources, Case.Signal, 2.0);
    EXPECT_EQ(Run.Status, Case.Status) << Run.Err;
    // Every task appears, with the state the stop left it in.
    int Lines = 0;
    for (size_t At = Run.Out.find("{\"source\""); At != std::string::npos;
         At = Run.Out.find("{\"source\"", At + 1))
      ++Lines;
    EXPECT_EQ(Lines, Count) << Run.Out;
    EXPECT_EQ(Run.Out.find("\"state\":\"done\""), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Out.find("\"state\":\"waiting\",\"result\":13"), std::string::npos) << Run.Out;
    EXPECT_NE(Run.Err.find("0个文件转换失败,0个文件转换成功"), std::string::npos)
        << "the summary stays as it is";
    EXPECT_TRUE(!fs::exists(FRoot / "out") || fs::is_empty(FRoot / "out"))
        << "partial targets are gone";
  }
}

TEST_F(CliRun, ASourceThatCannotGoToTheTrashStaysAndTheLineSaysWhy) {
  const fs::path Source = MakeWav("keep.wav", 0.5);
  // No home and no data folder that could hold a trash.
  TRun Run = ConvertWithEnv("-f flac -o out --delete-source " + Quote(Source.string()),
                            "HOME=/dev/null XDG_DATA_HOME=/dev/null/share");
  EXPECT_EQ(Run.Status, 1) << "what was asked for did not happen";
  EXPECT_TRUE(fs::exists(Source));
  EXPECT_TRUE(fs::exists(FRoot / "out" / "keep.flac"));
  EXPECT_NE(Run.Out.find("keep.flac: 完成: 源文件未能移到回收站: "), std::string::npos) << Run.Out;

  TRun Json =
      ConvertWithEnv("--json -e overwrite -f flac -o out --delete-source " + Quote(Source.string()),
                     "HOME=/dev/null XDG_DATA_HOME=/dev/null/share");
  EXPECT_NE(
      Json.Out.find(
          "\"state\":\"done\",\"result\":12,\"text\":\"完成\",\"detail\":\"源文件未能移到回收站: "),
      std::string::npos)
      << Json.Out;
}

TEST_F(CliRun, NamesThatAreNotUtf8ConvertAndKeepTheirBytes) {
  const fs::path Folder = FRoot / "src" / "legacy";
  fs::create_directories(Folder);
  fs::copy_file(MakeWav("tone.wav", 0.5), Folder / "caf\xE9.wav");
  fs::copy_file(FRoot / "src" / "tone.wav", Folder / "\xC4\xE3\xBA\xC3.wav");
  TRun Scan = Convert("-f flac -o out " + Quote(Folder.string()));
  EXPECT_EQ(Scan.Status, 0) << Scan.Out << Scan.Err;
  EXPECT_TRUE(fs::exists(FRoot / "out" / "caf\xE9.flac"));
  EXPECT_TRUE(fs::exists(FRoot / "out" / "\xC4\xE3\xBA\xC3.flac"));
  EXPECT_NE(Scan.Out.find("caf\xEF\xBF\xBD.flac: 完成"), std::string::npos)
      << "shown with a replacement mark";

  TRun Direct = Convert("-f wav -o " + Quote((FRoot / "caf\xE9").string()) + " " +
                        Quote((Folder / "caf\xE9.wav").string()));
  EXPECT_EQ(Direct.Status, 0) << Direct.Out << Direct.Err;
  EXPECT_TRUE(fs::exists(FRoot / "caf\xE9" / "caf\xE9.wav"));
}

TEST_F(CliRun, AnImageAndItsSheetGiveTheTracksOnly) {
  MakeWav("album/image.wav", 2.0);
  std::ofstream(FRoot / "src" / "album" / "image.cue")
      << "PERFORMER \"P\"\nFILE \"image.wav\" WAVE\n"
         "  TRACK 01 AUDIO\n    TITLE \"one\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"two\"\n    INDEX 01 00:01:00\n";
  TRun Scan = Convert("-f flac -o scanned " + Quote((FRoot / "src" / "album").string()));
  EXPECT_EQ(Scan.Status, 0) << Scan.Out << Scan.Err;
  EXPECT_FALSE(fs::exists(FRoot / "scanned" / "image.flac"));
  EXPECT_TRUE(fs::exists(FRoot / "scanned" / "P - two.flac"));

  TRun Named =
      Convert("-f flac -o named " + Quote((FRoot / "src" / "album" / "image.wav").string()) + " " +
              Quote((FRoot / "src" / "album" / "image.cue").string()));
  EXPECT_EQ(Named.Status, 0) << Named.Out << Named.Err;
  EXPECT_FALSE(fs::exists(FRoot / "named" / "image.flac"));
  EXPECT_TRUE(fs::exists(FRoot / "named" / "P - one.flac"));
}

TEST_F(CliRun, AFifoNamedAsASourceIsRefusedAtOnce) {
  const fs::path Good = MakeWav("good.wav", 0.5);
  ASSERT_EQ(mkfifo((FRoot / "src" / "pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((FRoot / "src" / "pipe.cue").c_str(), 0600), 0);
  TRun Run = Convert("-f flac -o out " + Quote((FRoot / "src" / "pipe.wav").string()) + " " +
                     Quote((FRoot / "src" / "pipe.cue").string()) + " " + Quote(Good.string()));
  EXPECT_EQ(Run.Status, 1) << "the killed run of a hang has none";
  EXPECT_NE(Run.Err.find("pipe.wav: 不是普通文件"), std::string::npos) << Run.Err;
  EXPECT_NE(Run.Err.find("pipe.cue: 无法读取CUE文件"), std::string::npos) << Run.Err;
  EXPECT_TRUE(fs::exists(FRoot / "out" / "good.flac")) << "the sources after them are converted";
}

TEST_F(CliRun, SaveStoresTheDefaults) {
  const fs::path Source = MakeWav("a.wav", 0.5);
  const fs::path Out = FRoot / "saved";
  ASSERT_EQ(Convert("-f flac -q 7 --save -o " + Quote(Out.string()) + " " + Quote(Source.string()))
                .Status,
            0);
  const std::string Ini = ReadBytes(FRoot / "prog" / "EncodeConfig.ini");
  EXPECT_NE(Ini.find("DestPath=" + Out.string() + "/"), std::string::npos) << Ini;
  EXPECT_NE(Ini.find("Qulity=7"), std::string::npos) << Ini;
  TRun Listed = Convert("-f flac --list-qualities");
  EXPECT_NE(Listed.Out.find("7: Free Lossless Audio Codec，压缩级别7  *"), std::string::npos)
      << Listed.Out;
  // encode.log lists the converted target.
  EXPECT_TRUE(fs::exists(FRoot / "prog" / "encode.log"));
}

TEST_F(CliRun, CdDrivesAreListedRippedWithAReportAndEjected) {
  const morvotest::TCdImage Image = morvotest::MakeCdImage(
      FRoot / "src", "album", {{150, "歌手", "一"}, {160, "歌手", "二"}}, 71, "歌手", "专辑");
  const fs::path Gone = FRoot / "src" / "gone.cue";
  morvotest::TScopedEnv Drives("MORVO_CD_DRIVES", Image.Cue.string() + ":" + Gone.string());

  TRun Listed = Convert("--list-drives");
  ASSERT_EQ(Listed.Status, 0) << Listed.Err;
  EXPECT_NE(Listed.Out.find(Image.Cue.string() + "/\t2 tracks\t歌手 - 专辑\n"), std::string::npos)
      << Listed.Out;
  EXPECT_NE(Listed.Out.find(Gone.string() + "/\tnot ready\n"), std::string::npos) << Listed.Out;

  const fs::path Out = FRoot / "out";
  TRun Ripped = Convert("--cd --eject -f flac -o " + Quote(Out.string()));
  ASSERT_EQ(Ripped.Status, 0) << Ripped.Out << Ripped.Err;
  EXPECT_EQ(Probe(Out / "歌手 - 一.flac", "duration_ts"), std::to_string(150 * 588));
  EXPECT_EQ(Probe(Out / "歌手 - 二.flac", "duration_ts"), std::to_string(160 * 588));
  int Reports = 0;
  for (const auto& Entry : fs::directory_iterator(Out))
    Reports += Entry.path().filename().string().rfind("抓轨报告 album.cue ", 0) == 0;
  EXPECT_EQ(Reports, 1);
  EXPECT_NE(Ripped.Err.find("抓轨报告: " + Out.string() + "/抓轨报告 album.cue "),
            std::string::npos)
      << Ripped.Err;
  EXPECT_TRUE(fs::exists(Image.Bin)) << "ejecting an image leaves it be";

  EXPECT_EQ(Convert("--eject").Status, 0);
  morvotest::TScopedEnv NoDrives("MORVO_CD_DRIVES", Gone.string());
  TRun Nothing = Convert("--cd -f flac -o " + Quote(Out.string()));
  EXPECT_EQ(Nothing.Status, 1);
  EXPECT_NE(Nothing.Err.find("没有就绪的光驱"), std::string::npos) << Nothing.Err;
}

}  // namespace

namespace {

// Tags are on unless turned off; --no-tags with --save turns them off for
// later runs, and --tags turns them on again for one run.
TEST_F(CliRun, TagsTravelUnlessTurnedOffAndTheChoiceCanBeSaved) {
  const fs::path Source = FRoot / "src" / "tagged.wav";
  ASSERT_TRUE(RunCommand(
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=d=0.5 -ac 2 -metadata title=Song " +
      Quote(Source.string())));
  const auto TitleOf = [this](const std::string& Folder) {
    const fs::path Target = FRoot / Folder / "tagged.flac";
    EXPECT_TRUE(fs::exists(Target)) << Folder;
    return RunTool("ffprobe -v error -show_entries format_tags=title -of default=nw=1:nk=1 " +
                   Quote(Target.string()))
        .Output;
  };
  const auto Run = [this, &Source](const std::string& Folder, const std::string& Flags) {
    return Convert("-f flac " + Flags + " -o " + Folder + " " + Quote(Source.string())).Status;
  };
  ASSERT_EQ(Run("on", ""), 0);
  EXPECT_EQ(TitleOf("on"), "Song\n");
  ASSERT_EQ(Run("off", "--no-tags --save"), 0);
  EXPECT_EQ(TitleOf("off"), "");
  EXPECT_NE(ReadBytes(FRoot / "prog" / "EncodeConfig.ini").find("WriteTags=0"), std::string::npos);
  ASSERT_EQ(Run("saved", ""), 0);
  EXPECT_EQ(TitleOf("saved"), "") << "the saved choice holds";
  ASSERT_EQ(Run("once", "--tags"), 0);
  EXPECT_EQ(TitleOf("once"), "Song\n");
  EXPECT_NE(Convert("--tags --no-tags -f flac -o x " + Quote(Source.string())).Status, 0);
}

}  // namespace
