// Copy names and the three policies for an existing target, end to end.
#include <filesystem>

#include "engine/uEncodeWorker.h"
#include "engine/uTargetNaming.h"
#include "platform/uFileIO.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

TEST(CopyNameTest, NumberedCopiesFollowEachOther) {
  EXPECT_EQ(NextCopyName(u"歌曲.mp3"), u"复件(0) 歌曲.mp3");
  EXPECT_EQ(NextCopyName(u"复件(0) 歌曲.mp3"), u"复件(1) 歌曲.mp3");
  EXPECT_EQ(NextCopyName(u"复件(9) 歌曲.mp3"), u"复件(10) 歌曲.mp3");
  EXPECT_EQ(NextCopyName(u"复件(007) a.mp3"), u"复件(8) a.mp3");
  // No marker: a blank between the word and the bracket, or no digits.
  EXPECT_EQ(NextCopyName(u"My 复件 (1).mp3"), u"复件(0) My 复件 (1).mp3");
  EXPECT_EQ(NextCopyName(u"复件(x) a.mp3"), u"复件(0) 复件(x) a.mp3");
  EXPECT_EQ(NextCopyName(u"复件() a.mp3"), u"复件(0) 复件() a.mp3");
  EXPECT_EQ(NextCopyName(u"复件(3 a.mp3"), u"复件(0) 复件(3 a.mp3");
  // Numbers beyond any integer type still count on.
  EXPECT_EQ(NextCopyName(u"复件(99999999999999999999) a.mp3"),
            u"复件(100000000000000000000) a.mp3");
}

TEST(FitFileNameTest, ShortensTheStemAtACharacterBoundary) {
  // Fits already: unchanged.
  EXPECT_EQ(FitFileName(u"歌曲.flac", 255), u"歌曲.flac");
  // Three bytes a character: 11 bytes of room for the stem hold 3 of them.
  EXPECT_EQ(FitFileName(u"歌曲歌曲歌曲.flac", 16), u"歌曲歌.flac");
  // A character outside the BMP (4 bytes, a surrogate pair) goes whole.
  EXPECT_EQ(FitFileName(u"ab🎵.wav", 9), u"ab.wav");
  // The copy marker and the extension stay.
  EXPECT_EQ(FitFileName(u"复件(12) abcdef.mp3", 17), u"复件(12) ab.mp3");
  // A marker-like text that is not one is part of the stem.
  EXPECT_EQ(FitFileName(u"复件(x) abcdef.mp3", 12), u"复件(x.mp3");
  // No extension: the whole name is the stem.
  EXPECT_EQ(FitFileName(u"abcdef", 4), u"abcd");
  // Nothing sensible fits: the name is left for the file system to refuse.
  EXPECT_EQ(FitFileName(u"复件(1) a.flac", 12), u"复件(1) a.flac");
  EXPECT_EQ(FitFileName(u"   b.flac", 7), u"   b.flac");
}

TEST(FitFileNameTest, CopyNamesAreFittedToo) {
  const std::u16string stem(120, u'x');
  // Everything up to the second copy is taken.
  auto taken = [&](const std::u16string& Path) {
    return Path == u"/d/" + stem + u".mp3" || Path.find(u"复件(0) ") != std::u16string::npos;
  };
  const std::u16string copy = MakeCopyName(u"/d/" + stem + u".mp3", 100, taken);
  EXPECT_EQ(copy, u"/d/复件(1) " + std::u16string(86, u'x') + u".mp3");
}

class NamingTest : public TEngineTest {};

TEST_F(NamingTest, MakeCopyNameSkipsExistingCopies) {
  for (const char* name : {"a.mp3", "复件(0) a.mp3", "复件(1) a.mp3"})
    WriteBytes(FOut + "/" + name, "x");
  EXPECT_EQ(U(MakeCopyName(W(FOut + "/a.mp3"))), FOut + "/复件(2) a.mp3");
  EXPECT_EQ(U(MakeCopyName(W(FOut + "/free.mp3"))), FOut + "/free.mp3");
}

TEST_F(NamingTest, RenamePolicyWritesBesideTheExistingTarget) {
  WriteBytes(FOut + "/t.flac", "old");
  FManager->FExistPolicy = epRename;
  const int32_t id = Add(TSources::Get().Wav16, "t.flac");
  ConvertAll();
  ASSERT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(id)->FTargetName), "复件(0) t.flac");
  EXPECT_EQ(ReadBytes(FOut + "/t.flac"), "old");
  EXPECT_GT(ReadBytes(FOut + "/复件(0) t.flac").size(), 1000u);
}

TEST_F(NamingTest, OverwritePolicyReplacesAnotherFile) {
  WriteBytes(FOut + "/t.wav", "old");
  FManager->FExistPolicy = epOverwrite;
  const int32_t id = Add(TSources::Get().Wav16, "t.wav");
  ConvertAll();
  ASSERT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(ReadWav(FOut + "/t.wav").Pcm, ReadWav(TSources::Get().Wav16).Pcm);
}

TEST_F(NamingTest, SourceIsNeverItsOwnTarget) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Wav16, dir, "a.wav");
  const std::string original = ReadBytes(source);
  FManager->SetDestPath(W(dir));  // no trailing delimiter
  for (uint8_t policy : {epOverwrite, epRename}) {
    FManager->FExistPolicy = policy;
    // "A.wav" is another file than the source "a.wav": it is written.
    const int32_t id = Add(source, policy == epRename ? "A.wav" : "a.wav");
    ConvertAll();
    ASSERT_EQ(Task(id)->FResult, rcSucceeded) << int(policy);
    EXPECT_EQ(ReadBytes(source), original);
    FManager->RemoveTask(id);
  }
  EXPECT_TRUE(FileExists(dir + "/复件(0) a.wav"));
}

