// morvo-encoder started as the player starts it: real processes, one
// window program running and further starts handing their sources over.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/uChildProcess.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace fs = std::filesystem;

namespace {

using morvotest::StartTimeoutMs;
using TProcess = morvotest::TChildProcess;

class EncoderProcess : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(FDir.Path() / "prog");
    fs::create_directories(FDir.Path() / "music");
  }

  std::vector<std::pair<std::string, std::string>> Env() const {
    return {{"QT_QPA_PLATFORM", "offscreen"},
            {"MORVO_PROGRAM_DIR", (FDir.Path() / "prog").string()},
            {"MORVO_SHM_NAMESPACE", "encoder" + std::to_string(getpid()) + "_" + FName},
            {"XDG_RUNTIME_DIR", FDir.Path().string()}};
  }
  // The probe prints what the window does; the plain program is what the
  // player starts.
  std::unique_ptr<TProcess> Probe(const std::vector<std::string>& Args = {}) {
    return std::make_unique<TProcess>(std::string(MORVO_BIN_DIR) + "/morvo_encoder_probe", Args,
                                      Env());
  }
  std::unique_ptr<TProcess> Encoder(const std::vector<std::string>& Args) {
    return std::make_unique<TProcess>(std::string(MORVO_BIN_DIR) + "/morvo-encoder", Args, Env());
  }

  fs::path MakeWav(const std::string& Name, double Seconds = 1) {
    const fs::path File = FDir.Path() / "music" / fs::u8path(Name);
    EXPECT_TRUE(morvotest::RunCommand(
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=" + std::to_string(Seconds) +
        " -ac 2 -ar 44100 " + morvotest::Quote(File)));
    return File;
  }
  fs::path MakeAlbum() {
    MakeWav("专辑.wav", 3);
    const fs::path Cue = FDir.Path() / "music" / "专辑.cue";
    std::ofstream(Cue)
        << "FILE \"专辑.wav\" WAVE\n"
           "  TRACK 01 AUDIO\n    TITLE \"一\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"二\"\n    PERFORMER \"乐队\"\n    INDEX 01 00:01:00\n";
    return Cue;
  }

  // A hand-over brings the window forward twice: when its sources were
  // added, and on the second start's own request afterwards.
  static std::vector<std::string> HandOverLines(TProcess& First) {
    std::vector<std::string> Lines = First.LinesUntil("RESTORED");
    const std::vector<std::string> More = First.LinesUntil("RESTORED");
    Lines.insert(Lines.end(), More.begin(), More.end());
    return Lines;
  }

  static std::vector<std::string> Rows(const std::vector<std::string>& Lines) {
    std::vector<std::string> Found;
    for (const std::string& Line : Lines)
      if (Line.rfind("ROW\t", 0) == 0) Found.push_back(Line.substr(4));
    return Found;
  }

  morvotest::TTempDir FDir;
  const std::string FName = ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

}  // namespace

TEST_F(EncoderProcess, SecondStartsHandTheirSourcesOverAndEnd) {
  const fs::path Wav = MakeWav("歌.wav");
  const fs::path Cue = MakeAlbum();
  auto First = Probe();
  ASSERT_FALSE(First->LinesUntil("READY").empty());

  auto Second = Encoder({"/EncodeConvert", Wav.string()});
  EXPECT_EQ(Second->Wait(), 0);
  EXPECT_EQ(Rows(HandOverLines(*First)), std::vector<std::string>{"歌.mp3"});

  // The switch in any case; a cue sheet gives one row per track.
  auto Third = Encoder({"/encodeconvert", Cue.string(), "ignored"});
  EXPECT_EQ(Third->Wait(), 0);
  EXPECT_EQ(Rows(HandOverLines(*First)),
            (std::vector<std::string>{"乐队 - 一.mp3", "乐队 - 二.mp3"}));

  // Ended as a session ends it: closed like its close box, settings written.
  First->Signal(SIGTERM);
  EXPECT_EQ(First->Wait(), 0);
  const std::string Config = morvotest::ReadBytes(FDir.Path() / "prog" / "EncodeConfig.ini");
  EXPECT_NE(Config.find("DestPath="), std::string::npos) << Config;
  EXPECT_NE(Config.find("TipShow=0"), std::string::npos) << Config;
}

TEST_F(EncoderProcess, AMappingLeftByAKilledInstanceIsTakenOver) {
  auto Dead = Probe();
  ASSERT_FALSE(Dead->LinesUntil("READY").empty());
  Dead->Signal(SIGKILL);
  EXPECT_EQ(Dead->Wait(), -1);

  const fs::path Wav = MakeWav("a.wav");
  auto Next = Probe({"/EncodeConvert", Wav.string()});
  const std::vector<std::string> Start = Next->LinesUntil("READY");
  EXPECT_EQ(Rows(Start), std::vector<std::string>{"a.mp3"});  // it became the first instance
  auto Second = Encoder({"/EncodeConvert", MakeWav("b.wav").string()});
  EXPECT_EQ(Second->Wait(), 0);
  EXPECT_EQ(Rows(HandOverLines(*Next)), std::vector<std::string>{"b.mp3"});
  Next->Signal(SIGTERM);
  EXPECT_EQ(Next->Wait(), 0);
}

TEST_F(EncoderProcess, StartsWithoutASwitchedPathOnlyBringTheWindowForward) {
  const fs::path Wav = MakeWav("a.wav");
  // "/EncodeConvert" without a path: a plain start.
  auto First = Probe({"/EncodeConvert"});
  EXPECT_TRUE(Rows(First->LinesUntil("READY")).empty());
  for (const std::vector<std::string>& Args :
       {std::vector<std::string>{"/EncodeConvert"}, {Wav.string()}, {}}) {
    auto Again = Encoder(Args);
    EXPECT_EQ(Again->Wait(), 0);
    EXPECT_TRUE(Rows(First->LinesUntil("RESTORED")).empty()) << ::testing::PrintToString(Args);
  }
  First->Signal(SIGTERM);
  EXPECT_EQ(First->Wait(), 0);

  // A path without the switch is ignored by a first start too.
  auto Plain = Probe({Wav.string()});
  EXPECT_TRUE(Rows(Plain->LinesUntil("READY")).empty());
  Plain->Signal(SIGTERM);
  EXPECT_EQ(Plain->Wait(), 0);
}

TEST_F(EncoderProcess, APathTooLongToHandOverIsRefusedWithAMessage) {
  auto First = Probe();
  ASSERT_FALSE(First->LinesUntil("READY").empty());
  const std::string Long = (FDir.Path() / std::string(300, 'x')).string() + ".wav";
  auto Second = Probe({"/EncodeConvert", Long});
  EXPECT_EQ(Second->Wait(), 0);
  ASSERT_EQ(Second->Lines().size(), 1u);
  EXPECT_EQ(Second->Lines()[0],
            "BOX\t提示\t文件路径超过255个字符，无法交给正在运行的格式转换工具：  " + Long);
  // Nothing was cut and handed over; the running window only comes forward.
  EXPECT_TRUE(Rows(First->LinesUntil("RESTORED")).empty());
  First->Signal(SIGTERM);
  EXPECT_EQ(First->Wait(), 0);
}
