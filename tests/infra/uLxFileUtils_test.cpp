#include "infra/uLxFileUtils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/uCodePage.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"

using morvotest::TTempDir;

namespace {

std::u16string W(const std::string& Path) { return platform::PathToWide(Path); }

}  // namespace

TEST(PathText, WindowsExamplesKeepTheirResults) {
  EXPECT_EQ(WideExtractFileExt(u"C:\\a.b\\c"), u"");
  EXPECT_EQ(WideExtractFileExt(u"song.MP3"), u".MP3");
  EXPECT_EQ(WideChangeFileExt(u"C:\\x\\track", u".wav"), u"C:\\x\\track.wav");
  EXPECT_EQ(WideChangeFileExt(u"C:\\x\\track.flac", u".wav"), u"C:\\x\\track.wav");
  EXPECT_EQ(WideExtractFilePath(u"C:"), u"C:");
  EXPECT_EQ(WideExtractFilePath(u"C:\\music\\a.ape"), u"C:\\music\\");
  EXPECT_EQ(WideExtractFileName(u"C:\\music\\a.ape"), u"a.ape");
  EXPECT_EQ(WideExtractFileName(u"C:a.ape"), u"a.ape");
  EXPECT_EQ(WideExtractFileDrive(u"\\\\srv\\share\\dir\\f"), u"\\\\srv\\share");
  EXPECT_EQ(WideExtractFileDrive(u"\\\\srv\\share"), u"\\\\srv\\share");
  EXPECT_EQ(WideExtractFileDrive(u"D:\\x"), u"D:");
  EXPECT_EQ(WideExtractFileDrive(u"relative\\x"), u"");
  EXPECT_EQ(WideExcludeTrailingBackslash(u"C:\\x\\"), u"C:\\x");
  EXPECT_EQ(WideIncludeTrailingBackslash(u"C:\\x\\"), u"C:\\x\\");
}

TEST(PathText, LetterCaseChangesOnlyAsciiLetters) {
  // The neighbours of 'a'..'z' and 'A'..'Z' and letters beyond ASCII stay.
  EXPECT_EQ(WideUpperAscii(u"@az[`AZ{ .Flac 歌ä"), u"@AZ[`AZ{ .FLAC 歌ä");
  EXPECT_EQ(WideLowerAscii(u"@az[`AZ{ .Flac 歌Ä"), u"@az[`az{ .flac 歌Ä");
  EXPECT_EQ(WideUpperAscii(u""), u"");
}

TEST(PathText, TrimDropsBlanksAndControlsAtBothEndsOnly) {
  EXPECT_EQ(WideTrim(u"\t \x01 歌 曲.mp3\r\n "), u"歌 曲.mp3");
  EXPECT_EQ(WideTrim(u" \t\r\n"), u"");
  EXPECT_EQ(WideTrim(u"\u3000a\u3000"), u"\u3000a\u3000") << "an ideographic blank is text";
}

TEST(PathText, SlashSplitsLikeBackslashAndIsTheDelimiterAdded) {
  EXPECT_EQ(WideExtractFilePath(u"/home/u/a.b/c"), u"/home/u/a.b/");
  EXPECT_EQ(WideExtractFileName(u"/home/u/a.b/c"), u"c");
  EXPECT_EQ(WideExtractFileExt(u"/home/u/a.b/c"), u"");
  EXPECT_EQ(WideExtractFileExt(u"/home/u/歌.flac"), u".flac");
  EXPECT_EQ(WideExtractFilePath(u"mixed\\dir/file.cue"), u"mixed\\dir/");
  EXPECT_EQ(WideExtractFilePath(u"mixed/dir\\file.cue"), u"mixed/dir\\");
  EXPECT_EQ(WideExtractFileDrive(u"/home/u/x"), u"/");
  EXPECT_EQ(WideIncludeTrailingBackslash(u"/home/u"), u"/home/u/");
  EXPECT_EQ(WideIncludeTrailingBackslash(u""), u"/");
  EXPECT_EQ(WideExcludeTrailingBackslash(u"/home/u/"), u"/home/u");
  EXPECT_EQ(WideExcludeTrailingBackslash(u"/"), u"/");
  EXPECT_TRUE(WideIsPathDelimiter(u"a/b", 2));
  EXPECT_TRUE(WideIsPathDelimiter(u"a\\b", 2));
  EXPECT_FALSE(WideIsPathDelimiter(u"a/b", 0));
  EXPECT_FALSE(WideIsPathDelimiter(u"a/b", 4));
  EXPECT_EQ(WideLastDelimiter(u"\\/", u"a/b\\c"), 4);
  EXPECT_EQ(WideLastDelimiter(u"x", u"abc"), 0);
  EXPECT_EQ(WideLastChar(u""), 0);
  EXPECT_EQ(WideLastChar(u"abc"), 3);
  const char16_t Text[] = u"a:b";
  EXPECT_EQ(WideStrScan(Text, u':'), Text + 1);
  EXPECT_EQ(WideStrScan(Text, u'/'), nullptr);
}

