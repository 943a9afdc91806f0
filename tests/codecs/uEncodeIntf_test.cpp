#include "codecs/uEncodeIntf.h"

#include <gtest/gtest.h>

#include "tests/codecs/TestSupport.h"

using namespace testing_codecs;

namespace {

// Every test starts and ends with nothing counted or loaded.
struct CodecLibraries : ::testing::Test {
  TPlayerFolder Player;
  TTempDir Empty;
  void TearDown() override {
    FinalizeCodecLibraries();
    EXPECT_FALSE(IsMapped(FullPlayerDir() / "libcodecs.so"));
    EXPECT_FALSE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  }
};

TEST_F(CodecLibraries, AFailedLoadStillCountsAndItsReleaseUnloadsNothing) {
  Player.PublishInBlock(Empty.Path().u16string());
  EXPECT_FALSE(LoadCodecLibrary(ftMP3));
  EXPECT_EQ(CodecLibraryUseCount(ftMP3), 1);
  EXPECT_FALSE(IsCodecLibraryLoaded(ftMP3));
  // The loader's reason names the file it looked for.
  const std::string reason = CodecLibraryLoadError(ftMP3);
  EXPECT_NE(reason.find((Empty.Path() / "libcodecs.so").string()), std::string::npos) << reason;
  EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;
  ReleaseCodecLibrary(ftMP3);
  EXPECT_EQ(CodecLibraryUseCount(ftMP3), 0);
  ReleaseCodecLibrary(ftMP3);
  EXPECT_EQ(CodecLibraryUseCount(ftMP3), 0) << "never below zero";
}

TEST_F(CodecLibraries, ALibraryWithoutTheClassObjectEntryIsRefused) {
  Player.PublishInBlock(PartialPlayerDir().u16string());
  EXPECT_FALSE(LoadCodecLibrary(ftFLAC));
  EXPECT_EQ(CodecLibraryUseCount(ftFLAC), 1);
  EXPECT_FALSE(IsMapped(PartialPlayerDir() / "libcodecs.so"));
  EXPECT_NE(CodecLibraryLoadError(ftFLAC).find("DllGetClassObject"), std::string::npos)
      << CodecLibraryLoadError(ftFLAC);
  IEncoder* encoder = nullptr;
  IUnknown* param = nullptr;
  EXPECT_FALSE(CreateEncoder(ftFLAC, encoder, param));
  EXPECT_EQ(encoder, nullptr);
}

TEST_F(CodecLibraries, TheModuleStaysWhileAnyLoadOfItsTypeIsCounted) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  const fs::path library = FullPlayerDir() / "libcodecs.so";
  ASSERT_TRUE(LoadCodecLibrary(ftAPE));
  ASSERT_TRUE(LoadCodecLibrary(ftAPE));
  EXPECT_EQ(CodecLibraryLoadError(ftAPE), "");
  EXPECT_EQ(CodecLibraryUseCount(ftAPE), 2);
  EXPECT_TRUE(IsMapped(library));
  ReleaseCodecLibrary(ftAPE);
  EXPECT_TRUE(IsCodecLibraryLoaded(ftAPE));
  EXPECT_TRUE(IsMapped(library));
  ReleaseCodecLibrary(ftAPE);
  EXPECT_FALSE(IsCodecLibraryLoaded(ftAPE));
  EXPECT_FALSE(IsMapped(library));
}

TEST_F(CodecLibraries, EachTypeHoldsItsOwnLoadOfTheSameFile) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  ASSERT_TRUE(LoadCodecLibrary(ftMP3));
  ASSERT_TRUE(LoadCodecLibrary(ftFLAC));
  ReleaseCodecLibrary(ftMP3);
  EXPECT_FALSE(IsCodecLibraryLoaded(ftMP3));
  EXPECT_TRUE(IsMapped(FullPlayerDir() / "libcodecs.so")) << "FLAC still holds it";
  EXPECT_FALSE(LoadCodecLibrary(4));
  EXPECT_EQ(CodecLibraryUseCount(4), 0);
}

