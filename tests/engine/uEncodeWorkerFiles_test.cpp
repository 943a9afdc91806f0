// The files of a task: the target is written under a hidden temporary name
// and takes its own name only when the task succeeds; the source is held
// open while it is read.
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "params/uParamManager.h"
#include "platform/uFileIO.h"
#include "uEngineTestKit.h"

namespace fs = std::filesystem;

namespace enginetest {
namespace {

class TaskFilesTest : public TEngineTest {
protected:
  // A source of two hours of silence that takes no disk space.
  std::string TwoHourSource() {
    const std::string source = NewDir("long") + "/two-hours.wav";
    MakeSparseRf64(source, 7200);
    return source;
  }
  // The first Count bytes of a (possibly huge) file.
  static std::string Head(const std::string& Path, size_t Count) {
    std::ifstream in(Path, std::ios::binary);
    std::string bytes(Count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(Count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
  }
  // The names in Folder that start with a dot.
  static std::vector<std::string> Hidden(const std::string& Folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Folder))
      if (entry.path().filename().string()[0] == '.') names.push_back(entry.path().filename());
    return names;
  }
};

TEST_F(TaskFilesTest, TheTargetIsWrittenUnderATemporaryNameUntilItIsDone) {
  const int32_t id = Add(TSources::Get().Long16, "long.flac");
  bool seenWhileConverting = false;
  OnFirstProgress([&] {
    seenWhileConverting = true;
    EXPECT_FALSE(FileExists(FOut + "/long.flac")) << "nothing half written under the target's name";
    const std::vector<std::string> hidden = Hidden(FOut);
    ASSERT_EQ(hidden.size(), 1u);
    EXPECT_EQ(hidden[0].rfind(".morvo-", 0), 0u) << hidden[0];
  });
  ConvertAll();
  ASSERT_TRUE(seenWhileConverting);
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(DecodeWithFfmpeg(FOut + "/long.flac", "pcm_s16le").Pcm,
            ReadWav(TSources::Get().Long16).Pcm);
  EXPECT_TRUE(Hidden(FOut).empty());
}

TEST_F(TaskFilesTest, AStoppedOverwriteKeepsTheOldTarget) {
  WriteBytes(FOut + "/keep.flac", "the complete old target");
  FManager->FExistPolicy = epOverwrite;
  const int32_t id = Add(TwoHourSource(), "keep.flac");
  OnFirstProgress([this] { FManager->StopConvert(); });
  FManager->StartConvert();
  RunUntil([&] { return Task(id)->FState == tsFailed; });
  EXPECT_EQ(Task(id)->FResult, rcAbortedInPump);
  EXPECT_EQ(ReadBytes(FOut + "/keep.flac"), "the complete old target");
  EXPECT_TRUE(Hidden(FOut).empty()) << "the temporary file is removed";
}

TEST_F(TaskFilesTest, AShutdownDuringThePumpKeepsTheOldTargetAndTheSource) {
  // The target folder is the source's own, spelled with "./".
  const std::string dir = NewDir("music");
  const std::string source = dir + "/a.wav";
  MakeSparseRf64(source, 7200);
  const std::string original = Head(source, 100);
  const uintmax_t size = fs::file_size(source);
  WriteBytes(dir + "/b.flac", "old b");
  FManager->SetDestPath(W(dir + "/./"));
  FManager->FExistPolicy = epOverwrite;
  Add(source, "a.wav");
  Add(source, "b.flac");
  ShutDownAtFirstProgress();
  EXPECT_EQ(Head(source, 100), original);
  EXPECT_EQ(fs::file_size(source), size);
  EXPECT_EQ(ReadBytes(dir + "/b.flac"), "old b");
  EXPECT_TRUE(Hidden(dir).empty());
}

TEST_F(TaskFilesTest, ASourceBeingReadCannotBeDeletedOrReplaced) {
  if (FManager->Workers().size() < 2) GTEST_SKIP() << "needs two workers";
  const std::string dir = NewDir("music");
  const std::string source = dir + "/busy.wav";
  MakeSparseRf64(source, 7200);
  const uintmax_t size = fs::file_size(source);
  FManager->SetDestPath(W(dir));
  FManager->FExistPolicy = epOverwrite;
  // One task reads busy.wav while another wants to write over it.
  const int32_t reader = Add(source, "busy.flac");
  const int32_t writer = Add(TSources::Get().Wav16, "busy.wav");
  bool tried = false, deleteRefused = false;
  FOnReport = [&](const TReport& r) {
    if (tried || !r.Posted || r.Kind != nkProgress || r.Value != reader) return;
    tried = true;
    // Anyone's delete through the platform is refused, as on Windows.
    deleteRefused = !platform::DeleteFileW(W(source)) &&
                    platform::GetLastError() == platform::ERROR_SHARING_VIOLATION;
  };
  FManager->StartConvert();
  RunUntil([&] { return tried && Task(writer)->FState == tsFailed; });
  FManager->StopConvert();
  RunUntil([&] { return Task(reader)->FState == tsFailed; });
  EXPECT_TRUE(deleteRefused);
  EXPECT_EQ(Task(writer)->FResult, rcCannotOverwrite);
  EXPECT_FALSE(Task(writer)->FDetail.empty());
  EXPECT_EQ(Head(source, 4), "RF64");
  EXPECT_EQ(fs::file_size(source), size) << "the source is whole";
  EXPECT_TRUE(Hidden(dir).empty());
}

// The task that writes comes first: it must not replace a file that a later
// task of the run has not opened yet, whichever worker gets there first.
TEST_F(TaskFilesTest, AFileALaterTaskStillHasToReadIsNotWrittenOver) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Long16, dir, "later.wav");
  const std::string original = ReadBytes(source);
  FManager->SetDestPath(W(dir));
  FManager->FExistPolicy = epOverwrite;
  const int32_t writer = Add(TSources::Get().Wav16, "later.wav");
  const int32_t reader = Add(source, "later.flac");
  ConvertAll();
  EXPECT_EQ(Task(writer)->FResult, rcCannotOverwrite);
  // Why: the file is in use, or a task of the run has still to read it.
  EXPECT_FALSE(Task(writer)->FDetail.empty());
  EXPECT_EQ(Task(reader)->FResult, rcSucceeded);
  EXPECT_EQ(ReadBytes(source), original) << "the source is untouched";
  EXPECT_EQ(DecodeWithFfmpeg(dir + "/later.flac", "pcm_s16le").Pcm,
            ReadWav(TSources::Get().Long16).Pcm);
  EXPECT_TRUE(Hidden(dir).empty());
}

