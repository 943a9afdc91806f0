// TSourceAdder with the real task manager: files, folders and cue sheets on
// a real disk become tasks, and what gives no task is reported.
#include "app/uSourceAdding.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/uCodePage.h"
#include "tests/app/uAppTestEnv.h"
#include "tests/support/uFifoWatch.h"

using namespace cuetest;

namespace {

TEST(ExtensionList, AnExtensionPassesWhenItOccursAnywhereInTheList) {
  for (const char16_t* Name :
       {u"a.mp3", u"B.Flac", u"c.fla", u"d.cue", u"e.m3u", u"f.MP", u"g.a", u"h.DTSW"})
    EXPECT_TRUE(PassesExtensionList(Name)) << platform::WideToUtf8(Name);
  for (const char16_t* Name : {u"noext", u"a.txt", u"a.flacx", u"dir.mp3/file"})
    EXPECT_FALSE(PassesExtensionList(Name)) << platform::WideToUtf8(Name);
}

TEST(TargetNames, WholeFileAndCueTrack) {
  EXPECT_EQ(WholeFileTargetName(u"/music/v1.0/song.flac", u".mp3"), u"song.mp3");
  EXPECT_EQ(WholeFileTargetName(u"/music/v1.0/noext", u".wav"), u"noext.wav");
  EXPECT_EQ(WholeFileTargetName(u"C:\\a\\b.c.ape", u".flac"), u"b.c.flac");
  EXPECT_EQ(CueTrackTargetName(u"周杰伦", u"七里香", u".ape"), u"周杰伦 - 七里香.ape");
  EXPECT_EQ(NumberedTargetName(u"Pixies - Vamos.flac", 9), u"Pixies - Vamos (09).flac");
  EXPECT_EQ(NumberedTargetName(u"A - v1.0.mp3", 15), u"A - v1.0 (15).mp3");
  EXPECT_EQ(NumberedTargetName(u"A - B", 100), u"A - B (100)");
}

class SourceAddingTest : public TManagerTest {
protected:
  void SetUp() override {
    TManagerTest::SetUp();
    FAdder = std::make_unique<TSourceAdder>(*FManager);
    FAdder->SetTargetExt(u".wav");
  }
  std::u16string File(const std::string& Name, const std::string& Bytes = "x") {
    return FDir.Write(Name, Bytes);
  }
  std::vector<std::u16string> Sources() {
    std::vector<std::u16string> Result;
    for (TTaskItem* Task : Tasks())
      Result.push_back(Task->FSource);
    return Result;
  }

  std::unique_ptr<TSourceAdder> FAdder;
};

TEST_F(SourceAddingTest, WholeFilesBecomeTasksAndMissingPathsAreReported) {
  const auto A = File("a.flac");
  const auto B = File("b.mp3");
  fs::create_directories(FDir.Path() / "folder.wav");
  FAdder->AddSources({A, FDir.Wide() + u"gone.wav", FDir.Wide() + u"folder.wav", B},
                     TSourceAdder::ModeUser);

  ASSERT_EQ(FManager->TaskCount(), 2);
  const TTaskItem* First = FManager->GetTask(0);
  EXPECT_EQ(First->FKind, tkWholeFile);
  EXPECT_EQ(First->FSource, A);
  EXPECT_EQ(First->FTargetName, u"a.wav");
  EXPECT_EQ(First->FTargetExt, u".wav");
  EXPECT_EQ(First->FSourceClass, scOther);
  EXPECT_EQ(First->FQueued, 1);
  EXPECT_EQ(First->FStartMs, 0);
  EXPECT_EQ(First->FEndMs, -1);
  EXPECT_EQ(FManager->GetTask(1)->FTargetName, u"b.wav");

  ASSERT_EQ(FAdder->Refused().size(), 2u);
  EXPECT_EQ(FAdder->Refused()[0].Path, FDir.Wide() + u"gone.wav");
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::NotAFile);
  EXPECT_EQ(FAdder->Refused()[1].Path, FDir.Wide() + u"folder.wav");
  EXPECT_EQ(FAdder->AddedCount(), 2);
}

TEST_F(SourceAddingTest, PlayerHandOverAddsLastToFirstAndOtherModesNothing) {
  const auto A = File("a.wav");
  const auto B = File("b.wav");
  FAdder->AddSources({A, B}, 7);
  EXPECT_EQ(FManager->TaskCount(), 0);
  FAdder->AddSources({A, B}, TSourceAdder::ModePlayer);
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{B, A}));
}