TEST_F(CodecLibraries, FinalizationReleasesEveryCountedLoad) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  for (TFormatType type : {ftMP3, ftAPE, ftAPE, ftFLAC})
    ASSERT_TRUE(LoadCodecLibrary(type));
  ASSERT_TRUE(LoadCpuControlLibrary());
  ASSERT_TRUE(LoadCpuControlLibrary());
  FinalizeCodecLibraries();
  for (TFormatType type : {ftMP3, ftAPE, ftFLAC})
    EXPECT_EQ(CodecLibraryUseCount(type), 0);
  EXPECT_EQ(CpuControlLibraryUseCount(), 0);
  EXPECT_EQ(CpuControlFactory(), nullptr);
}

TEST_F(CodecLibraries, WavNeedsNoLibraryAndIsNeverCounted) {
  Player.PublishInBlock(Empty.Path().u16string());
  EXPECT_TRUE(LoadCodecLibrary(ftWAV));
  EXPECT_EQ(CodecLibraryUseCount(ftWAV), 0);
  IEncoder* encoder = nullptr;
  IUnknown* param = nullptr;
  ASSERT_TRUE(CreateEncoder(ftWAV, encoder, param));
  ASSERT_NE(encoder, nullptr);
  static_cast<IWavEncoderParam*>(param)->SetOutputBits(3, 16);  // the slot answers
  // Our own reference shows whether CreateEncoder lets go of the old outputs.
  IEncoder* held = encoder;
  EXPECT_EQ(held->AddRef(), 3u);
  EXPECT_FALSE(CreateEncoder(4, encoder, param));
  EXPECT_EQ(encoder, nullptr);
  EXPECT_EQ(param, nullptr);
  EXPECT_EQ(held->Release(), 0u);
}

TEST_F(CodecLibraries, LibraryEncodersComeWithTheirFormatsParameterInterface) {
  Player.PublishInBlock(FullPlayerDir().u16string());
  IEncoder* encoder = nullptr;
  IUnknown* param = nullptr;
  EXPECT_FALSE(CreateEncoder(ftAPE, encoder, param)) << "no earlier load, no encoder";
  ASSERT_TRUE(LoadCodecLibrary(ftAPE));
  ASSERT_TRUE(CreateEncoder(ftAPE, encoder, param));
  static_cast<IApeEncoderParam*>(param)->SetCompressionLevel(4000);

  TTempDir dir;
  TFileCallback callback(dir.Path() / "x.ape");
  const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  ASSERT_EQ(encoder->Init(&callback, &format), 0);
  encoder->Encode("abcd", 4);
  encoder->Finish();
  EXPECT_EQ(encoder->Release(), 1u);
  EXPECT_EQ(param->Release(), 0u);
  encoder = nullptr;
  param = nullptr;
  callback.Close();
  const std::vector<uint8_t> bytes =
      morvotest::ReadBytes<std::vector<uint8_t>>(dir.Path() / "x.ape");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "TESTabcdLEVEL=4000");

  ASSERT_TRUE(LoadCodecLibrary(ftMP3));
  ASSERT_TRUE(CreateEncoder(ftMP3, encoder, param));
  EXPECT_EQ(static_cast<ILameStreamEncoder*>(param)->SetBitrate(192), 0);
  encoder->Release();
  param->Release();
}

TEST_F(CodecLibraries, CpuControlLoadIsCountedAndResolvesOrdinalSix) {
  Player.PublishInBlock(PartialPlayerDir().u16string());
  EXPECT_FALSE(LoadCpuControlLibrary()) << "ordinal 6 missing";
  EXPECT_EQ(CpuControlFactory(), nullptr);
  ReleaseCpuControlLibrary();

  Player.PublishInBlock(FullPlayerDir().u16string());
  ASSERT_TRUE(LoadCpuControlLibrary());
  ASSERT_TRUE(LoadCpuControlLibrary());
  ASSERT_NE(CpuControlFactory(), nullptr);
  IThreadCpuUsageControl* control = nullptr;
  CpuControlFactory()(&control);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->SetCpuLimit(30), 30);
  control->Release();
  ReleaseCpuControlLibrary();
  EXPECT_TRUE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  ReleaseCpuControlLibrary();
  EXPECT_FALSE(IsMapped(FullPlayerDir() / "libLxPlayer.so"));
  EXPECT_EQ(CpuControlFactory(), nullptr);
}

}  // namespace
