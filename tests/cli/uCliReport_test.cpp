// The report's texts: the total rule, bars, JSON escaping, line layout.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/uCliOptions.h"
#include "cli/uCliReport.h"

TEST(CliReport, TotalTextFollowsTheWindowsRule) {
  EXPECT_EQ(TCliReport::TotalText(3, 10), "3/10");
  EXPECT_EQ(TCliReport::TotalText(42, 100), "42%");
  EXPECT_EQ(TCliReport::Bar(50, 10), "[#####-----]");
  EXPECT_EQ(TCliReport::Bar(150, 4), "[####]");
  EXPECT_EQ(TCliReport::Bar(-3, 4), "[----]");
}

TEST(CliReport, JsonEscapesPathsAndTellsTheResult) {
  TFinishedTask Task{u"/m/a \"b\".wav", u"/o/a\\b.mp3",      TTaskOutcome::Failed, 6,
                     u"读取文件失败",   u"Permission denied"};
  EXPECT_EQ(TCliReport::JsonLine(Task),
            "{\"source\":\"/m/a "
            "\\\"b\\\".wav\",\"target\":\"/o/a\\\\b.mp3\",\"state\":\"failed\",\"result\":6,"
            "\"text\":\"读取文件失败\",\"detail\":\"Permission denied\","
            "\"seconds\":null,\"source_bytes\":null,\"target_bytes\":null}");
  Task.Detail.clear();
  EXPECT_EQ(TCliReport::JsonLine(Task).find("detail"), std::string::npos) << "no empty detail";
}

TEST(CliReport, EveryOutcomeHasItsStateAndText) {
  const struct {
    TTaskOutcome Outcome;
    int32_t Result;
    const char* Json;
    const char* Line;
  } Cases[] = {
      {TTaskOutcome::Done, 12, "\"state\":\"done\",\"result\":12,\"text\":\"完成\"", "完成"},
      {TTaskOutcome::Failed, 11, "\"state\":\"failed\",\"result\":11,\"text\":\"T\"", "失败(T)"},
      {TTaskOutcome::Stopped, 11, "\"state\":\"stopped\",\"result\":11,\"text\":\"T\"", "失败(T)"},
      {TTaskOutcome::Waiting, 13, "\"state\":\"waiting\",\"result\":13,\"text\":\"等待\"", "等待"},
  };
  for (const auto& Case : Cases) {
    const TFinishedTask Task{u"/s", u"/t", Case.Outcome, Case.Result, u"T", u""};
    EXPECT_NE(TCliReport::JsonLine(Task).find(Case.Json), std::string::npos)
        << TCliReport::JsonLine(Task);
    std::ostringstream Out, Err;
    TCliReport Report(Out, Err, false, false, 80);
    Report.Finished(1, Task);
    EXPECT_EQ(Out.str(), std::string("/s -> /t: ") + Case.Line + "\n");
  }
}

TEST(CliReport, PlainLinesNameSourceTargetAndVerdict) {
  std::ostringstream Out, Err;
  TCliReport Report(Out, Err, false, false, 80);
  Report.Progress(1, u"a.mp3", 40);
  Report.Finished(1, {u"/s/a.wav", u"/t/a.mp3", TTaskOutcome::Done, 12, u"", u""});
  Report.Finished(2, {u"/s/b.wav", u"/t/b.mp3", TTaskOutcome::Failed, 3, u"不支持音质低转高",
                      u"source 128 kbps"});
  Report.Summary(u"1个文件转换失败,1个文件转换成功");
  EXPECT_EQ(
      Out.str(),
      "/s/a.wav -> /t/a.mp3: 完成\n/s/b.wav -> /t/b.mp3: 失败(不支持音质低转高): source 128 kbps\n"
      "1个文件转换失败,1个文件转换成功\n");
  EXPECT_EQ(Err.str(), "") << "no live lines without a terminal";
}

// A reason from below follows the result text of a failure; a note (a
// source that could not go to the trash) follows that of a success.
TEST(CliReport, TheDetailFollowsTheResultTextWhenThereIsOne) {
  TFinishedTask Failed{u"/s/a.mid", u"/t/a.mp3",     TTaskOutcome::Failed,
                       6,           u"读取文件失败", u"no SoundFont \"x\""};
  EXPECT_EQ(TCliReport::JsonLine(Failed),
            "{\"source\":\"/s/a.mid\",\"target\":\"/t/a.mp3\",\"state\":\"failed\",\"result\":6,"
            "\"text\":\"读取文件失败\",\"detail\":\"no SoundFont \\\"x\\\"\","
            "\"seconds\":null,\"source_bytes\":null,\"target_bytes\":null}");
  TFinishedTask Done{u"/s/b.wav", u"/t/b.mp3", TTaskOutcome::Done,
                     12,          u"",         u"源文件未能移到回收站: x"};
  EXPECT_NE(
      TCliReport::JsonLine(Done).find("\"text\":\"完成\",\"detail\":\"源文件未能移到回收站: x\""),
      std::string::npos);
  std::ostringstream Out, Err;
  TCliReport Report(Out, Err, false, false, 80);
  Report.Finished(1, Failed);
  Report.Finished(2, Done);
  EXPECT_EQ(Out.str(), "/s/a.mid -> /t/a.mp3: 失败(读取文件失败): no SoundFont \"x\"\n"
                       "/s/b.wav -> /t/b.mp3: 完成: 源文件未能移到回收站: x\n");
}