TEST_F(TaskFilesTest, ASourceReplacedDuringItsConversionIsNotTrashed) {
  const std::string dir = NewDir("music");
  const std::string source = CopySource(TSources::Get().Long16, dir, "a.wav");
  FManager->FParamManager->FindByExtension(".flac")->FDelAftSucc = 1;
  Add(source, "a.flac");
  OnFirstProgress([&] {
    WriteBytes(dir + "/new.wav", "a new file under the old name");
    fs::rename(dir + "/new.wav", source);
  });
  ConvertAll();
  EXPECT_TRUE(FileExists(FOut + "/a.flac"));
  EXPECT_EQ(ReadBytes(source), "a new file under the old name")
      << "only the converted file goes to the trash";
}

TEST_F(TaskFilesTest, AReadOnlyTargetFolderFailsWithTheSystemsReason) {
  const std::string folder = NewDir("readonly");
  if (Shell("mount -t tmpfs -o ro,size=64k morvo-test " + Quote(folder)) != 0)
    GTEST_SKIP() << "cannot mount a file system here";
  FManager->SetDestPath(W(folder + "/"));
  const int32_t id = Add(TSources::Get().Wav16, "ro.flac");
  ConvertAll();
  Shell("umount " + Quote(folder));
  EXPECT_EQ(Task(id)->FResult, rcEncodeFailed);
  EXPECT_EQ(U(Task(id)->FDetail), "Read-only file system");
}

}  // namespace
}  // namespace enginetest