TEST_F(SourceAddingTest, SameSourcesTwiceAreRefusedTheSecondTime) {
  const auto A = File("a.wav");
  const auto B = File("sub/a.wav");
  FAdder->AddSources({A, B}, TSourceAdder::ModeUser);  // same target name, another source
  FAdder->SetTargetExt(u".WAV");
  FAdder->AddSources({A}, TSourceAdder::ModeUser);  // target names compare without case
  EXPECT_EQ(FManager->TaskCount(), 2);
  ASSERT_EQ(FAdder->Refused().size(), 1u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::TaskRefused);
  EXPECT_EQ(FAdder->Refused()[0].TargetName, u"a.WAV");
}

TEST_F(SourceAddingTest, WithoutTargetFormatEveryTaskIsRefused) {
  FAdder->SetTargetExt(u"");
  FAdder->AddSources({File("a.wav")}, TSourceAdder::ModeUser);
  EXPECT_EQ(FManager->TaskCount(), 0);
  ASSERT_EQ(FAdder->Refused().size(), 1u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::TaskRefused);
}

TEST_F(SourceAddingTest, FolderScanAddsSubFoldersFirstAndFiltersByExtension) {
  const auto Top = File("lib/b.wav");
  File("lib/notes.txt");
  File("lib/noext");
  const auto Mid = File("lib/sub/c.flac");
  const auto Deep = File("lib/sub/deeper/d.ape");
  const auto Early = File("lib/A.mp3");
  FAdder->AddFolder(FDir.Wide() + u"lib");
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{Deep, Mid, Early, Top}));
}

TEST_F(SourceAddingTest, FolderScanVisitsAFolderReachedThroughLinksOnce) {
  const auto A = File("scan/a.wav");
  const auto B = File("other/b.wav");
  fs::create_directory_symlink("../scan", FDir.Path() / "scan/loop");
  fs::create_directory_symlink(FDir.Path() / "other", FDir.Path() / "scan/x1");
  fs::create_directory_symlink(FDir.Path() / "other", FDir.Path() / "scan/x2");
  FAdder->AddFolder(FDir.Wide() + u"scan");
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{FDir.Wide() + u"scan/x1/b.wav", A}));
  EXPECT_TRUE(FAdder->Refused().empty()) << "no folder was scanned twice";
}

TEST_F(SourceAddingTest, FifosAreRefusedWithoutBeingOpened) {
  fs::create_directories(FDir.Path() / "lib");
  const auto Good = File("lib/good.wav");
  ASSERT_EQ(::mkfifo((FDir.Path() / "lib/pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((FDir.Path() / "lib/pipe.cue").c_str(), 0600), 0);
  const std::u16string Pipe = FDir.Wide() + u"lib/pipe.wav";
  const std::u16string PipeCue = FDir.Wide() + u"lib/pipe.cue";
  morvotest::TFifoWatch Watch(FDir.Path() / "lib/pipe.cue");

  FAdder->AddSources({Pipe}, TSourceAdder::ModeUser);
  EXPECT_ANY_THROW(FAdder->AddSources({PipeCue}, TSourceAdder::ModeUser));
  ASSERT_EQ(FAdder->Refused().size(), 2u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::NotRegularFile);
  EXPECT_EQ(FAdder->Refused()[1].Reason, TSourceRefusal::CueUnreadable);
  FAdder->ClearRefused();

  // A folder scan skips them silently.
  FAdder->AddFolder(FDir.Wide() + u"lib");
  EXPECT_FALSE(Watch.Stop()) << "a FIFO was opened for reading";
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{Good}));
}

TEST_F(SourceAddingTest, AnImageCutByASheetOfTheSameAddIsNotAlsoAddedWhole) {
  fs::create_directories(FDir.Path() / "album");
  MakeNoiseWav(FDir.Path() / "album/image.wav", 2.0);
  const std::string Sheet = "PERFORMER \"Band\"\nFILE \"image.wav\" WAVE\n"
                            "TRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                            "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:01:00\n";
  const auto Cue = File("album/image.cue", Sheet);
  const auto Image = FDir.Wide() + u"album/image.wav";
  const auto Other = File("album/other.wav");
  FAdder->AddFolder(FDir.Wide() + u"album");
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{Image, Image, Other}));
  for (int32_t I = 0; I < 2; ++I)
    EXPECT_EQ(FManager->GetTask(I)->FKind, tkCueTrack);
  EXPECT_TRUE(FAdder->Refused().empty());

  // One add of several files, the image named first and by another spelling.
  for (TTaskItem* Task : Tasks())
    FManager->RemoveTask(Task->FId);
  FAdder->AddSources({FDir.Wide() + u"album/./image.wav", Cue}, TSourceAdder::ModeUser);
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{Image, Image}));

  // Added on its own, the image is converted whole.
  FAdder->AddSources({Image}, TSourceAdder::ModeUser);
  EXPECT_EQ(FManager->TaskCount(), 3);
  EXPECT_EQ(FManager->GetTask(2)->FKind, tkWholeFile);
}