TEST(CliReport, LiveLinesAreRedrawnInPlaceOnTheErrorStream) {
  std::ostringstream Out, Err;
  TCliReport Report(Out, Err, true, false, 40);
  Report.Totals(0, 2);
  Report.Progress(7, u"一首很长很长很长很长很长很长的歌曲名字.flac", 50);
  const std::string Drawn = Err.str();
  EXPECT_NE(Drawn.find("[##########----------] 50% "), std::string::npos);
  EXPECT_NE(Drawn.find("0/2"), std::string::npos);
  Report.Finished(7, {u"/s/x.wav", u"/t/x.flac", TTaskOutcome::Done, 12, u"", u""});
  EXPECT_NE(Err.str().find("\x1b[2A"), std::string::npos) << "the two live lines are cleared";
  EXPECT_EQ(Out.str(), "/s/x.wav -> /t/x.flac: 完成\n");
}

TEST(CliOptions, ParsesNamesIntoTheWindowsValues) {
  const char* Argv[] = {"morvo-convert",
                        "-f",
                        "MP3",
                        "-e",
                        "overwrite",
                        "-p",
                        "background",
                        "--mp3-mode",
                        "abr",
                        "--mp3-channels",
                        "joint",
                        "-q",
                        "5",
                        "--ape-level",
                        "3",
                        "a.wav",
                        "dir"};
  const TCliParseResult R = ParseCliOptions(17, Argv);
  ASSERT_TRUE(R.Run) << R.Message;
  EXPECT_EQ(R.Options.Format, "mp3");
  EXPECT_EQ(R.Options.ExistPolicy, 2);
  EXPECT_EQ(R.Options.Priority, 1);
  EXPECT_EQ(R.Options.Mp3BitRateMode, 1);
  EXPECT_EQ(R.Options.Mp3ChannelMode, 1);
  EXPECT_EQ(R.Options.Quality, 5);
  EXPECT_EQ(R.Options.ApeLevel, 3);
  EXPECT_EQ(R.Options.Sources.size(), 2u);
}

TEST(CliReport, LinesWaitWhileAQuestionIsOnTheTerminal) {
  std::ostringstream Out, Err;
  TCliReport Report(Out, Err, true, false, 80);
  Report.Suspend();
  Report.Finished(1, {u"/s/a.wav", u"/t/a.mp3", TTaskOutcome::Done, 12, u"", u""});
  Report.Notice(u"跳过 x");
  EXPECT_EQ(Out.str(), "");
  Report.Resume();
  EXPECT_EQ(Out.str(), "/s/a.wav -> /t/a.mp3: 完成\n");
  EXPECT_NE(Err.str().find("跳过 x\n"), std::string::npos);
}

TEST(CliOptions, AFolderNamedLikeATargetFileGetsAWarningButStillRuns) {
  const auto Parse = [](const char* Output) {
    const char* Argv[] = {"morvo-convert", "-o", Output, "a.wav"};
    return ParseCliOptions(4, Argv);
  };
  const TCliParseResult File = Parse("songs/Out.MP3");
  EXPECT_TRUE(File.Run);
  EXPECT_NE(File.Warning.find("\"songs/Out.MP3\" is taken as a folder"), std::string::npos);
  EXPECT_EQ(Parse("songs.flac/").Warning, "");
  EXPECT_EQ(Parse("v1.2/out").Warning, "");
  EXPECT_EQ(Parse("out.flac.d").Warning, "");
}

TEST(CliOptions, ShortVersionAndQuiet) {
  const char* Version[] = {"morvo-convert", "-V"};
  const TCliParseResult V = ParseCliOptions(2, Version);
  EXPECT_FALSE(V.Run);
  EXPECT_EQ(V.ExitCode, 0);
  EXPECT_EQ(V.Message.rfind("morvo-convert ", 0), 0u);
  const char* Quiet[] = {"morvo-convert", "--quiet", "a.wav"};
  EXPECT_TRUE(ParseCliOptions(3, Quiet).Options.Quiet);
}
