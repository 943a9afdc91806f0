// Running conversions from the window as a user does: the start button's
// checks, real runs with the real engine, stop, the existing-target
// question, and the player's commands.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <memory>

#include "app/forms/uFileListModel.h"
#include "app/forms/uFileListPaint.h"
#include "app/forms/uFileListView.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "platform/qt/uQtText.h"
#include "platform/uCodePage.h"
#include "tests/app/forms/uFormsTestKit.h"
#include "tests/app/uCdOracle.h"
#include "tests/support/uCdImage.h"
#include "tests/support/uCueTestFiles.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace fs = std::filesystem;

namespace {

class MainRun : public formstest::TFormTest {
protected:
  fs::path Out() const { return FDir.Path() / "out"; }
  QString OutText() const { return QString::fromStdString(Out().string()); }

  // Real audio: Seconds of noise as a 16-bit stereo WAV in the source folder.
  std::u16string NoiseWav(const std::string& Name, double Seconds) {
    const fs::path File = FDir.Path() / "src" / Name;
    fs::create_directories(File.parent_path());
    cuetest::MakeNoiseWav(File, Seconds);
    return platform::PathToWide(File.string());
  }

  void WaitForRunEnd() {
    for (int I = 0; I < 12000 && Form().Manager()->IsRunning(); ++I)
      QTest::qWait(10);
    ASSERT_FALSE(Form().Manager()->IsRunning());
  }

  TTaskItem* Task(int Row) { return Form().Manager()->GetTask(Row); }
  std::u16string LastBoxText() { return FAnswerer->Seen().back()->Text(); }
};

bool IsFlac(const fs::path& File) { return morvotest::ReadBytes(File).rfind("fLaC", 0) == 0; }

TEST_F(MainRun, StartWantsPendingTasksAndAUsableFolderAndResetsTheTasksFirst) {
  TfrmMain& F = Form();
  F.btnStart->click();
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(LastBoxText(), u"没有需要转换的任务，请添加后重试。  ");
  EXPECT_EQ(FAnswerer->Seen()[0]->Caption(), u"开始转换提示");
  EXPECT_FALSE(F.Manager()->IsRunning());

  AddFiles({"a.wav", "b.wav"});
  SetState(0, tsDone);
  const std::u16string Before = F.Manager()->DestPath();
  // A relative folder lies on no drive at all.
  F.edtPath->setText(QStringLiteral(" relative/out// "));
  F.btnStart->click();
  ASSERT_EQ(FAnswerer->Seen().size(), 2u);
  EXPECT_EQ(LastBoxText(), u"\" relative/out/ \"为无效路径");
  EXPECT_EQ(FAnswerer->Seen()[1]->Caption(), u"路径修改");
  EXPECT_EQ(Task(0)->FState, tsWaiting) << "the tasks are reset before the folder is checked";
  EXPECT_EQ(F.edtPath->text(), platform::qt::ToQString(Before));
  EXPECT_EQ(F.edtPath->selectedText(), F.edtPath->text());
  EXPECT_FALSE(F.Manager()->IsRunning());

  // An empty text names no folder (it would otherwise become the root).
  F.edtPath->setText(QStringLiteral("   "));
  F.btnStart->click();
  EXPECT_EQ(LastBoxText(), u"\"  \"为无效路径");
  EXPECT_EQ(F.Manager()->DestPath(), Before);

  // A folder that cannot be made: a file stands where a parent should be.
  morvotest::WriteBytes(FDir.Path() / "blocker", "x");
  const std::string Blocked = (FDir.Path() / "blocker" / "out").string();
  F.edtPath->setText(QString::fromStdString(Blocked));
  F.btnStart->click();
  ASSERT_EQ(FAnswerer->Seen().size(), 4u);
  EXPECT_EQ(LastBoxText(), u"无法创建\" " + platform::PathToWide(Blocked) + u"/ \"");
  EXPECT_EQ(F.Manager()->DestPath(), Before);
  EXPECT_FALSE(F.Manager()->IsRunning());
}

// Two real sources and one that only looks like a WAV: the run ends with
// the summary, the folder text becomes the task manager's, and the targets
// are real FLAC files (flac's own test decodes them).
TEST_F(MainRun, ARealRunEndsWithTheSummaryOfFailuresAndSuccesses) {
  TfrmMain& F = Form();
  const std::vector<std::u16string> Sources = {NoiseWav("一.wav", 1.0), NoiseWav("b.wav", 0.5)};
  F.AddSources(Sources, 0);
  AddFiles({"broken.wav"});
  F.rbFlac->click();
  F.edtPath->setText(OutText());
  F.btnStart->click();
  EXPECT_TRUE(FAnswerer->Seen().empty());
  EXPECT_EQ(F.Manager()->DestPath(), platform::PathToWide(Out().string() + "/"));
  EXPECT_EQ(F.edtPath->text(), OutText() + QLatin1Char('/'));
  WaitForRunEnd();
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("1个文件转换失败,2个文件转换成功"));
  EXPECT_TRUE(F.lblTitle->isVisible());
  EXPECT_TRUE(F.btnDeleteComplete->isVisible());
  EXPECT_EQ(F.btnStart->text(), QStringLiteral("开始转换"));
  for (const char* Name : {"一.flac", "b.flac"}) {
    const fs::path Target = Out() / fs::u8path(Name);
    EXPECT_TRUE(IsFlac(Target)) << Target;
    EXPECT_TRUE(morvotest::RunCommand("flac -t -s " + morvotest::Quote(Target))) << Target;
  }
  EXPECT_FALSE(fs::exists(Out() / "broken.flac"));
}