TEST_F(NamingTest, AskPolicyAnswers) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Wav16, dir, "a.wav");
  WriteBytes(FOut + "/other.wav", "old");
  FManager->FExistPolicy = epAsk;
  int restores = 0;
  FOnOtherMessage = [&](uint32_t Msg) { restores += Msg == platform::WM_ENCODE_RESTORE; };

  // Yes overwrites another file.
  FAnswerer->Push(platform::IDYES);
  const int32_t yes = Add(TSources::Get().Wav16, "other.wav");
  ConvertAll();
  EXPECT_EQ(Task(yes)->FResult, rcSucceeded);
  EXPECT_TRUE(ReadWav(FOut + "/other.wav").Valid);
  FManager->RemoveTask(yes);

  // No keeps the existing file.
  FAnswerer->Push(platform::IDNO);
  WriteBytes(FOut + "/other.wav", "old");
  const int32_t no = Add(TSources::Get().Wav16, "other.wav");
  ConvertAll();
  EXPECT_EQ(Task(no)->FResult, rcExistsUserAbort);
  EXPECT_EQ(ReadBytes(FOut + "/other.wav"), "old");
  FManager->RemoveTask(no);

  // The source itself: the question is whether to rename.
  FManager->SetDestPath(W(dir + "/"));
  FAnswerer->Push(platform::IDYES);
  const int32_t self = Add(source, "a.wav");
  ConvertAll();
  EXPECT_EQ(Task(self)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(self)->FTargetName), "复件(0) a.wav");

  const auto boxes = FAnswerer->Seen();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(U(boxes[0]->Text()), FOut + "/other.wav\r\n文件已经存在，覆盖吗?");
  EXPECT_EQ(U(boxes[2]->Text()), dir + "/a.wav\r\n与源文件在同一文件夹下，重命名吗?");
  const std::u16string caption = boxes[0]->Caption();
  EXPECT_TRUE(caption == u"线程1文件存在" || caption == u"线程2文件存在") << U(caption);
  EXPECT_EQ(boxes[0]->Flags(), platform::MB_YESNO | platform::MB_ICONQUESTION);
  EXPECT_EQ(restores, 3) << "the window is brought to the front before each question";
}

TEST_F(NamingTest, QuestionClosedByShutdownKeepsTheTarget) {
  WriteBytes(FOut + "/other.wav", "old");
  FManager->FExistPolicy = epAsk;
  const int32_t id = Add(TSources::Get().Wav16, "other.wav");
  bool shutDown = false;
  // The question stays open (no scripted answer); shut the engine down as
  // the window would when it closes.
  FOnOtherMessage = [&](uint32_t Msg) {
    if (Msg == platform::WM_ENCODE_RESTORE)
      platform::PostMessage(this, platform::WM_USER + 1, 0, 0);
    if (Msg == platform::WM_USER + 1) {
      std::u16string caption;
      for (const auto& worker : FManager->Workers())
        if (worker->FTask) caption = worker->QuestionCaption();
      EXPECT_TRUE(platform::WaitForMessageBox(caption, 10000));
      FManager->Shutdown();
      shutDown = true;
      platform::QuitMessageLoop(0);
    }
  };
  FManager->StartConvert();
  RunUntil([&] { return shutDown; });
  ASSERT_EQ(FAnswerer->Seen().size(), 1u);
  EXPECT_EQ(FAnswerer->Seen()[0]->WaitForAnswer(), 0);
  EXPECT_EQ(ReadBytes(FOut + "/other.wav"), "old");
  EXPECT_NE(Task(id)->FState, tsDone);
}

TEST_F(NamingTest, UndeletableTargetFailsWithCode8) {
  // Tests run as root, who may delete read-only files: an immutable file
  // (chattr +i) is what root cannot delete.
  WriteBytes(FOut + "/locked.wav", "old");
  if (Shell("chattr +i " + Quote(FOut + "/locked.wav")) != 0)
    GTEST_SKIP() << "the file system cannot make a file immutable";
  FManager->FExistPolicy = epOverwrite;
  const int32_t id = Add(TSources::Get().Wav16, "locked.wav");
  ConvertAll();
  Shell("chattr -i " + Quote(FOut + "/locked.wav"));
  EXPECT_EQ(Task(id)->FResult, rcCannotOverwrite);
  EXPECT_EQ(ReadBytes(FOut + "/locked.wav"), "old");
}

TEST_F(NamingTest, TargetStillBeingWrittenIsNotOverwritten) {
  // Another worker or instance writing the same target keeps it open; the
  // overwrite must not pull the file away from under it.
  WriteBytes(FOut + "/busy.wav", "in progress");
  const platform::THandle Writer =
      platform::CreateFileW(W(FOut + "/busy.wav"), platform::GENERIC_READ | platform::GENERIC_WRITE,
                            0, platform::TDisposition::OpenExisting);
  ASSERT_NE(Writer, platform::INVALID_HANDLE_VALUE);
  FManager->FExistPolicy = epOverwrite;
  const int32_t id = Add(TSources::Get().Wav16, "busy.wav");
  ConvertAll();
  platform::CloseHandle(Writer);
  EXPECT_EQ(Task(id)->FResult, rcCannotOverwrite);
  EXPECT_EQ(ReadBytes(FOut + "/busy.wav"), "in progress");
}

}  // namespace
}  // namespace enginetest
