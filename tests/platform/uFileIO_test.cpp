#include "platform/uFileIO.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"

using morvotest::TTempDir;

using namespace platform;

namespace {

std::u16string W(const std::string& Path) { return PathToWide(Path); }

void WriteText(const std::string& Path, const std::string& Text) {
  std::ofstream(Path, std::ios::binary) << Text;
}

std::string ReadText(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

// Opens with the given access and sharing; true when it worked (and closes).
bool CanOpen(const std::string& Path, uint32_t Access, uint32_t Share) {
  const THandle Handle = CreateFileW(W(Path), Access, Share, TDisposition::OpenExisting);
  if (Handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(Handle);
  return true;
}

}  // namespace

TEST(FileIO, ShareModesExcludeConflictingOpensOnly) {
  TTempDir Dir;
  const std::string Path = Dir / "a.txt";
  WriteText(Path, "data");

  const THandle Reader =
      CreateFileW(W(Path), GENERIC_READ, FILE_SHARE_READ, TDisposition::OpenExisting);
  ASSERT_NE(Reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(
      CanOpen(Path, GENERIC_READ, FILE_SHARE_READ));  // reading with a reader that lets others read
  EXPECT_FALSE(
      CanOpen(Path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));  // it denies writing
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CanOpen(Path, GENERIC_READ, 0));  // would deny the reader's own access
  CloseHandle(Reader);

  const THandle Writer =
      CreateFileW(W(Path), GENERIC_WRITE, FILE_SHARE_WRITE, TDisposition::OpenExisting);
  ASSERT_NE(Writer, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CanOpen(Path, GENERIC_WRITE, FILE_SHARE_WRITE));
  EXPECT_FALSE(CanOpen(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
  CloseHandle(Writer);
  EXPECT_TRUE(CanOpen(Path, GENERIC_READ | GENERIC_WRITE, 0));
}

TEST(FileIO, DenyWriteOpenersExcludeEachOtherAcrossThreads) {
  TTempDir Dir;
  const std::string Path = Dir / "log.txt";
  WriteText(Path, "");
  const THandle First =
      CreateFileW(W(Path), GENERIC_WRITE, FILE_SHARE_READ, TDisposition::OpenExisting);
  ASSERT_NE(First, INVALID_HANDLE_VALUE);
  bool SecondOpened = true;
  std::thread Other([&] { SecondOpened = CanOpen(Path, GENERIC_WRITE, FILE_SHARE_READ); });
  Other.join();
  EXPECT_FALSE(SecondOpened);
  CloseHandle(First);
  EXPECT_TRUE(CanOpen(Path, GENERIC_WRITE, FILE_SHARE_READ));
}

TEST(FileIO, ShareModesHoldAcrossProcesses) {
  TTempDir Dir;
  const std::string Path = Dir / "shared.txt";
  WriteText(Path, "keep me");
  int Ready[2], Release[2];
  ASSERT_EQ(pipe(Ready), 0);
  ASSERT_EQ(pipe(Release), 0);
  const pid_t Child = fork();
  ASSERT_GE(Child, 0);
  if (Child == 0) {
    close(Ready[0]);
    close(Release[1]);
    // The child holds the file for writing, letting others read only.
    const THandle Held =
        CreateFileW(W(Path), GENERIC_WRITE, FILE_SHARE_READ, TDisposition::OpenExisting);
    const char Status = Held == INVALID_HANDLE_VALUE ? 'x' : 'k';
    if (write(Ready[1], &Status, 1) != 1) _exit(2);
    char Ignored;
    (void)!read(Release[0], &Ignored, 1);  // until the parent closes its end
    _exit(0);
  }
  close(Ready[1]);
  close(Release[0]);
  char Status = 0;
  ASSERT_EQ(read(Ready[0], &Status, 1), 1);
  ASSERT_EQ(Status, 'k');

  EXPECT_FALSE(CanOpen(Path, GENERIC_WRITE, FILE_SHARE_READ));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(CanOpen(Path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
  // A refused create must not truncate the holder's file.
  EXPECT_EQ(CreateFileW(W(Path), GENERIC_READ | GENERIC_WRITE, 0, TDisposition::CreateAlways),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadText(Path), "keep me");

  close(Release[1]);
  int ExitStatus = 0;
  waitpid(Child, &ExitStatus, 0);
  close(Ready[0]);
  EXPECT_TRUE(CanOpen(Path, GENERIC_WRITE, FILE_SHARE_READ));
}

TEST(FileIO, AFileHeldOpenCannotBeDeleted) {
  TTempDir Dir;
  const std::string Path = Dir / "busy.mp3";
  WriteText(Path, "being written");
  // Even an open that shares reading and writing does not share deletion.
  const THandle Held = CreateFileW(W(Path), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, TDisposition::OpenExisting);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  std::thread Other([&] {
    EXPECT_FALSE(DeleteFileW(W(Path)));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  });
  Other.join();
  EXPECT_EQ(ReadText(Path), "being written");
  CloseHandle(Held);
  EXPECT_TRUE(DeleteFileW(W(Path)));
  EXPECT_FALSE(std::ifstream(Path).good());
  EXPECT_FALSE(DeleteFileW(W(Path)));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A create that opened the old file while a deleter held the openers' lock
// must not write into the nameless file the delete leaves behind.
TEST(FileIO, ACreateThatWaitedForADeleteWritesUnderTheName) {
  TTempDir Dir;
  const std::string Path = Dir / "target.mp3";
  WriteText(Path, "old");
  const int Deleter = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(Deleter, 0);
  ASSERT_EQ(flock(Deleter, LOCK_EX), 0);
  const int Watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(Watch, 0);
  ASSERT_GE(inotify_add_watch(Watch, Path.c_str(), IN_OPEN), 0);
  std::thread Creator([&] {
    const THandle Handle =
        CreateFileW(W(Path), GENERIC_WRITE, FILE_SHARE_READ, TDisposition::CreateAlways);
    ASSERT_NE(Handle, INVALID_HANDLE_VALUE);
    FileWrite(Handle, "new", 3);
    CloseHandle(Handle);
  });
  char Event[sizeof(inotify_event) + 256];
  ASSERT_GT(read(Watch, Event, sizeof(Event)), 0);  // the creator has the old file open
  ASSERT_EQ(unlink(Path.c_str()), 0);
  close(Deleter);
  Creator.join();
  close(Watch);
  EXPECT_EQ(ReadText(Path), "new");
}

TEST(FileIO, OpenErrorsAreWindowsCodes) {
  TTempDir Dir;
  EXPECT_EQ(CreateFileW(W(Dir / "missing"), GENERIC_READ, 0, TDisposition::OpenExisting),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFileW(W(Dir / "no/such/dir/f"), GENERIC_READ, 0, TDisposition::CreateAlways),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(CreateFileW(W(Dir.Path()), GENERIC_READ, 0, TDisposition::OpenExisting),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributesW(W(Dir / "missing")), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(W(Dir.Path())) & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FileIO, CreateReadWriteSeek) {
  TTempDir Dir;
  const std::string Path = Dir / "rw.bin";
  WriteText(Path, "old content");
  const THandle Handle =
      CreateFileW(W(Path), GENERIC_READ | GENERIC_WRITE, 0, TDisposition::CreateAlways);
  ASSERT_NE(Handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileSize(Handle), 0);
  EXPECT_EQ(FileWrite(Handle, "hello", 5), 5);
  EXPECT_EQ(FileSeek(Handle, 1, 0), 1);
  char Buffer[8] = {};
  EXPECT_EQ(FileRead(Handle, Buffer, 8), 4);
  EXPECT_STREQ(Buffer, "ello");
  EXPECT_EQ(FileSeek(Handle, 2, 0), 2);
  EXPECT_TRUE(FileTruncate(Handle));
  CloseHandle(Handle);
  EXPECT_EQ(ReadText(Path), "he");
}

// Truncating costs a wait for the disk at close on some file systems, so a
// create leaves an empty file untouched (its time shows no truncation).
TEST(FileIO, CreateAlwaysTruncatesOnlyAFileThatHoldsSomething) {
  TTempDir Dir;
  const std::string Empty = Dir / "empty.bin", Full = Dir / "full.bin";
  WriteText(Empty, "");
  WriteText(Full, "old content");
  const auto Old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  for (const std::string& Path : {Empty, Full})
    std::filesystem::last_write_time(Path, Old);
  for (const std::string& Path : {Empty, Full, std::string(Dir / "new.bin")}) {
    const THandle Handle =
        CreateFileW(W(Path), GENERIC_READ | GENERIC_WRITE, 0, TDisposition::CreateAlways);
    ASSERT_NE(Handle, INVALID_HANDLE_VALUE) << Path;
    EXPECT_EQ(FileSize(Handle), 0) << Path;
    CloseHandle(Handle);
  }
  EXPECT_EQ(std::filesystem::last_write_time(Empty), Old);
  EXPECT_NE(std::filesystem::last_write_time(Full), Old);
  EXPECT_EQ(ReadText(Full), "");
}

TEST(FileIO, FullPathNameIsNormalisedLexically) {
  EXPECT_EQ(GetFullPathNameW(u"/a/./b/../c//d"), u"/a/c/d");
  EXPECT_EQ(GetFullPathNameW(u"/a/b/"), u"/a/b/");
  EXPECT_EQ(GetFullPathNameW(u"/.."), u"/");
  const std::u16string Relative = GetFullPathNameW(u"x/y");
  ASSERT_FALSE(Relative.empty());
  EXPECT_EQ(Relative[0], u'/');
  EXPECT_EQ(Relative.substr(Relative.size() - 4), u"/x/y");
}

TEST(FileIO, DirectorySearchMatchesWildcards) {
  TTempDir Dir;
  WriteText(Dir / "one.mp3", "1");
  WriteText(Dir / "two.MP3", "22");
  WriteText(Dir / "three.wav", "333");
  WriteText(Dir / "noext", "");
  TFindData Data;
  auto Search = TFindSearch::FindFirst(W(Dir / "*.mp3"), Data);
  ASSERT_NE(Search, nullptr);
  EXPECT_EQ(Data.Name, u"one.mp3");
  EXPECT_EQ(Data.Size, 1u);
  EXPECT_FALSE(Search->FindNext(Data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);

  int Count = 0;
  for (auto All = TFindSearch::FindFirst(W(Dir / "*.*"), Data); All && Count < 100; ++Count)
    if (!All->FindNext(Data)) break;
  EXPECT_EQ(Count + 1, 6);  // four files plus "." and ".."

  EXPECT_EQ(TFindSearch::FindFirst(W(Dir / "*.flac"), Data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(TFindSearch::FindFirst(W(Dir / "missing/*"), Data), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(FileIO, AFifoIsRefusedWithoutWaitingForAWriter) {
  TTempDir Dir;
  const std::string Fifo = Dir / "pipe.wav";
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  EXPECT_NE(GetFileAttributesW(W(Fifo)) & FILE_ATTRIBUTE_DEVICE, 0u);
  WriteText(Dir / "plain.wav", "x");
  EXPECT_EQ(GetFileAttributesW(W(Dir / "plain.wav")) & FILE_ATTRIBUTE_DEVICE, 0u);
  for (const uint32_t Access : {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE}) {
    auto Open = std::async(std::launch::async, [&] {
      const THandle Handle =
          CreateFileW(W(Fifo), Access, FILE_SHARE_READ, TDisposition::OpenAlways);
      const uint32_t Error = GetLastError();
      if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
      return std::make_pair(Handle, Error);
    });
    if (Open.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      // Let the blocked open go before failing.
      const int Other = open(Fifo.c_str(), O_RDWR);
      Open.wait();
      close(Other);
      FAIL() << "the open waited for the other end of the FIFO";
    }
    const auto [Handle, Error] = Open.get();
    EXPECT_EQ(Handle, INVALID_HANDLE_VALUE) << Access;
    EXPECT_NE(Error, ERROR_SUCCESS) << Access;
  }
  EXPECT_EQ(CreateFileW(u"/dev/null", GENERIC_READ, FILE_SHARE_READ, TDisposition::OpenExisting),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(FileIO, IdentityFollowsLinksAndIgnoresSpelling) {
  TTempDir Dir;
  std::filesystem::create_directories(Dir / "sub");
  WriteText(Dir / "sub/a.wav", "x");
  WriteText(Dir / "sub/A.wav", "y");
  std::filesystem::create_hard_link(Dir / "sub/a.wav", Dir / "hard.wav");
  std::filesystem::create_directory_symlink(Dir / "sub", Dir / "alias");
  TFileIdentity Original, Other;
  ASSERT_TRUE(GetFileIdentity(W(Dir / "sub/a.wav"), Original));
  for (const std::string Same : {"sub/./a.wav", "sub/../sub/a.wav", "hard.wav", "alias/a.wav"}) {
    ASSERT_TRUE(GetFileIdentity(W(Dir / Same), Other)) << Same;
    EXPECT_EQ(Other, Original) << Same;
  }
  ASSERT_TRUE(GetFileIdentity(W(Dir / "sub/A.wav"), Other));
  EXPECT_NE(Other, Original) << "letter case makes another file";
  EXPECT_FALSE(GetFileIdentity(W(Dir / "sub/missing.wav"), Other));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(FileIO, NamesThatAreNotUtf8OpenAndListByteForByte) {
  TTempDir Dir;
  const std::string Latin1 = Dir / "caf\xE9.wav";
  WriteText(Latin1, "data");
  const THandle Handle =
      CreateFileW(W(Latin1), GENERIC_READ, FILE_SHARE_READ, TDisposition::OpenExisting);
  ASSERT_NE(Handle, INVALID_HANDLE_VALUE);
  CloseHandle(Handle);
  TFindData Data;
  auto Search = TFindSearch::FindFirst(W(Dir / "*.wav"), Data);
  ASSERT_NE(Search, nullptr);
  EXPECT_EQ(WideToPath(Data.Name), "caf\xE9.wav");
  const THandle Created = CreateFileW(W(Dir.Path().string()) + u"/" + Data.Name + u".copy",
                                      GENERIC_WRITE, 0, TDisposition::CreateAlways);
  ASSERT_NE(Created, INVALID_HANDLE_VALUE);
  CloseHandle(Created);
  EXPECT_TRUE(std::filesystem::exists(Dir / "caf\xE9.wav.copy"));
  EXPECT_EQ(GetFullPathNameW(W(Latin1)), W(Latin1));
}

TEST(FileIO, UniqueFilesAreNewAndShareNothing) {
  TTempDir Dir;
  std::u16string First, Second;
  const THandle A = CreateUniqueFileW(W(Dir.Path().string()), u".morvo-", u".part", First);
  const THandle B = CreateUniqueFileW(W(Dir.Path().string() + "/"), u".morvo-", u".part", Second);
  ASSERT_NE(A, INVALID_HANDLE_VALUE);
  ASSERT_NE(B, INVALID_HANDLE_VALUE);
  EXPECT_NE(First, Second);
  const std::string Name = std::filesystem::path(WideToPath(First)).filename();
  EXPECT_EQ(Name.rfind(".morvo-", 0), 0u);
  EXPECT_EQ(std::filesystem::path(WideToPath(First)).parent_path(), Dir.Path());
  EXPECT_EQ(FileWrite(A, "abc", 3), 3);
  // Nobody else may open it, and it cannot be deleted while held.
  EXPECT_FALSE(CanOpen(WideToPath(First), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_FALSE(DeleteFileW(First));
  CloseHandle(A);
  CloseHandle(B);
  EXPECT_EQ(ReadText(WideToPath(First)), "abc");
  std::u16string Ignored;
  EXPECT_EQ(CreateUniqueFileW(W(Dir / "missing"), u".x", u"", Ignored), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(LastSystemReason(), "No such file or directory");
}

TEST(FileIO, MoveWithoutReplacingKeepsWhatIsThere) {
  TTempDir Dir;
  WriteText(Dir / "new", "new");
  WriteText(Dir / "old", "old");
  EXPECT_FALSE(MoveFileExW(W(Dir / "new"), W(Dir / "old"), 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadText(Dir / "old"), "old");
  // A dangling link is an entry too: it is not replaced either.
  std::filesystem::create_symlink(Dir / "nowhere/x", Dir / "dangling");
  EXPECT_FALSE(MoveFileExW(W(Dir / "new"), W(Dir / "dangling"), 0));
  EXPECT_TRUE(MoveFileExW(W(Dir / "new"), W(Dir / "free"), 0));
  EXPECT_EQ(ReadText(Dir / "free"), "new");
  EXPECT_FALSE(std::filesystem::exists(Dir / "new"));
}

TEST(FileIO, MoveReplacingRefusesFilesInUseAndFolders) {
  TTempDir Dir;
  WriteText(Dir / "new", "new");
  WriteText(Dir / "old", "old");
  const THandle Reader =
      CreateFileW(W(Dir / "old"), GENERIC_READ, FILE_SHARE_READ, TDisposition::OpenExisting);
  ASSERT_NE(Reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(IsFileInUse(W(Dir / "old")));
  EXPECT_FALSE(MoveFileExW(W(Dir / "new"), W(Dir / "old"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadText(Dir / "old"), "old");
  CloseHandle(Reader);
  EXPECT_FALSE(IsFileInUse(W(Dir / "old")));
  EXPECT_FALSE(IsFileInUse(W(Dir / "missing")));
  EXPECT_TRUE(MoveFileExW(W(Dir / "new"), W(Dir / "old"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadText(Dir / "old"), "new");
  std::filesystem::create_directories(Dir / "folder");
  EXPECT_FALSE(MoveFileExW(W(Dir / "old"), W(Dir / "folder"), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadText(Dir / "old"), "new");
}