TEST_F(MainRun, StopEndsTheConvertingTasksAsAbortedAndCountsThemNowhere) {
  TfrmMain& F = Form();
  F.AddSources({NoiseWav("long.wav", 60.0), NoiseWav("long2.wav", 60.0)}, 0);
  F.edtPath->setText(OutText());
  F.btnStart->click();
  ASSERT_TRUE(F.Manager()->IsRunning());
  EXPECT_TRUE(F.btnStop->isVisible());
  for (int I = 0; I < 3000 && Task(0)->FState != tsConverting; ++I)
    QTest::qWait(5);
  ASSERT_EQ(Task(0)->FState, tsConverting);
  F.btnStop->click();
  EXPECT_FALSE(F.btnStop->isVisible());
  WaitForRunEnd();
  // The run ends at once; the worker ends its task when it next looks.
  for (int I = 0; I < 3000 && Task(0)->FState == tsConverting; ++I)
    QTest::qWait(5);
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("0个文件转换失败,0个文件转换成功"));
  EXPECT_EQ(Task(0)->FState, tsFailed);
  const TStatusCell Cell = StatusCellOf(*Task(0), false);
  EXPECT_EQ(Cell.Text, QStringLiteral("转换中止"));
  EXPECT_EQ(Cell.Color, QColor(Qt::blue));
  EXPECT_FALSE(F.btnDeleteComplete->isVisible());
  EXPECT_FALSE(fs::exists(Out() / "long.mp3")) << "a stopped target is not left half written";
}

TEST_F(MainRun, AnExistingTargetIsReplacedOnYesAndKeptOnNo) {
  TfrmMain& F = Form();
  F.AddSources({NoiseWav("a.wav", 0.5)}, 0);
  F.rbFlac->click();
  fs::create_directories(Out());
  morvotest::WriteBytes(Out() / "a.flac", "old");
  F.edtPath->setText(OutText());

  FAnswerer->Push(platform::IDYES);
  F.btnStart->click();
  WaitForRunEnd();
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_NE(LastBoxText().find(u"文件已经存在，覆盖吗?"), std::u16string::npos);
  EXPECT_TRUE(IsFlac(Out() / "a.flac"));
  EXPECT_EQ(F.lblTitle->text(), QStringLiteral("0个文件转换失败,1个文件转换成功"));

  morvotest::WriteBytes(Out() / "a.flac", "old");
  FAnswerer->Push(platform::IDNO);
  F.btnStart->click();  // a finished run starts again from waiting
  WaitForRunEnd();
  ASSERT_EQ(FAnswerer->Seen().size(), 2u);
  EXPECT_EQ(morvotest::ReadBytes(Out() / "a.flac"), "old");
  EXPECT_EQ(Task(0)->FState, tsFailed);
  EXPECT_EQ(Task(0)->FResult, rcExistsUserAbort);
}

