// morvo-encoder on a real X display (a private Xvfb) driven by real input
// events (xdotool's synthetic pointer through XTEST), as a user drives it:
// a cue sheet handed over by a second start, FLAC chosen, "转换文件"
// pressed, "退出" pressed. The targets are compared with the image's PCM
// cut at the sheet's CD frames, byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/uCdImage.h"
#include "tests/support/uChildProcess.h"
#include "tests/support/uCueTestFiles.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"
#include "tests/support/uUtf16.h"

namespace fs = std::filesystem;
using morvotest::TChildProcess;

namespace {

constexpr size_t FrameBytes = 588 * 4;  // one CD frame of 16-bit stereo

// Points in the window, from its layout at its first size: a radio button
// sits in its group box, the buttons on the form.
constexpr int FlacRadioX = 8 + 212 + 8, FlacRadioY = 324 + 24 + 10;
constexpr int StartButtonX = 346 + 50, StartButtonY = 513 + 17;
constexpr int QuitButtonX = 452 + 41, QuitButtonY = 513 + 17;

std::string ToolPath(const std::string& Name) {
  std::string Out = morvotest::RunTool("command -v " + Name).Output;
  Out.erase(std::find(Out.begin(), Out.end(), '\n'), Out.end());
  return Out;
}

std::string FirstLine(const std::string& Text) { return Text.substr(0, Text.find('\n')); }

void Pause(int Ms) { std::this_thread::sleep_for(std::chrono::milliseconds(Ms)); }

// A private X server; its display number is the one it chose and printed.
class TXServer {
public:
  explicit TXServer(const std::string& Program)
      : FServer(Program, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "800x640x24"},
                {}) {
    if (std::optional<std::string> Number = FServer.ReadLine(20000)) FDisplay = ":" + *Number;
  }
  ~TXServer() {
    FServer.Signal(SIGTERM);  // so that it takes its lock file and socket along
    FServer.Wait(5000);
  }
  const std::string& Display() const { return FDisplay; }

  // xdotool on this display; its output.
  morvotest::TCommandResult Xdotool(const std::string& Args) const {
    return morvotest::RunTool("DISPLAY=" + FDisplay + " xdotool " + Args);
  }
  void Click(const std::string& Window, int X, int Y) const {
    const morvotest::TCommandResult Result =
        Xdotool("mousemove --window " + Window + " " + std::to_string(X) + " " + std::to_string(Y) +
                " sleep 0.2 click 1");
    EXPECT_EQ(Result.ExitCode, 0) << Result.Output;
  }
  // The visible top-level window of process Pid titled Title; empty when
  // none came within Ms.
  std::string WaitForWindow(int Pid, const std::string& Title, int Ms) const {
    for (int Waited = 0; Waited < Ms; Waited += 100) {
      const std::string Found =
          FirstLine(Xdotool("search --all --onlyvisible --pid " + std::to_string(Pid) + " --name " +
                            morvotest::Quote(Title))
                        .Output);
      if (!Found.empty() && Found.find_first_not_of("0123456789") == std::string::npos)
        return Found;
      Pause(100);
    }
    return {};
  }

private:
  TChildProcess FServer;
  std::string FDisplay;
};

struct TCueTrack {
  std::string Title;
  size_t Frame;  // where it starts in the image
};

class EncoderDesktop : public ::testing::Test {
protected:
  void SetUp() override {
    FXvfb = ToolPath("Xvfb");
    if (FXvfb.empty() || ToolPath("xdotool").empty())
      GTEST_SKIP() << "needs Xvfb and xdotool (Debian xvfb, xdotool)";
    for (const char* Name : {"prog", "music", "out"})
      fs::create_directories(FDir.Path() / Name);
  }

  fs::path Out() const { return FDir.Path() / "out"; }

  std::vector<std::pair<std::string, std::string>> Env(const std::string& Display) const {
    return {{"DISPLAY", Display},
            {"QT_QPA_PLATFORM", "xcb"},
            {"MORVO_PROGRAM_DIR", (FDir.Path() / "prog").string()},
            {"MORVO_SHM_NAMESPACE", "desktop" + std::to_string(getpid())},
            {"XDG_RUNTIME_DIR", FDir.Path().string()}};
  }
  std::unique_ptr<TChildProcess> Encoder(const std::string& Display,
                                         const std::vector<std::string>& Args) const {
    return std::make_unique<TChildProcess>(std::string(MORVO_BIN_DIR) + "/morvo-encoder", Args,
                                           Env(Display));
  }

  // The noise image and its sheet, its tracks cut at the given frames.
  fs::path MakeAlbum(const std::vector<TCueTrack>& Tracks, double Seconds) {
    cuetest::MakeNoiseWav(FDir.Path() / "music" / "专辑.wav", Seconds);
    const fs::path Cue = FDir.Path() / "music" / "专辑.cue";
    std::ofstream Sheet(Cue);
    Sheet << "FILE \"专辑.wav\" WAVE\n";
    for (size_t I = 0; I < Tracks.size(); ++I)
      Sheet << "  TRACK 0" << I + 1 << " AUDIO\n    TITLE \"" << Tracks[I].Title
            << "\"\n    PERFORMER \"乐队\"\n    INDEX 01 " << morvotest::CueTime(Tracks[I].Frame)
            << "\n";
    return Cue;
  }