// A sheet of one file a track cuts every one of its files; none of them is
// converted whole beside its track.
TEST_F(SourceAddingTest, NoFileOfASheetOfSeveralFilesIsAlsoAddedWhole) {
  fs::create_directories(FDir.Path() / "rip");
  MakeNoiseWav(FDir.Path() / "rip/01.wav", 1.0);
  MakeNoiseWav(FDir.Path() / "rip/02.wav", 1.0);
  File("rip/rip.cue", "PERFORMER \"Band\"\nFILE \"01.wav\" WAVE\n"
                      "TRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                      "FILE \"02.wav\" WAVE\n"
                      "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:00:00\n");
  FAdder->AddFolder(FDir.Wide() + u"rip");
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{FDir.Wide() + u"rip/01.wav",
                                                    FDir.Wide() + u"rip/02.wav"}));
  for (const TTaskItem* Task : Tasks())
    EXPECT_EQ(Task->FKind, tkCueTrack);
}

TEST_F(SourceAddingTest, AnImageWhoseSheetGivesNoTracksIsStillAdded) {
  MakeNoiseWav(FDir.Path() / "image.wav", 1.0);
  const auto Bad =
      File("image.cue", "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nINDEX one 00:00:00\n");
  FAdder->AddSources({Bad, FDir.Wide() + u"image.wav"}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 1);
  EXPECT_EQ(FManager->GetTask(0)->FKind, tkWholeFile);
  ASSERT_EQ(FAdder->Refused().size(), 1u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::CueMalformed);
}

TEST_F(SourceAddingTest, NamesThatAreNotUtf8AreFoundAndKeepTheirBytes) {
  const fs::path Folder = FDir.Path() / "legacy";
  fs::create_directories(Folder);
  WriteBytes(Folder / "caf\xE9.wav", "x");           // Latin-1
  WriteBytes(Folder / "\xC4\xE3\xBA\xC3.mp3", "x");  // GBK
  FAdder->AddFolder(platform::PathToWide(Folder.string()));
  ASSERT_EQ(FManager->TaskCount(), 2);
  std::vector<std::string> Targets;
  for (TTaskItem* Task : Tasks()) {
    EXPECT_TRUE(fs::exists(platform::WideToPath(Task->FSource)))
        << platform::WideToUtf8(Task->FSource);
    Targets.push_back(platform::WideToPath(Task->FTargetName));
  }
  std::sort(Targets.begin(), Targets.end());
  EXPECT_EQ(Targets, (std::vector<std::string>{"caf\xE9.wav", "\xC4\xE3\xBA\xC3.wav"}));
  // Given directly, as a command line hands it over.
  FAdder->SetTargetExt(u".flac");
  FAdder->AddSources({platform::PathToWide((Folder / "caf\xE9.wav").string())},
                     TSourceAdder::ModeUser);
  EXPECT_EQ(FManager->TaskCount(), 3);
  EXPECT_TRUE(FAdder->Refused().empty());
}