// ---------------------------------------------------------------------------
// The rip report of a run that read CD tracks (a disc image as the drive).

class MainCdRip : public MainRun {
protected:
  std::vector<fs::path> Reports() const {
    std::vector<fs::path> Found;
    if (!fs::exists(Out())) return Found;
    for (const auto& Entry : fs::directory_iterator(Out()))
      if (Entry.path().filename().string().rfind("抓轨报告", 0) == 0) Found.push_back(Entry.path());
    return Found;
  }
  std::vector<fs::path> WaitForReports() {
    for (int I = 0; I < 6000 && Reports().empty(); ++I)
      QTest::qWait(10);
    QTest::qWait(100);  // a second report would come in the same turn
    return Reports();
  }
  TfrmMain& ReadDisc(const morvotest::TCdImage& Image) {
    FDrives = std::make_unique<morvotest::TScopedEnv>("MORVO_CD_DRIVES", Image.Cue.string());
    TfrmMain& F = Form();
    F.mmReadCD->trigger();
    EXPECT_EQ(F.Manager()->TaskCount(), static_cast<int>(Image.TrackPcm.size()));
    F.edtPath->setText(OutText());
    return F;
  }
  static std::string Number(size_t Index) {
    char Text[24];
    std::snprintf(Text, sizeof Text, "%02zu", Index + 1);
    return Text;
  }

  std::unique_ptr<morvotest::TScopedEnv> FDrives;
};

TEST_F(MainCdRip, ACdRunLeavesOneReportBesideTheTargetsWithEachTracksChecksums) {
  const morvotest::TCdImage Image =
      morvotest::MakeCdImage(FDir.Path(), "disc", morvotest::PlainTracks({150, 88, 163}), 23);
  TfrmMain& F = ReadDisc(Image);
  F.rbwav->click();
  F.btnStart->click();
  WaitForRunEnd();
  const std::vector<fs::path> Found = WaitForReports();
  ASSERT_EQ(Found.size(), 1u);
  const auto Lines = cdoracle::TrackLines(morvotest::ReadBytes(Found[0]));
  ASSERT_EQ(Lines.size(), Image.TrackPcm.size());
  for (size_t I = 0; I < Image.TrackPcm.size(); ++I) {
    const std::vector<uint8_t>& Pcm = Image.TrackPcm[I];
    const cdoracle::TReportLine& Line = Lines.at(Number(I));
    const cdoracle::TAccurateRip Sums =
        cdoracle::AccurateRipOf(Pcm, I == 0, I + 1 == Image.TrackPcm.size());
    EXPECT_EQ(Line.Crc32, cdoracle::Hex(cdoracle::BitwiseCrc32(Pcm))) << I;
    EXPECT_EQ(Line.V1, cdoracle::Hex(Sums.V1)) << I;
    EXPECT_EQ(Line.V2, cdoracle::Hex(Sums.V2)) << I;
    const std::string Target = "Track" + Number(I) + ".wav";
    EXPECT_EQ(Line.Status, "ok, " + Target);
    EXPECT_TRUE(morvotest::WavData(morvotest::ReadBytes(Out() / Target)) ==
                std::string(Pcm.begin(), Pcm.end()))
        << Target;
  }
}

// Stop ends the run at once, but the worker ends its track later: the report
// waits for it and lists it as stopped, the finished track with its sums and
// the track never started as not ripped.
TEST_F(MainCdRip, AStoppedRunReportsOnceTheWorkerHasLetGoOfItsTrack) {
  const morvotest::TCdImage Image =
      morvotest::MakeCdImage(FDir.Path(), "disc", morvotest::PlainTracks({75, 75 * 120, 75}), 29);
  TfrmMain& F = ReadDisc(Image);
  F.btnStart->click();
  for (int I = 0; I < 6000 && Task(1)->FState != tsConverting; ++I)
    QTest::qWait(5);
  ASSERT_EQ(Task(1)->FState, tsConverting);
  ASSERT_EQ(Task(0)->FState, tsDone);
  F.btnStop->click();
  ASSERT_FALSE(F.Manager()->IsRunning());
  EXPECT_TRUE(Reports().empty()) << "written before the worker let go of track 2";

  const std::vector<fs::path> Found = WaitForReports();
  ASSERT_EQ(Found.size(), 1u);
  EXPECT_EQ(Task(1)->FState, tsFailed);
  const auto Lines = cdoracle::TrackLines(morvotest::ReadBytes(Found[0]));
  EXPECT_EQ(Lines.at("01").Crc32, cdoracle::Hex(cdoracle::BitwiseCrc32(Image.TrackPcm[0])));
  EXPECT_EQ(Lines.at("01").Status, "ok, Track01.mp3");
  EXPECT_EQ(Lines.at("02").Crc32, "-");
  EXPECT_EQ(Lines.at("02").Status.rfind("failed: ", 0), 0u) << Lines.at("02").Status;
  EXPECT_EQ(Lines.at("03").Crc32, "not");  // "not ripped in this run"
}