  // The targets' final names are there and no temporary file is left.
  bool TargetsComplete(const std::vector<fs::path>& Targets) const {
    const auto Entries = std::distance(fs::directory_iterator(Out()), fs::directory_iterator());
    return Entries == static_cast<long>(Targets.size()) &&
           std::all_of(Targets.begin(), Targets.end(),
                       [](const fs::path& Target) { return fs::exists(Target); });
  }

  std::string Listing() const {
    std::string Names;
    for (const auto& Entry : fs::directory_iterator(Out()))
      Names += Entry.path().filename().string() + " ";
    return Names;
  }

  static std::string DecodeFlac(const fs::path& File) {
    const fs::path Raw = fs::path(File.string() + ".raw");
    EXPECT_TRUE(
        morvotest::RunCommand("flac -d -s -f --force-raw-format --endian=little --sign=signed -o " +
                              morvotest::Quote(Raw) + " " + morvotest::Quote(File)));
    std::string Pcm = morvotest::ReadBytes(Raw);
    fs::remove(Raw);
    return Pcm;
  }

  morvotest::TTempDir FDir;
  std::string FXvfb;
};

}  // namespace

TEST_F(EncoderDesktop, AHandedOverSheetIsConvertedAndTheProgramQuitsByRealClicks) {
  const std::vector<TCueTrack> Tracks = {{"一", 0}, {"二", 92}, {"三", 163}};
  const fs::path Cue = MakeAlbum(Tracks, 3.0);
  std::ofstream(FDir.Path() / "prog" / "EncodeConfig.ini")
      << "[General]\nDestPath=" << Out().string() << "/\n";

  TXServer X(FXvfb);
  ASSERT_FALSE(X.Display().empty()) << "Xvfb did not start";
  auto First = Encoder(X.Display(), {});
  const std::string Window = X.WaitForWindow(First->Pid(), "格式转换工具", 30000);
  ASSERT_FALSE(Window.empty()) << "no window appeared";

  // The second start hands the sheet over and waits until it was added.
  auto Second = Encoder(X.Display(), {"/EncodeConvert", Cue.string()});
  ASSERT_EQ(Second->Wait(), 0);

  X.Click(Window, FlacRadioX, FlacRadioY);
  X.Click(Window, StartButtonX, StartButtonY);
  std::vector<fs::path> Targets;
  for (const TCueTrack& Track : Tracks)
    Targets.push_back(Out() / fs::u8path("乐队 - " + Track.Title + ".flac"));
  for (int Waited = 0; Waited < 30000 && !TargetsComplete(Targets); Waited += 100)
    Pause(100);
  ASSERT_TRUE(TargetsComplete(Targets)) << "the out folder holds: " << Listing();

  // The run ends on the window's thread right after the last target is
  // renamed; a quit that still meets it running is asked about, and that
  // question is answered "no" and the quit tried again.
  Pause(500);
  for (int Try = 0; Try < 10; ++Try) {
    X.Click(Window, QuitButtonX, QuitButtonY);
    const std::string Question = X.WaitForWindow(First->Pid(), "退出提示", 1000);
    if (Question.empty()) break;
    X.Xdotool("key --window " + Question + " Escape");
    Pause(1000);
  }
  EXPECT_EQ(First->Wait(20000), 0);

  // Quitting saved the settings and the run's converted list.
  const std::string Config = morvotest::ReadBytes(FDir.Path() / "prog" / "EncodeConfig.ini");
  EXPECT_NE(Config.find("DestPath=" + Out().string() + "/"), std::string::npos) << Config;
  EXPECT_NE(Config.find("TipShow="), std::string::npos) << Config;
  const std::u16string Converted =
      morvotest::Utf16LeText(morvotest::ReadBytes(FDir.Path() / "prog" / "encode.log"));
  for (const fs::path& Target : Targets)
    EXPECT_NE(Converted.find(Target.u16string()), std::u16string::npos) << Target;

  const std::string Image =
      morvotest::WavData(morvotest::ReadBytes(FDir.Path() / "music" / "专辑.wav"));
  for (size_t I = 0; I < Tracks.size(); ++I) {
    const size_t Begin = Tracks[I].Frame * FrameBytes;
    const size_t End = I + 1 < Tracks.size() ? Tracks[I + 1].Frame * FrameBytes : Image.size();
    const std::string Pcm = DecodeFlac(Targets[I]);
    EXPECT_EQ(Pcm.size(), End - Begin) << Targets[I];
    EXPECT_TRUE(Pcm == Image.substr(Begin, End - Begin)) << Targets[I] << " differs from the image";
  }
}
