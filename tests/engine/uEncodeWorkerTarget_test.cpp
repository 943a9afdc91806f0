// The target's name: whether it is the source (by file identity, however
// the folder is spelled), targets shared by tasks of one run, and names
// longer than the file system takes.
#include <sys/mount.h>

#include <filesystem>

#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "uEngineTestKit.h"

namespace fs = std::filesystem;

namespace enginetest {
namespace {

class TargetTest : public TEngineTest {
protected:
  // Converts Source to TargetName in Folder (a spelling of a folder) with
  // the overwrite policy; the task's number.
  int32_t OverwriteInto(const std::string& Folder, const std::string& Source,
                        const std::string& TargetName) {
    FManager->SetDestPath(W(Folder));
    FManager->FExistPolicy = epOverwrite;
    const int32_t id = Add(Source, TargetName);
    ConvertAll();
    return id;
  }
};

TEST_F(TargetTest, TheSourceSpelledAnotherWayIsStillTheSource) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Wav16, dir, "a.wav");
  const std::string original = ReadBytes(source);
  fs::create_directory_symlink(dir, NewDir("links") + "/music");
  const std::string spellings[] = {dir + "/./",
                                   dir + "/../" + fs::path(dir).filename().string() + "/",
                                   dir + "//", NewDir("links") + "/music/"};
  for (const std::string& folder : spellings) {
    const int32_t id = OverwriteInto(folder, source, "a.wav");
    EXPECT_EQ(Task(id)->FResult, rcSucceeded) << folder;
    EXPECT_EQ(U(Task(id)->FTargetName), "复件(0) a.wav") << folder;
    EXPECT_EQ(ReadBytes(source), original) << folder << ": the source is never overwritten";
    fs::remove(dir + "/复件(0) a.wav");
    FManager->RemoveTask(id);
  }
}

TEST_F(TargetTest, AHardLinkOrABindMountOfTheSourceIsTheSource) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Wav16, dir, "a.wav");
  const std::string original = ReadBytes(source);
  const std::string linked = NewDir("linked");
  fs::create_hard_link(source, linked + "/a.wav");
  const int32_t hard = OverwriteInto(linked, source, "a.wav");
  EXPECT_EQ(Task(hard)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(hard)->FTargetName), "复件(0) a.wav");
  EXPECT_EQ(ReadBytes(source), original);
  FManager->RemoveTask(hard);

  const std::string bound = NewDir("bound");
  if (mount(dir.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind-mount here";
  const int32_t bind = OverwriteInto(bound, source, "a.wav");
  umount(bound.c_str());
  EXPECT_EQ(Task(bind)->FResult, rcSucceeded);
  EXPECT_EQ(ReadBytes(source), original);
}

TEST_F(TargetTest, NamesThatDifferInLetterCaseAreTwoFiles) {
  const std::string dir = NewDir("music");
  const std::string upper = CopySource(TSources::Get().Wav16, dir, "A.wav");
  const std::string original = ReadBytes(upper);
  WriteBytes(dir + "/a.wav", "another file");
  // a.wav is not the source A.wav: the overwrite policy replaces it.
  const int32_t id = OverwriteInto(dir, upper, "a.wav");
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(id)->FTargetName), "a.wav");
  EXPECT_EQ(ReadWav(dir + "/a.wav").Pcm, ReadWav(upper).Pcm);
  EXPECT_EQ(ReadBytes(upper), original);

  // Two sources that differ in letter case only are two tasks.
  FManager->RemoveTask(id);
  EXPECT_GT(Add(upper, "x.flac"), 0);
  EXPECT_GT(Add(dir + "/a.wav", "x.flac"), 0);
  // The same file spelled another way is the same source.
  EXPECT_EQ(Add(dir + "/./A.wav", "X.FLAC"), -1);
}