// ---------------------------------------------------------------------------
// The player: a stand-in executable in the player folder writes down the
// arguments it was started with.

class MainPlayer : public MainRun {
protected:
  void SetUp() override {
    MainRun::SetUp();
    fs::create_directories(FDir.Path() / "cfg" / "Morva");
    fs::create_directories(Player());
  }
  fs::path Player() const { return FDir.Path() / "player"; }
  fs::path ArgsFile() const { return FDir.Path() / "args.txt"; }
  void InstallPlayer() {
    morvotest::WriteBytes(FDir.Path() / "cfg" / "Morva" / "registry.ini",
                          "[Software\\Morva]\nMorva8=" + (Player() / "Morva.exe").string() + "\n");
    const fs::path Exe = Player() / "Morva";
    morvotest::WriteBytes(Exe, "#!/bin/sh\nprintf '%s|' \"$@\" >> " + morvotest::Quote(ArgsFile()) +
                                   "\n");
    fs::permissions(Exe, fs::perms::owner_all);
  }
  std::string WaitForArgs(size_t Length) {
    for (int I = 0; I < 500; ++I) {
      if (fs::exists(ArgsFile()) && morvotest::ReadBytes(ArgsFile()).size() >= Length) break;
      QTest::qWait(10);
    }
    return fs::exists(ArgsFile()) ? morvotest::ReadBytes(ArgsFile()) : std::string();
  }

  morvotest::TScopedEnv FConfigEnv{"XDG_CONFIG_HOME", (FDir.Path() / "cfg").string()};
};

TEST_F(MainPlayer, ConvertedFilesQueuedForThePlaylistGoToThePlayerOrAnError) {
  TfrmMain& F = Form();
  const std::u16string Existing = AddFiles({"a.wav"})[0];
  TTaskManager& M = *F.Manager();
  M.FPlaylistQueue = {Existing, Existing + u".gone"};
  F.HandleMessage(platform::WM_ENCODE_NOTIFY, nkPlaylistQueued, -1);
  EXPECT_TRUE(M.FPlaylistQueue.empty());
  ASSERT_EQ(FAnswerer->Seen().size(), 1u) << "no player: the existing file alone fails";
  EXPECT_EQ(LastBoxText(), u"无法添加播放列表");
  EXPECT_EQ(FAnswerer->Seen()[0]->Caption(), u"播放");

  InstallPlayer();
  M.FPlaylistQueue = {Existing};
  F.HandleMessage(platform::WM_ENCODE_NOTIFY, nkPlaylistQueued, -1);
  const std::string Expected = "/list|" + platform::WideToPath(Existing) + "|";
  EXPECT_EQ(WaitForArgs(Expected.size()), Expected);
  EXPECT_EQ(FAnswerer->Seen().size(), 1u);
}