TEST(FileSystem, ForceDirectoriesCreatesEveryMissingParent) {
  TTempDir Dir;
  const std::u16string Deep = W(Dir / "a/b\\c/歌/");
  EXPECT_TRUE(WideForceDirectories(Deep));
  EXPECT_TRUE(std::filesystem::is_directory(
      Dir / "a/b\\c/歌"));                  // "\" is only a name character on disk here
  EXPECT_TRUE(WideForceDirectories(Deep));  // a second call finds it
  EXPECT_TRUE(WideForceDirectories(W(Dir / "x/y/z")));
  EXPECT_TRUE(WideDirectoryExists(W(Dir / "x/y")));
  EXPECT_TRUE(WideDirectoryExists(W(Dir / "x/y/z")));
  EXPECT_THROW(
      {
        try {
          WideForceDirectories(u"");
        } catch (const EInOutError& E) {
          EXPECT_EQ(E.ErrorCode, 3);
          EXPECT_STREQ(E.what(), "Unable to create directory");
          throw;
        }
      },
      EInOutError);
  // A file in the way: the folder cannot be made.
  std::ofstream(Dir / "file") << "x";
  EXPECT_FALSE(WideForceDirectories(W(Dir / "file/sub")));
}

TEST(FileSystem, ForceDirectoriesSucceedsForEveryThreadRacingForTheSameFolder) {
  for (int Round = 0; Round < 20; ++Round) {
    TTempDir Dir;
    const std::u16string Deep = W(Dir / "out/a/b/c");
    std::atomic<int> Ready{0};
    std::atomic<int> Succeeded{0};
    std::vector<std::thread> Threads;
    for (int I = 0; I < 8; ++I)
      Threads.emplace_back([&] {
        ++Ready;
        while (Ready.load() < 8)
          std::this_thread::yield();
        if (WideForceDirectories(Deep)) ++Succeeded;
      });
    for (std::thread& T : Threads)
      T.join();
    ASSERT_EQ(Succeeded.load(), 8) << "round " << Round;
  }
}

TEST(FileSystem, ExistenceTests) {
  TTempDir Dir;
  std::ofstream(Dir / "f.txt") << "x";
  EXPECT_TRUE(WideFileExists(W(Dir / "f.txt")));
  EXPECT_FALSE(WideFileExists(W(Dir.Path())));
  EXPECT_FALSE(WideFileExists(W(Dir / "missing")));
  EXPECT_FALSE(WideFileExists(W(Dir / "missing/f")));
  EXPECT_TRUE(WideDirectoryExists(W(Dir.Path())));
  EXPECT_FALSE(WideDirectoryExists(W(Dir / "f.txt")));
  EXPECT_TRUE(WideCreateDir(W(Dir / "new")));
  EXPECT_FALSE(WideCreateDir(W(Dir / "new")));
}

