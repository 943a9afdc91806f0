#include "platform/uProfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/uTestDir.h"
#include "tests/support/uTestTools.h"

using platform::GetPrivateProfileInt;
using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

namespace {

class ProfileTest : public ::testing::Test {
protected:
  TTestDir Dir;
  std::u16string Ini = WidePath(Dir / "EncodeConfig.ini");
  std::filesystem::path IniPath = Dir / "EncodeConfig.ini";
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGiveTheDefault) {
  EXPECT_EQ(GetPrivateProfileString("General", "DestPath", "dflt", Ini), "dflt");
  EXPECT_EQ(GetPrivateProfileInt("General", "TipShow", 7, Ini), 7);
  WriteBytes(IniPath, "[General]\nTipShow=1\n");
  EXPECT_EQ(GetPrivateProfileInt("MP3", "TipShow", 7, Ini), 7);
  EXPECT_EQ(GetPrivateProfileInt("General", "Other", -3, Ini), -3);
  EXPECT_EQ(GetPrivateProfileString("General", "DestPath", "", Ini), "");
  // A folder in the file's place reads like a missing file.
  EXPECT_EQ(GetPrivateProfileInt("General", "TipShow", 7, Dir.Path().u16string()), 7);
}

TEST_F(ProfileTest, NamesAreCaseInsensitiveAndBlanksAndQuotesAreStripped) {
  WriteBytes(
      IniPath,
      "; comment=1\n  [ general ]  \n  TIPSHOW  =  1  \nDestPath = \"/a b/\" \n[mp3]\nmp3mode=2\n");
  EXPECT_EQ(GetPrivateProfileInt("General", "TipShow", 0, Ini), 1);
  EXPECT_EQ(GetPrivateProfileString("GENERAL", "destpath", "", Ini), "/a b/");
  EXPECT_EQ(GetPrivateProfileInt("MP3", "Mp3Mode", 0, Ini), 2);
  EXPECT_EQ(GetPrivateProfileInt("", "; comment", 5, Ini), 5);
}

// The reader drops the blanks around names in the file, so names given
// with blanks are taken without them: a key written so reads back, and
// writing it again changes the one line instead of adding another.
TEST_F(ProfileTest, NamesGivenWithBlanksAreWrittenWhereTheyAreFound) {
  WriteBytes(IniPath, "[S]\nk=old\n");
  ASSERT_TRUE(WritePrivateProfileString("S ", "\tk", "new", Ini));
  ASSERT_TRUE(WritePrivateProfileString(" T\t", "j ", "1", Ini));
  ASSERT_TRUE(WritePrivateProfileString(" T\t", "j ", "2", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[S]\nk=new\n[T]\nj=2\n");
  EXPECT_EQ(GetPrivateProfileString(" S", "k\t", "", Ini), "new");
  EXPECT_EQ(GetPrivateProfileInt("\tT ", " j", 0, Ini), 2);
}

TEST_F(ProfileTest, IntegersHexadecimalAndNonNumbers) {
  WriteBytes(IniPath,
             "[N]\nhex=0x1F\nHEX=0XfF\nneg=-5\nplus=+4\nbig=2147483648\nmin=-2147483648\n"
             "allf=0xFFFFFFFF\nlonghex=0x100000000\nbare=0x\ntail=12abc\nempty=\nword=abc\n");
  EXPECT_EQ(GetPrivateProfileInt("N", "hex", 0, Ini), 31);  // first of two spellings wins
  EXPECT_EQ(GetPrivateProfileInt("N", "neg", 0, Ini), -5);
  EXPECT_EQ(GetPrivateProfileInt("N", "plus", 0, Ini), 4);
  EXPECT_EQ(GetPrivateProfileInt("N", "min", 0, Ini), INT32_MIN);
  EXPECT_EQ(GetPrivateProfileInt("N", "allf", 0, Ini), -1);
  for (const char* Key : {"big", "longhex", "bare", "tail", "empty", "word"})
    EXPECT_EQ(GetPrivateProfileInt("N", Key, 99, Ini), 99) << Key;
}

TEST_F(ProfileTest, LongValuesAreCutAt2047BytesOnACharacterBoundary) {
  WriteBytes(IniPath, "[S]\nascii=" + std::string(3000, 'a') + "\nwide=" + std::string(2046, 'b') +
                          "\xE4\xB8\xAD\n");
  EXPECT_EQ(GetPrivateProfileString("S", "ascii", "", Ini), std::string(2047, 'a'));
  // The 3-byte character would end at byte 2049: it is left out whole.
  EXPECT_EQ(GetPrivateProfileString("S", "wide", "", Ini), std::string(2046, 'b'));
}

TEST_F(ProfileTest, ValuesWrittenOnWindowsInTheLegacyCodePageReadAsUtf8) {
  const TScopedEnv Lang("LANG", "zh_CN.UTF-8");
  const TScopedEnv Acp("MORVO_ACP", "65001");
  // "D:\音乐\" in GBK, as the Windows program writes it.
  WriteBytes(IniPath, "[General]\r\nDestPath=D:\\\xD2\xF4\xC0\xD6\\\r\n");
  EXPECT_EQ(GetPrivateProfileString("General", "DestPath", "", Ini), "D:\\音乐\\");
  const TScopedEnv Gbk("MORVO_ACP", "936");  // a GBK system gets the bytes as they are
  EXPECT_EQ(GetPrivateProfileString("General", "DestPath", "", Ini), "D:\\\xD2\xF4\xC0\xD6\\");
}

TEST_F(ProfileTest, WriteCreatesTheFile) {
  ASSERT_TRUE(WritePrivateProfileString("General", "TipShow", "1", Ini));
  ASSERT_TRUE(WritePrivateProfileString("MP3", "Mp3Mode", "2", Ini));
  ASSERT_TRUE(WritePrivateProfileString("General", "DestPath", "/x/", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[General]\nTipShow=1\nDestPath=/x/\n[MP3]\nMp3Mode=2\n");
  WriteBytes(IniPath, "[A]\nk=1");  // LF stays LF; a last line without its end gets one
  ASSERT_TRUE(WritePrivateProfileString("A", "n", "2", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[A]\nk=1\nn=2\n");
}

TEST_F(ProfileTest, WriteChangesOneLineAndKeepsEveryOtherByte) {
  const std::string Before = "\xEF\xBB\xBF; settings of the converter\r\n"
                             "[general]\r\n"
                             "  DelAftSucc = 0   ; trailing note\r\n"
                             "Foreign=keep me\r\n"
                             "\r\n"
                             "[MP3]\r\n"
                             "Mp3Mode=1\r\n"
                             "\r\n"
                             "# another comment\r\n"
                             "[Other]\r\n"
                             "x=y";
  WriteBytes(IniPath, Before);
  ASSERT_TRUE(WritePrivateProfileString("General", "DELAFTSUCC", "1", Ini));
  ASSERT_TRUE(WritePrivateProfileString("MP3", "BitRateMode", "2", Ini));
  ASSERT_TRUE(WritePrivateProfileString("FLAC", "Qulity", "5", Ini));
  const std::string Expected = "\xEF\xBB\xBF; settings of the converter\r\n"
                               "[general]\r\n"
                               "  DelAftSucc =1\r\n"
                               "Foreign=keep me\r\n"
                               "\r\n"
                               "[MP3]\r\n"
                               "Mp3Mode=1\r\n"
                               "BitRateMode=2\r\n"
                               "\r\n"
                               "# another comment\r\n"
                               "[Other]\r\n"
                               "x=y\r\n"
                               "[FLAC]\r\n"
                               "Qulity=5\r\n";
  EXPECT_EQ(ReadBytes(IniPath), Expected);
  EXPECT_EQ(GetPrivateProfileInt("general", "delaftsucc", 0, Ini), 1);
}

TEST_F(ProfileTest, ValuesThatWouldBreakTheFileAreRefused) {
  WriteBytes(IniPath, "[General]\nDestPath=/old/\n");
  EXPECT_FALSE(WritePrivateProfileString("General", "DestPath", "/new/\n[MP3]\nMp3Mode=9", Ini));
  EXPECT_FALSE(WritePrivateProfileString("Gen]eral", "DestPath", "x", Ini));
  EXPECT_FALSE(WritePrivateProfileString("General", "Dest=Path", "x", Ini));
  EXPECT_FALSE(WritePrivateProfileString("General", "#Key", "x", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[General]\nDestPath=/old/\n");
}

TEST_F(ProfileTest, FailedWritesLeaveTheFileWholeAndNoTemporaryBehind) {
  WriteBytes(IniPath, "[General]\nTipShow=0\n");
  std::filesystem::permissions(IniPath, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read);
  EXPECT_FALSE(WritePrivateProfileString("General", "TipShow", "1", Ini));  // read-only file
  EXPECT_EQ(ReadBytes(IniPath), "[General]\nTipShow=0\n");

  EXPECT_FALSE(WritePrivateProfileString("General", "TipShow", "1", Dir.Path().u16string()));
  EXPECT_FALSE(
      WritePrivateProfileString("General", "TipShow", "1", WidePath(Dir / "no/such/folder.ini")));
  EXPECT_FALSE(std::filesystem::exists(Dir / "no"));

  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(Dir.Path()))
    Names.push_back(Entry.path().filename().string());
  EXPECT_EQ(Names, std::vector<std::string>{"EncodeConfig.ini"});
}

// A full disk, made by a file size limit: the write fails and the old file
// stays whole.
TEST_F(ProfileTest, AWriteThatRunsOutOfSpaceLeavesTheOldFile) {
  const std::string Before = "[General]\nDestPath=/old/\n";
  WriteBytes(IniPath, Before);
  const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit Old{};
  ::getrlimit(RLIMIT_FSIZE, &Old);
  rlimit Small = Old;
  Small.rlim_cur = 1024;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &Small), 0);
  const bool Written =
      WritePrivateProfileString("General", "DestPath", std::string(4096, 'x'), Ini);
  ::setrlimit(RLIMIT_FSIZE, &Old);
  std::signal(SIGXFSZ, OldHandler);
  EXPECT_FALSE(Written);
  EXPECT_EQ(ReadBytes(IniPath), Before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 1);
}

TEST_F(ProfileTest, WriteKeepsTheModeAndUpdatesTheTargetOfALink) {
  WriteBytes(IniPath, "[A]\nk=1\n");
  std::filesystem::permissions(IniPath, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::owner_write |
                                            std::filesystem::perms::group_read);
  const auto Link = Dir / "link.ini";
  std::filesystem::create_symlink(IniPath, Link);
  ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", platform::Utf8ToWide(Link.string())));
  EXPECT_TRUE(std::filesystem::is_symlink(Link));
  EXPECT_EQ(ReadBytes(IniPath), "[A]\nk=2\n");
  EXPECT_EQ(std::filesystem::status(IniPath).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
}

TEST_F(ProfileTest, LinesMayEndInCrLfOrCrAndKeepTheirEndsOnWriting) {
  WriteBytes(IniPath, "[A]\rk=1\rv=x\r");
  EXPECT_EQ(GetPrivateProfileInt("A", "k", 0, Ini), 1)
      << "a file with CR line ends has several lines";
  EXPECT_EQ(GetPrivateProfileString("A", "v", "", Ini), "x")
      << "the last CR is no part of the value";
  ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", Ini));
  ASSERT_TRUE(WritePrivateProfileString("A", "n", "3", Ini));
  ASSERT_TRUE(WritePrivateProfileString("B", "m", "4", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[A]\rk=2\rv=x\rn=3\r[B]\rm=4\r");

  WriteBytes(IniPath, "[A]\r\nk=1\nv=y\r");
  EXPECT_EQ(GetPrivateProfileString("A", "v", "", Ini), "y");
  ASSERT_TRUE(WritePrivateProfileString("A", "v", "z", Ini));
  EXPECT_EQ(ReadBytes(IniPath), "[A]\r\nk=1\nv=z\r") << "every line keeps its own end";
}

// A folder that takes no new files: its rights taken away, and for root,
// who ignores them, made immutable. Undone at the end of the scope.
class TClosedFolder {
public:
  explicit TClosedFolder(const std::filesystem::path& Folder) : FFolder(Folder) {
    std::filesystem::permissions(FFolder,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    if (TakesNewFiles())
      FImmutable = morvotest::RunTool("chattr +i " + morvotest::Quote(FFolder)).ExitCode == 0;
  }
  ~TClosedFolder() {
    if (FImmutable) morvotest::RunTool("chattr -i " + morvotest::Quote(FFolder));
    std::filesystem::permissions(FFolder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
  }
  bool TakesNewFiles() const {
    const auto Probe = FFolder / ".probe";
    const int Fd = ::open(Probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (Fd < 0) return false;
    ::close(Fd);
    ::unlink(Probe.c_str());
    return true;
  }

private:
  std::filesystem::path FFolder;
  bool FImmutable = false;
};

TEST_F(ProfileTest, AWritableFileInAClosedFolderIsRewrittenInPlace) {
  const auto Folder = Dir / "program";
  std::filesystem::create_directory(Folder);
  const auto Path = Folder / "EncodeConfig.ini";
  const std::u16string File = WidePath(Path);
  WriteBytes(Path, "[General]\r\nDestPath=/a/long/old/folder/\r\nTipShow=0\r\n");
  TClosedFolder Closed(Folder);
  if (Closed.TakesNewFiles()) GTEST_SKIP() << "this file system cannot close a folder to new files";
  ASSERT_TRUE(WritePrivateProfileString("General", "DestPath", "/new/", File));
  ASSERT_TRUE(WritePrivateProfileString("General", "TipShow", "1", File));
  ASSERT_TRUE(WritePrivateProfileString("MP3", "Mp3Mode", "2", File));
  EXPECT_EQ(ReadBytes(Path), "[General]\r\nDestPath=/new/\r\nTipShow=1\r\n[MP3]\r\nMp3Mode=2\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder), {}), 1)
      << "no temporary file left";
  // A file that does not exist yet cannot be made there.
  EXPECT_FALSE(WritePrivateProfileString("A", "k", "1", WidePath(Folder / "other.ini")));
}

TEST_F(ProfileTest, AFifoInTheFilesPlaceReadsAsUnreadable) {
  ASSERT_EQ(::mkfifo(IniPath.c_str(), 0600), 0);
  EXPECT_EQ(GetPrivateProfileInt("General", "TipShow", 7, Ini), 7);
  EXPECT_FALSE(WritePrivateProfileString("General", "TipShow", "1", Ini));
}

TEST_F(ProfileTest, ConcurrentWritersLoseNoKey) {
  std::vector<std::thread> Writers;
  for (int T = 0; T < 4; ++T)
    Writers.emplace_back([&, T] {
      for (int K = 0; K < 10; ++K)
        WritePrivateProfileString("S" + std::to_string(T), "k" + std::to_string(K),
                                  std::to_string(K), Ini);
    });
  for (auto& Writer : Writers)
    Writer.join();
  for (int T = 0; T < 4; ++T)
    for (int K = 0; K < 10; ++K)
      ASSERT_EQ(GetPrivateProfileInt("S" + std::to_string(T), "k" + std::to_string(K), -1, Ini), K);
}

}  // namespace