TEST_F(TargetTest, TasksOfOneRunNeverReplaceEachOther) {
  // Two folders flattened into one target folder: both want 01.flac.
  const std::string cd1 = NewDir("cd1"), cd2 = NewDir("cd2");
  const std::string first = CopySource(TSources::Get().Wav16, cd1, "01.wav");
  const std::string second = CopySource(TSources::Get().Wav24, cd2, "01.wav");
  WriteBytes(FOut + "/01.flac", "from an earlier run");
  FManager->FExistPolicy = epOverwrite;
  auto* flac = FManager->FParamManager->FindByExtension(".flac");
  flac->FDelAftSucc = 1;
  Add(first, "01.flac");
  Add(second, "01.flac");
  ConvertAll();
  // One task replaced the earlier run's file; the other took a copy name
  // and says why.
  ASSERT_TRUE(FileExists(FOut + "/01.flac"));
  ASSERT_TRUE(FileExists(FOut + "/复件(0) 01.flac"));
  const TWavData a = DecodeWithFfmpeg(FOut + "/01.flac", "pcm_s24le");
  const TWavData b = DecodeWithFfmpeg(FOut + "/复件(0) 01.flac", "pcm_s24le");
  EXPECT_NE(a.Rate, b.Rate) << "each source has its own target";
  EXPECT_FALSE(FileExists(first));
  EXPECT_FALSE(FileExists(second));
}

TEST_F(TargetTest, TheCopyNameOfARunCollisionIsReported) {
  FManager->FExistPolicy = epOverwrite;
  const int32_t first = Add(TSources::Get().Wav16, "same.flac");
  const int32_t second = Add(TSources::Get().Flac, "same.flac");
  ConvertAll();
  ASSERT_EQ(Task(first)->FResult, rcSucceeded);
  ASSERT_EQ(Task(second)->FResult, rcSucceeded);
  const TTaskItem* renamed =
      U(Task(first)->FTargetName) == "same.flac" ? Task(second) : Task(first);
  EXPECT_EQ(U(renamed->FTargetName), "复件(0) same.flac");
  EXPECT_NE(U(renamed->FDetail).find("same.flac"), std::string::npos) << U(renamed->FDetail);
  const TTaskItem* kept = renamed == Task(first) ? Task(second) : Task(first);
  EXPECT_TRUE(kept->FDetail.empty());
}

std::string Repeat(const std::string& Text, int Count) {
  std::string result;
  for (int i = 0; i < Count; ++i)
    result += Text;
  return result;
}

TEST_F(TargetTest, LongNamesAreShortenedToWhatTheFileSystemTakes) {
  // 90 Chinese characters are 270 bytes: a cue track titled so.
  const std::string title = Repeat("歌", 90);
  const int32_t track = Add(TSources::Get().Long16, title + ".flac", tkCueTrack, 1000, 3000);
  // A 255-byte source name whose target extension is one byte longer.
  const std::string dir = NewDir("long");
  const std::string longSource = CopySource(TSources::Get().Wav16, dir, Repeat("x", 251) + ".wav");
  const int32_t whole = Add(longSource, Repeat("x", 251) + ".flac");
  ConvertAll();
  ASSERT_EQ(Task(track)->FResult, rcSucceeded);
  ASSERT_EQ(Task(whole)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(track)->FTargetName), Repeat("歌", 83) + ".flac");
  EXPECT_EQ(U(Task(whole)->FTargetName), Repeat("x", 250) + ".flac");
  EXPECT_TRUE(FileExists(TargetPath(track)));
  EXPECT_TRUE(FileExists(TargetPath(whole)));

  // Its copy name keeps the marker and loses more of the stem.
  FManager->FExistPolicy = epRename;
  FManager->RemoveTask(track);
  const int32_t again = Add(TSources::Get().Long16, title + ".flac", tkCueTrack, 1000, 3000);
  ConvertAll();
  ASSERT_EQ(Task(again)->FResult, rcSucceeded);
  EXPECT_EQ(U(Task(again)->FTargetName), "复件(0) " + Repeat("歌", 80) + ".flac");
  EXPECT_TRUE(FileExists(TargetPath(again)));
}

}  // namespace
}  // namespace enginetest