TEST(FileSystem, OpenModesAndInvalidModes) {
  TTempDir Dir;
  const std::string Path = Dir / "m.bin";
  std::ofstream(Path) << "abc";

  EXPECT_EQ(WideFileOpen(W(Path), 0x03), platform::INVALID_HANDLE_VALUE);
  EXPECT_EQ(platform::GetLastError(), 87u);  // invalid parameter
  EXPECT_EQ(WideFileOpen(W(Path), 0x50), platform::INVALID_HANDLE_VALUE);
  EXPECT_EQ(WideFileOpen(W(Dir / "absent"), fmOpenRead), platform::INVALID_HANDLE_VALUE);
  EXPECT_FALSE(std::filesystem::exists(Dir / "absent"));  // opening never creates

  // 0x31: write access, others may write but not read.
  const platform::THandle Handle = WideFileOpen(W(Path), 0x31);
  ASSERT_NE(Handle, platform::INVALID_HANDLE_VALUE);
  EXPECT_EQ(WideFileOpen(W(Path), fmOpenRead | fmShareDenyNone), platform::INVALID_HANDLE_VALUE);
  const platform::THandle Writer = WideFileOpen(W(Path), fmOpenWrite | fmShareDenyNone);
  EXPECT_NE(Writer, platform::INVALID_HANDLE_VALUE);
  platform::CloseHandle(Writer);
  EXPECT_EQ(platform::FileWrite(Handle, "Z", 1), 1);
  platform::CloseHandle(Handle);
  EXPECT_EQ(morvotest::ReadBytes(Path), "Zbc");  // opened as it was: not truncated

  // Exclusive (share 0 and 1) shuts everyone out.
  for (uint16_t Mode :
       {uint16_t(fmOpenRead | fmShareCompat), uint16_t(fmOpenRead | fmShareExclusive)}) {
    const platform::THandle Exclusive = WideFileOpen(W(Path), Mode);
    ASSERT_NE(Exclusive, platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(WideFileOpen(W(Path), fmOpenRead | fmShareDenyNone), platform::INVALID_HANDLE_VALUE);
    platform::CloseHandle(Exclusive);
  }
}

TEST(FileSystem, FileStreamRaisesWithTheFileName) {
  TTempDir Dir;
  try {
    TFileStreamW Stream(W(Dir / "none.txt"), fmOpenRead | fmShareDenyWrite);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(std::string(E.what()), "Cannot open file \"" + (Dir / "none.txt").string() + "\". " +
                                         platform::SysErrorMessage(platform::ERROR_FILE_NOT_FOUND));
  }
  EXPECT_THROW(TFileStreamW(W(Dir / "no/dir/x"), fmCreate), EFCreateError);
  std::ofstream(Dir / "exists.txt") << "x";
  try {
    TFileStreamW Stream(W(Dir / "exists.txt"), 0x03);
    FAIL() << "opened with an invalid mode";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(std::string(E.what()), "Cannot open file \"" + (Dir / "exists.txt").string() +
                                         "\". " + platform::SysErrorMessage(87));
  }
  {
    TFileStreamW Out(W(Dir / "s.bin"), fmCreate);
    Out.WriteBuffer("12345", 5);
    // fmCreate shares nothing.
    EXPECT_THROW(TFileStreamW(W(Dir / "s.bin"), fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  TFileStreamW In(W(Dir / "s.bin"), fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(In.Size(), 5);
  EXPECT_EQ(In.FileName(), W(Dir / "s.bin"));
}

TEST(FileSystem, OpenErrorKeepsAPercentSInTheFileName) {
  TTempDir Dir;
  const std::string Name = (Dir / "100%s %s.wav").string();
  try {
    TFileStreamW Stream(W(Name), fmOpenRead | fmShareDenyWrite);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& E) {
    EXPECT_EQ(std::string(E.what()), "Cannot open file \"" + Name + "\". " +
                                         platform::SysErrorMessage(platform::ERROR_FILE_NOT_FOUND));
  }
}

TEST(FileSystem, SourceFilesAreRegularFilesOnly) {
  TTempDir Dir;
  std::ofstream(Dir / "a.wav") << "x";
  ASSERT_EQ(mkfifo((Dir / "pipe.wav").c_str(), 0600), 0);
  std::filesystem::create_symlink(Dir / "a.wav", Dir / "link.wav");
  std::filesystem::create_symlink(Dir / "gone.wav", Dir / "dangling.wav");
  EXPECT_TRUE(WideSourceFileExists(W(Dir / "a.wav")));
  EXPECT_TRUE(WideSourceFileExists(W(Dir / "link.wav")));
  EXPECT_FALSE(WideSourceFileExists(W(Dir / "pipe.wav")));
  EXPECT_TRUE(WideFileExists(W(Dir / "pipe.wav")))
      << "it still exists, e.g. as a target in the way";
  EXPECT_FALSE(WideSourceFileExists(W(Dir / "dangling.wav")));
  EXPECT_FALSE(WideSourceFileExists(W(Dir.Path())));
  EXPECT_FALSE(WideSourceFileExists(W(Dir / "missing.wav")));
  EXPECT_FALSE(WideSourceFileExists(u"/dev/null"));
}

TEST(FileSystem, FindSkipsExcludedAttributes) {
  TTempDir Dir;
  std::ofstream(Dir / "a.wav") << "12";
  std::ofstream(Dir / ".hidden.wav") << "1";
  std::filesystem::create_directory(Dir / "sub.wav");
  TSearchRecW Rec;
  std::vector<std::u16string> Names;
  for (uint32_t R = WideFindFirst(W(Dir / "*.wav"), faArchive | faReadOnly, Rec); R == 0;
       R = WideFindNext(Rec))
    Names.push_back(Rec.Name);
  WideFindClose(Rec);
  ASSERT_EQ(Names, std::vector<std::u16string>{u"a.wav"});
  EXPECT_EQ(Rec.FindHandle, nullptr);

  Names.clear();
  for (uint32_t R = WideFindFirst(W(Dir / "*.wav"), faAnyFile, Rec); R == 0;
       R = WideFindNext(Rec)) {
    Names.push_back(Rec.Name);
    if (Rec.Name == u"a.wav") {
      EXPECT_EQ(Rec.Size, 2);
      EXPECT_NE(Rec.Time, 0u);
    }
  }
  WideFindClose(Rec);
  std::sort(Names.begin(), Names.end());
  EXPECT_EQ(Names, (std::vector<std::u16string>{u".hidden.wav", u"a.wav", u"sub.wav"}));

  EXPECT_EQ(WideFindFirst(W(Dir / "*.ape"), faAnyFile, Rec), platform::ERROR_FILE_NOT_FOUND);
}

TEST(CommandLine, ParametersCountUpToTheFirstEmptyOne) {
  WideSetParams({u"/EncodeConvert", u"/music/歌 1.cue", u"", u"late"});
  EXPECT_EQ(WideParamCount(), 2);
  EXPECT_EQ(WideParamStr(1), u"/EncodeConvert");
  EXPECT_EQ(WideParamStr(2), u"/music/歌 1.cue");
  EXPECT_EQ(WideParamStr(9), u"");
  EXPECT_EQ(WideParamStr(0).substr(WideParamStr(0).size() - 11), u"infra_tests");
}
