#include "codecs/uDecoderEx.h"

#include <gtest/gtest.h>

#include <fstream>

#include "codecs/uLxPlayerDllExport.h"
#include "infra/uLxLog.h"
#include "tests/codecs/TestSupport.h"
#include "tests/support/uUtf16.h"

using namespace testing_codecs;

namespace {

// Every test starts with the loader in its never-tried state.
struct PlayerLibrary : ::testing::Test {
  TPlayerFolder Player;
  TTempDir Dir;
  void SetUp() override { FinalizePlayerLibrary(); }
  void TearDown() override {
    FinalizePlayerLibrary();
    EXPECT_FALSE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  }
  // A raw 16-bit stereo source whose every frame holds its own index.
  fs::path WriteIndexedSource(int32_t Frames) {
    const fs::path path = Dir.Path() / "source.raw";
    std::ofstream out(path, std::ios::binary);
    for (int32_t i = 0; i < Frames; ++i)
      out.write(reinterpret_cast<const char*>(&i), 4);
    return path;
  }
};

TEST_F(PlayerLibrary, WithoutTheLibraryTheWrapperRefusesEverything) {
  Player.PublishInBlock(Dir.Path().u16string());
  TDecoderEx decoder;
  EXPECT_FALSE(decoder.HasDecoder());
  EXPECT_FALSE(decoder.Open(WriteIndexedSource(10).u16string()));
  char buffer[16];
  EXPECT_EQ(decoder.Read(buffer, sizeof(buffer)), -1);
  decoder.Seek(1.5);
  EXPECT_EQ(decoder.FInfo.SampleRate, 0);
  EXPECT_EQ(PlayerLibraryAvailability(), plFailed);
}

TEST_F(PlayerLibrary, AvailabilityIsAskedOnceUntilCreateDecoderSucceeds) {
  Player.PublishInBlock(PartialPlayerDir().u16string());
  EXPECT_EQ(PlayerLibraryAvailability(), plNotTried);
  EXPECT_FALSE(IsPlayerLibraryAvailable()) << "ordinal 3 missing";
  EXPECT_NE(PlayerLibraryLoadError().find("LxPlayerOrdinal3"), std::string::npos)
      << PlayerLibraryLoadError();
  EXPECT_EQ(PlayerLibraryAvailability(), plFailed);
  EXPECT_FALSE(IsMapped(PartialPlayerDir() / "libLxPlayer.so"));

  Player.PublishInBlock(FullPlayerDir().u16string());
  EXPECT_FALSE(IsPlayerLibraryAvailable()) << "no retry after a failed attempt";
  EXPECT_FALSE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  IDecoderEx* decoder = nullptr;
  CreateDecoder(decoder);
  ASSERT_NE(decoder, nullptr);
  EXPECT_TRUE(IsPlayerLibraryAvailable());
  EXPECT_EQ(PlayerLibraryLoadError(), "");
  EXPECT_EQ(PlayerLibraryAvailability(), plLoaded);
  decoder->Release();
}

TEST_F(PlayerLibrary, CreateDecoderReleasesWhatItsOutputHeld) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  IDecoderEx* decoder = nullptr;
  CreateDecoder(decoder);
  ASSERT_NE(decoder, nullptr);
  IDecoderEx* old = decoder;
  old->AddRef();
  CreateDecoder(decoder);
  EXPECT_EQ(old->Release(), 0u);
  decoder->Release();
}

TEST_F(PlayerLibrary, TheWrapperOpensReadsAndSeeksInHundredNanosecondUnits) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  const fs::path source = WriteIndexedSource(2 * 44100);
  TDecoderEx decoder;
  ASSERT_TRUE(decoder.HasDecoder());
  EXPECT_FALSE(decoder.Open((Dir.Path() / "missing.raw").u16string()));
  EXPECT_EQ(decoder.FInfo.SampleRate, 0) << "a failed open leaves the info zero";
  ASSERT_TRUE(decoder.Open(source.u16string()));
  EXPECT_EQ(decoder.FInfo.BitsPerSample, 16);
  EXPECT_EQ(decoder.FInfo.Channels, 2);
  EXPECT_EQ(decoder.FInfo.SampleRate, 44100);
  EXPECT_EQ(decoder.FInfo.Duration, 20000000);

  int32_t frames[4] = {};
  EXPECT_EQ(decoder.Read(frames, sizeof(frames)), 16);
  EXPECT_EQ(frames[3], 3);
  // 1.5 s is 15000000 units, frame 66150; one unit less would land on 66149.
  decoder.Seek(1.5);
  ASSERT_EQ(decoder.Read(frames, sizeof(frames)), 16);
  EXPECT_EQ(frames[0], 66150);
  decoder.Seek(0.00000001);
  ASSERT_EQ(decoder.Read(frames, 4), 4);
  EXPECT_EQ(frames[0], 0);
  decoder.Seek(2.0);
  EXPECT_EQ(decoder.Read(frames, sizeof(frames)), 0) << "end of the source";
}

TEST_F(PlayerLibrary, WordsTheLibraryDidNotMarkSayNothing) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  TDecoderEx decoder;
  ASSERT_TRUE(decoder.Open(WriteIndexedSource(10).u16string()));
  EXPECT_FALSE(decoder.IsLosslessCodec());
  EXPECT_EQ(decoder.ReadError(), 0);
}

// The process-wide log, writing into a folder of its own; it stays for the
// rest of the run (its end would read the player's log-switch block).
TLxLog& TestLog() {
  static TTempDir folder;
  if (!LxLog()) {
    const morvotest::TScopedEnv ProgramDir("MORVO_PROGRAM_DIR", folder.Path().string());
    InitializeLxLog();
  }
  return *LxLog();
}

// The decoder's reason for a failed open is kept and logged; a later
// successful open forgets it.
TEST_F(PlayerLibrary, AFailedOpenKeepsAndLogsTheDecodersReason) {
  TLxLog& log = TestLog();
  Player.PublishInBlock(FullPlayerDir().u16string());
  TDecoderEx decoder;
  const std::u16string missing = (Dir.Path() / "missing.raw").u16string();
  EXPECT_FALSE(decoder.Open(missing));
  EXPECT_EQ(decoder.FailureReason(), u"no such file");
  ASSERT_TRUE(decoder.Open(WriteIndexedSource(10).u16string()));
  EXPECT_EQ(decoder.FailureReason(), u"");

  log.FlushPending();
  const std::u16string written = morvotest::Utf16LeText(morvotest::ReadBytes(log.FileName()));
  EXPECT_NE(written.find(u"cannot open " + missing + u": no such file"), std::u16string::npos);
}

TEST_F(PlayerLibrary, FinalizationLogsAndUnloads) {
  TLxLog& log = TestLog();
  Player.PublishInBlock(FullPlayerDir().u16string());
  ASSERT_TRUE(LoadPlayerLibrary());
  EXPECT_TRUE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  FinalizePlayerLibrary();
  EXPECT_FALSE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  EXPECT_EQ(PlayerLibraryAvailability(), plNotTried);

  log.FlushPending();
  const std::u16string written = morvotest::Utf16LeText(morvotest::ReadBytes(log.FileName()));
  EXPECT_NE(written.find(u"\tuLxPlayerDllExport finalization\r\n"), std::u16string::npos);
  EXPECT_EQ(written.find(u"finalization Failed"), std::u16string::npos);
}

}  // namespace