TEST_F(SourceAddingTest, CueSheetGivesOneTaskPerTrack) {
  MakeNoiseWav(FDir.Path() / "image.wav", 3.0);
  const auto Cue =
      File("album.cue", "PERFORMER \"Band\"\n"
                        "FILE \"image.wav\" WAVE\n"
                        "TRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                        "TRACK 02 AUDIO\nTITLE \"Two\"\nPERFORMER \"Guest\"\nINDEX 01 00:01:10\n"
                        "TRACK 03 AUDIO\nTITLE \"Three\"\nINDEX 01 00:02:00\n");
  FAdder->AddSources({Cue}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 3);
  const auto T = Tasks();
  for (TTaskItem* Task : T) {
    EXPECT_EQ(Task->FKind, tkCueTrack);
    EXPECT_EQ(Task->FSource, FDir.Wide() + u"image.wav");
    EXPECT_EQ(Task->FTargetExt, u".wav");
  }
  EXPECT_EQ(T[0]->FTargetName, u"Band - One.wav");
  EXPECT_EQ(T[1]->FTargetName, u"Guest - Two.wav");
  EXPECT_EQ(T[2]->FTargetName, u"Band - Three.wav");
  EXPECT_EQ(T[0]->FStartMs, 0);
  EXPECT_EQ(T[0]->FEndMs, 1133);
  EXPECT_EQ(T[1]->FStartMs, 1133);
  EXPECT_EQ(T[1]->FEndMs, 2000);
  EXPECT_EQ(T[2]->FStartMs, 2000);
  EXPECT_EQ(T[2]->FEndMs, 3000);

  // The same sheet again: every track is refused, none vanishes unreported.
  FAdder->AddCueTracks(Cue, scOther);
  EXPECT_EQ(FManager->TaskCount(), 3);
  ASSERT_EQ(FAdder->Refused().size(), 3u);
  for (int32_t N = 1; N <= 3; ++N) {
    EXPECT_EQ(FAdder->Refused()[size_t(N - 1)].Track, N);
    EXPECT_EQ(FAdder->Refused()[size_t(N - 1)].Reason, TSourceRefusal::TaskRefused);
  }
}

TEST_F(SourceAddingTest, UntitledTracksAreNamedByTheirNumber) {
  MakeNoiseWav(FDir.Path() / "image.wav", 2.0);
  const auto Cue = File("untitled.cue", "PERFORMER \"Band\"\nFILE \"image.wav\" WAVE\n"
                                        "TRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                        "TRACK 02 AUDIO\nTITLE \" \"\nINDEX 01 00:01:00\n");
  FAdder->AddSources({Cue}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 2);
  EXPECT_EQ(FManager->GetTask(0)->FTargetName, u"Band - 01.wav");
  EXPECT_EQ(FManager->GetTask(1)->FTargetName, u"Band - 02.wav");
}

// A real EAC rip holds "Vamos" twice; a sheet of untitled tracks one name
// ninety times. Every track is added; a name that repeats an earlier one
// gets the track's number.
TEST_F(SourceAddingTest, RepeatedNamesWithinASheetGetTheTrackNumber) {
  FDir.Write("image.wav", "x");
  std::string Sheet = "PERFORMER \"Pixies\"\nFILE \"image.wav\" WAVE\n";
  const char* Titles[] = {"Vamos",      "Tony's Theme", "vamos", "Vamos",
                          "Vamos (04)", "Oh My Golly!", "Vamos?"};
  for (int N = 1; N <= 7; ++N)
    Sheet += "TRACK 0" + std::to_string(N) + " AUDIO\nTITLE \"" + Titles[N - 1] + "\"\nINDEX 01 0" +
             std::to_string(N) + ":00:00\n";
  FAdder->AddSources({File("pixies.cue", Sheet)}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 7);
  EXPECT_TRUE(FAdder->Refused().empty());
  const std::u16string Expected[] = {u"Pixies - Vamos.wav",           u"Pixies - Tony's Theme.wav",
                                     u"Pixies - vamos (03).wav",      u"Pixies - Vamos (04).wav",
                                     u"Pixies - Vamos (04) (05).wav", u"Pixies - Oh My Golly!.wav",
                                     u"Pixies - Vamos-.wav"};
  for (int I = 0; I < 7; ++I)
    EXPECT_EQ(FManager->GetTask(I)->FTargetName, Expected[I]) << I;

  std::string Untitled = "PERFORMER \"Various\"\nFILE \"image.wav\" WAVE\n";
  for (int N = 1; N <= 90; ++N)
    Untitled += "TRACK " + std::to_string(N) + " AUDIO\nTITLE \"untitled\"\nINDEX 01 " +
                std::to_string(N) + ":00:00\n";
  FAdder->AddSources({File("untitled.cue", Untitled)}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 97);
  EXPECT_EQ(FManager->GetTask(7)->FTargetName, u"Various - untitled.wav");
  EXPECT_EQ(FManager->GetTask(8)->FTargetName, u"Various - untitled (02).wav");
  EXPECT_EQ(FManager->GetTask(96)->FTargetName, u"Various - untitled (90).wav");
}