TEST_F(MainPlayer, TheMenuPlaysTheSourceOrTheTargetInTheCurrentFolder) {
  // The window and its formats come first: the stand-in player's folder
  // holds no codec library.
  TfrmMain& F = Form();
  const std::u16string Source = AddFiles({"a.wav"})[0];
  InstallPlayer();
  const std::string TargetName = platform::WideToPath(F.Manager()->GetTask(0)->FTargetName);
  F.lvFileList->selectionModel()->select(
      F.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  F.mmPlay->trigger();
  std::string Expected = "/open|" + platform::WideToPath(Source) + "|";
  EXPECT_EQ(WaitForArgs(Expected.size()), Expected);

  // The target is looked for in the folder set now; a missing one starts
  // the player without arguments.
  F.Manager()->SetDestPath(platform::PathToWide(Out().string()));
  fs::create_directories(Out());
  morvotest::WriteBytes(Out() / TargetName, "ID3");
  F.mmOpenFile->trigger();
  Expected += "/open|" + (Out() / TargetName).string() + "|";
  EXPECT_EQ(WaitForArgs(Expected.size()), Expected);
  fs::remove(Out() / TargetName);
  F.mmOpenFile->trigger();
  Expected += "|";  // printf with no arguments still prints its format once
  EXPECT_EQ(WaitForArgs(Expected.size()), Expected);
  EXPECT_TRUE(FAnswerer->Seen().empty());
}

}  // namespace

namespace {

// No file manager answers on the bus here; the desktop's default
// application for folders is a recorder of what it was asked to open.
class MainExplorer : public MainRun {
protected:
  void SetUp() override {
    MainRun::SetUp();
    const fs::path Apps = FDir.Path() / "data" / "applications";
    fs::create_directories(Apps);
    const fs::path Recorder = FDir.Path() / "recorder";
    morvotest::WriteBytes(Recorder,
                          "#!/bin/sh\nprintf '%s|' \"$1\" >> " + morvotest::Quote(Opened()) + "\n");
    fs::permissions(Recorder, fs::perms::owner_all);
    morvotest::WriteBytes(Apps / "recorder.desktop",
                          "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" +
                              Recorder.string() + " %f\nMimeType=inode/directory;\n");
    fs::create_directories(FDir.Path() / "config");
    morvotest::WriteBytes(FDir.Path() / "config" / "mimeapps.list",
                          "[Default Applications]\ninode/directory=recorder.desktop\n");
  }
  fs::path Opened() const { return FDir.Path() / "opened.txt"; }
  std::string WaitForOpened(size_t Length) {
    for (int I = 0; I < 500; ++I) {
      if (fs::exists(Opened()) && morvotest::ReadBytes(Opened()).size() >= Length) break;
      QTest::qWait(10);
    }
    return fs::exists(Opened()) ? morvotest::ReadBytes(Opened()) : std::string();
  }

  morvotest::TScopedEnv FBus{"DBUS_SESSION_BUS_ADDRESS",
                             "unix:path=" + (FDir.Path() / "no-bus").string()};
  morvotest::TScopedEnv FData{"XDG_DATA_HOME", (FDir.Path() / "data").string()};
  morvotest::TScopedEnv FDataDirs{"XDG_DATA_DIRS", (FDir.Path() / "none").string()};
  morvotest::TScopedEnv FConfig{"XDG_CONFIG_HOME", (FDir.Path() / "config").string()};
};

TEST_F(MainExplorer, TheFolderOfATargetOpensAndAMissingFolderIsMadeFirst) {
  TfrmMain& F = Form();
  AddFiles({"a.wav"});
  F.lvFileList->selectionModel()->select(
      F.Model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  const fs::path Folder = Out() / "新";
  F.Manager()->SetDestPath(platform::PathToWide(Folder.string() + "/"));
  F.mmOpenFilePath->trigger();  // the target is not written yet
  EXPECT_TRUE(fs::is_directory(Folder));
  std::string Expected = Folder.string() + "|";
  EXPECT_EQ(WaitForOpened(Expected.size()), Expected);

  // 打开文件夹 opens the trimmed folder text.
  F.edtPath->setText(QString::fromStdString(" " + Folder.string() + "/ "));
  F.btnPathOpen->click();
  Expected += Folder.string() + "|";
  EXPECT_EQ(WaitForOpened(Expected.size()), Expected);

  // A written target: no file manager shows it, so its folder opens.
  morvotest::WriteBytes(Folder / "a.mp3", "ID3");
  F.mmOpenFilePath->trigger();
  Expected += Folder.string() + "|";
  EXPECT_EQ(WaitForOpened(Expected.size()), Expected);
  EXPECT_TRUE(FAnswerer->Seen().empty());
}

}  // namespace