TEST_F(SourceAddingTest, EachTrackOfASheetOfSeveralFilesIsCutFromItsOwnFile) {
  const auto One = File("01.wav");
  const auto Two = File("02.wav");
  const auto Cue = File("eac.cue", "FILE \"01.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                                   "TRACK 02 AUDIO\nINDEX 00 00:03:00\n"
                                   "FILE \"02.wav\" WAVE\nINDEX 01 00:00:00\n"
                                   "FILE \"03.wav\" WAVE\nTRACK 03 AUDIO\nINDEX 01 00:00:00\n"
                                   "TRACK 05 AUDIO\nINDEX 01 00:01:00\n");
  FAdder->AddSources({Cue}, TSourceAdder::ModeUser);
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{One, Two}));
  // 03.wav is missing; track 4 was never named.
  ASSERT_EQ(FAdder->Refused().size(), 3u);
  EXPECT_EQ(FAdder->Refused()[0].Track, 3);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::CueAudioMissing);
  EXPECT_EQ(FAdder->Refused()[1].Track, 4);
  EXPECT_EQ(FAdder->Refused()[1].Reason, TSourceRefusal::CueTrackNoPlace);
  EXPECT_EQ(FAdder->Refused()[2].Track, 5);
  EXPECT_EQ(FAdder->Refused()[2].Reason, TSourceRefusal::CueAudioMissing);
}

TEST_F(SourceAddingTest, GbkSheetWithChineseTitlesNamesTheTargets) {
  MakeNoiseWav(FDir.Path() / "七里香.wav", 2.0);
  const std::u16string Sheet =
      u"PERFORMER \"周杰伦\"\r\nTITLE \"七里香\"\r\nFILE \"七里香.wav\" WAVE\r\n"
      u"  TRACK 01 AUDIO\r\n    TITLE \"我的地盘\"\r\n    INDEX 01 00:00:00\r\n"
      u"  TRACK 02 AUDIO\r\n    TITLE \"园游会\"\r\n    INDEX 01 00:01:00\r\n";
  const auto Cue = File("七里香.cue", platform::WideToCharset("CP936", Sheet));
  FAdder->AddSources({Cue}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 2);
  EXPECT_EQ(FManager->GetTask(0)->FTargetName, u"周杰伦 - 我的地盘.wav");
  EXPECT_EQ(FManager->GetTask(1)->FTargetName, u"周杰伦 - 园游会.wav");
  EXPECT_EQ(FManager->GetTask(0)->FSource, FDir.Wide() + u"七里香.wav");
}

TEST_F(SourceAddingTest, CueSheetsThatGiveNoTasksAreReportedWithTheirReason) {
  const auto NoAudio =
      File("noaudio.cue", "FILE \"gone.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  const auto NoTracks = File("notracks.cue", "TITLE \"x\"\n");
  MakeNoiseWav(FDir.Path() / "bad.wav", 1.0);
  const auto Bad = File("bad.cue", "FILE \"bad.wav\" WAVE\nTRACK 01 AUDIO\nINDEX one 00:00:00\n");
  FAdder->AddSources({NoAudio, NoTracks, Bad}, TSourceAdder::ModeUser);
  EXPECT_EQ(FManager->TaskCount(), 0);
  ASSERT_EQ(FAdder->Refused().size(), 3u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::CueAudioMissing);
  EXPECT_EQ(FAdder->Refused()[1].Reason, TSourceRefusal::CueNoTracks);
  EXPECT_EQ(FAdder->Refused()[2].Reason, TSourceRefusal::CueMalformed);
  EXPECT_EQ(FAdder->Refused()[2].Path, Bad);
}

TEST_F(SourceAddingTest, UnreadableCueSheetStopsTheBatchWithItsError) {
  const auto Before = File("before.wav");
  const auto After = File("after.wav");
  // UTF-16 with an odd byte count and no final terminator cannot be read.
  const auto Broken = File("broken.cue", Utf16Le(u"TITLE \"x\"") + "y");
  EXPECT_ANY_THROW(FAdder->AddSources({Before, Broken, After}, TSourceAdder::ModeUser));
  EXPECT_EQ(Sources(), (std::vector<std::u16string>{Before}));
  ASSERT_EQ(FAdder->Refused().size(), 1u);
  EXPECT_EQ(FAdder->Refused()[0].Reason, TSourceRefusal::CueUnreadable);
  EXPECT_FALSE(FAdder->Refused()[0].Detail.empty());
}

TEST_F(SourceAddingTest, CueExtensionIsRecognisedInAnyLetterCase) {
  MakeNoiseWav(FDir.Path() / "image.wav", 1.0);
  const auto Cue =
      File("UPPER.CUE", "FILE \"image.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n");
  FAdder->AddSources({Cue}, TSourceAdder::ModeUser);
  ASSERT_EQ(FManager->TaskCount(), 1);
  EXPECT_EQ(FManager->GetTask(0)->FKind, tkCueTrack);
}

}  // namespace
