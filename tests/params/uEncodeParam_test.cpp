#include "params/uEncodeParam.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/uTestDir.h"

namespace {

// Stands for the codec library's parameter interfaces: records every call.
class TRecordingEncoder final : public ILameStreamEncoder,
                                public IApeEncoderParam,
                                public IFlacEncoderParam,
                                public IWavEncoderParam {
public:
  std::vector<std::string> Calls;

  HRESULT MORVO_STDCALL QueryInterface(const TGUID&, void** Object) override {
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t MORVO_STDCALL AddRef() override { return 1; }
  uint32_t MORVO_STDCALL Release() override { return 1; }
  int32_t MORVO_STDCALL SetBitrate(int32_t V) override { return Record("SetBitrate", V); }
  int32_t MORVO_STDCALL SetBitrateMode(int32_t V) override { return Record("SetBitrateMode", V); }
  int32_t MORVO_STDCALL Reserved1(int32_t V) override { return Record("Reserved1", V); }
  int32_t MORVO_STDCALL SetVbrPreset(int32_t V) override { return Record("SetVbrPreset", V); }
  int32_t MORVO_STDCALL Reserved2(int32_t V) override { return Record("Reserved2", V); }
  int32_t MORVO_STDCALL SetChannelMode(int32_t V) override { return Record("SetChannelMode", V); }
  int32_t MORVO_STDCALL SetSampleCount(int32_t V) override { return Record("SetSampleCount", V); }
  int32_t MORVO_STDCALL SetCompressionLevel(int32_t V) override {
    return Record("SetCompressionLevel", V);
  }
  void MORVO_STDCALL SetOutputBits(int32_t Choice, int32_t Fallback) override {
    Record("SetOutputBits", Choice);
    Record("Fallback", Fallback);
  }

private:
  int32_t Record(const char* Name, int32_t Value) {
    Calls.push_back(std::string(Name) + "(" + std::to_string(Value) + ")");
    return 0;
  }
};

using TCalls = std::vector<std::string>;

class EncodeParamTest : public ::testing::Test {
protected:
  TTestDir Dir;
  std::filesystem::path IniPath = Dir / "EncodeConfig.ini";

  template <class T> std::unique_ptr<T> Make() {
    auto Param = T::Class().Create(WidePath(Dir / "EncodeConfig.ini"));
    return std::unique_ptr<T>(static_cast<T*>(Param.release()));
  }
  void WriteIni(const std::string& Text) { WriteBytes(IniPath, Text); }
};

TEST_F(EncodeParamTest, WithoutAFileEveryFormatOffersItsDefaults) {
  const auto Mp3 = Make<TMp3Param>();
  ASSERT_EQ(Mp3->FQualityList.size(), 12u);
  EXPECT_EQ(Mp3->FCbrIndex, 3);
  EXPECT_EQ(Mp3->FQualityList[3], "Mode:立体声; CBR:192Kbps");
  EXPECT_EQ(Mp3->FQualityList[11], "Mode:立体声; CBR:32Kbps");

  EXPECT_EQ(Make<TApeParam>()->FQualityList, TStringList{"编码器V1.02,压缩级别: 正常"});

  const auto Flac = Make<TFlacParam>();
  ASSERT_EQ(Flac->FQualityList.size(), 9u);
  EXPECT_EQ(Flac->FQuality, 1);
  EXPECT_EQ(Flac->FQualityList[0], "Free Lossless Audio Codec，压缩级别0");
  EXPECT_EQ(Flac->FQualityList[8], "Free Lossless Audio Codec，压缩级别8");

  EXPECT_EQ(Make<TWavParam>()->FQualityList,
            (TStringList{"Wav编码输出，原始比特", "Wav编码输出，8Bits", "Wav编码输出，16Bits",
                         "Wav编码输出，24Bits"}));
  EXPECT_FALSE(std::filesystem::exists(IniPath));
}

TEST_F(EncodeParamTest, AFileWithOnlyGeneralAndMp3GivesApeTheFastestLevel) {
  WriteIni("[General]\nDelAftSucc=1\nInsAftSucc=1\nAutoRead=1\n[MP3]\nMp3Mode=1\n");
  const auto Ape = Make<TApeParam>();
  EXPECT_EQ(Ape->FQuality, 0);
  EXPECT_EQ(Ape->FQualityList, TStringList{"编码器V1.02,压缩级别: 快速"});
  const auto Flac = Make<TFlacParam>();
  EXPECT_EQ(Flac->FQuality, 1);
  EXPECT_EQ(Flac->FDelAftSucc + Flac->FInsAftSucc + Flac->FAutoRead, 3);
  EXPECT_EQ(Make<TMp3Param>()->FQualityList[0], "Mode:混合立体声; CBR:320Kbps");
}

TEST_F(EncodeParamTest, Mp3ModesAndBitrateModesShapeTheTexts) {
  WriteIni("[MP3]\nMp3Mode=2\nBitRateMode=1\nMp3ABR=5\n");
  auto Mp3 = Make<TMp3Param>();
  ASSERT_EQ(Mp3->FQualityList.size(), 12u);
  EXPECT_EQ(Mp3->FQualityList[5], "Mode:单声道;ABR:128Kbps");
  EXPECT_EQ(Mp3->ChosenBitrate(), 128);

  Mp3->FMode = 3;
  Mp3->FBitRateMode = 2;
  Mp3->Changed();
  ASSERT_EQ(Mp3->FQualityList.size(), 8u);
  EXPECT_EQ(Mp3->FQualityList[0], "Mode:双声道;VBR:R3Mix");
  Mp3->FMode = 0;
  Mp3->Changed();
  EXPECT_EQ(Mp3->FQualityList[4], "Mode:立体声; VBR:Fast Standard");
  Mp3->FMode = 4;  // no prefix for an unknown mode
  EXPECT_EQ(Mp3->GetQualityText("Insane"), "VBR:Insane");
}

TEST_F(EncodeParamTest, AnUnknownBitrateModeHasNoEntriesAndNoTexts) {
  WriteIni("[MP3]\nBitRateMode=3\nMp3CBR=0\n");
  const auto Mp3 = Make<TMp3Param>();
  EXPECT_TRUE(Mp3->FQualityList.empty());
  EXPECT_EQ(Mp3->GetQualityText("192"), "");
  TRecordingEncoder Encoder;
  Mp3->ApplyBitrateTo(Encoder);
  EXPECT_EQ(Encoder.Calls, (TCalls{"SetChannelMode(0)", "SetBitrate(320)"}));
  // The bitrate it hands on is checked against the source like any other.
  EXPECT_TRUE(Mp3->HasFixedBitrate());
  EXPECT_EQ(Mp3->ChosenBitrate(), 320);
  Mp3->FBitRateMode = 2;
  EXPECT_FALSE(Mp3->HasFixedBitrate());
}

TEST_F(EncodeParamTest, OutOfRangeValuesAreKeptButClampedWhereTheyIndexATable) {
  WriteIni("[General]\nDelAftSucc=yes\n[MP3]\nMp3Mode=7\nBitRateMode=1.5\nMp3CBR=200\nMp3ABR=0x5\n"
           "Mp3VBR=99\n[APE]\nQulity=9\n[FLAC]\nQulity=300\n[Wav]\nOutputBps=-1\n");
  const auto Mp3 = Make<TMp3Param>();
  EXPECT_EQ(Mp3->FCbrIndex, 200);
  EXPECT_EQ(Mp3->FAbrIndex, 5);
  EXPECT_EQ(Mp3->CbrBitrate(), 32);
  EXPECT_EQ(Mp3->AbrBitrate(), 128);
  EXPECT_EQ(Mp3->VbrPresetCode(), 1007);
  EXPECT_EQ(Mp3->ChannelModeCode(), 3);
  EXPECT_EQ(Mp3->FQualityList[0], "CBR:320Kbps");
  EXPECT_EQ(Mp3->FBitRateMode + Mp3->FDelAftSucc, 0);  // not numbers: the read defaults

  const auto Ape = Make<TApeParam>();
  EXPECT_EQ(Ape->FQualityList, TStringList{"编码器V1.02,压缩级别: 疯狂"});
  EXPECT_EQ(Ape->CompressionLevelCode(), 5000);
  const auto Flac = Make<TFlacParam>();
  EXPECT_EQ(Flac->FQuality, 300 & 0xFF);
  EXPECT_EQ(Flac->CompressionLevel(), 8);
  const auto Wav = Make<TWavParam>();
  EXPECT_EQ(Wav->FOutputBps, 255);
  EXPECT_EQ(Wav->OutputChoice(), 3);
}

TEST_F(EncodeParamTest, ValuesReachTheEncoderInOrder) {
  auto Mp3 = Make<TMp3Param>();
  TRecordingEncoder Cbr;
  Mp3->ApplyBitrateTo(Cbr);
  TMp3Param::ApplySampleCount(Cbr, SamplesPerChannel(1764000, 16, 2));
  EXPECT_EQ(Cbr.Calls, (TCalls{"SetChannelMode(0)", "SetBitrateMode(0)", "SetBitrate(192)",
                               "SetSampleCount(441000)"}));

  Mp3->FMode = 1;
  Mp3->FBitRateMode = 2;
  Mp3->FVbrIndex = 6;
  TRecordingEncoder Vbr;
  Mp3->ApplyBitrateTo(Vbr);
  EXPECT_EQ(Vbr.Calls, (TCalls{"SetChannelMode(1)", "SetBitrateMode(2)", "SetVbrPreset(1006)"}));

  TRecordingEncoder Ape;
  Make<TApeParam>()->ApplyTo(Ape);
  EXPECT_EQ(Ape.Calls, TCalls{"SetCompressionLevel(2000)"});

  TRecordingEncoder Flac;
  Make<TFlacParam>()->ApplyTo(Flac, SamplesPerChannel(1764000, 24, 2));  // 294000 samples
  EXPECT_EQ(Flac.Calls, (TCalls{"SetCompressionLevel(1)", "SetSampleCount(296940)"}));

  // The original width is the source's; a stored choice reaches the
  // encoder as it is, also one the quality list does not show.
  auto WavParam = Make<TWavParam>();
  TRecordingEncoder Wav;
  WavParam->ApplyTo(Wav, 24);
  EXPECT_EQ(Wav.Calls, (TCalls{"SetOutputBits(0)", "Fallback(24)"}));
  WavParam->FOutputBps = 4;
  TRecordingEncoder Wav32;
  WavParam->ApplyTo(Wav32, 16);
  EXPECT_EQ(Wav32.Calls, (TCalls{"SetOutputBits(4)", "Fallback(16)"}));
}

TEST(SampleCountTest, RoundsHalfToEvenAndGuardsZeroAndOverflow) {
  EXPECT_EQ(SamplesPerChannel(1000, 0, 2), 0);
  EXPECT_EQ(SamplesPerChannel(1000, 16, 0), 0);
  EXPECT_EQ(RoundSampleCount(SamplesPerChannel(9, 8, 2)), 4);   // 4.5
  EXPECT_EQ(RoundSampleCount(SamplesPerChannel(15, 8, 2)), 8);  // 7.5
  EXPECT_EQ(RoundSampleCount(SamplesPerChannel(int64_t{1} << 40, 8, 1)), INT32_MAX);
}

TEST_F(EncodeParamTest, ResetWritesTheDefaultsInReadingOrderAndTellsTheOwner) {
  WriteIni("[General]\nDelAftSucc=1\nInsAftSucc=1\nAutoRead=1\n[MP3]\nMp3VBR=7\n[APE]\nQulity=4\n"
           "[FLAC]\nQulity=6\n[Wav]\nOutputBps=2\n");
  std::vector<std::unique_ptr<TEncodeParam>> Params;
  Params.push_back(Make<TMp3Param>());
  Params.push_back(Make<TApeParam>());
  Params.push_back(Make<TFlacParam>());
  Params.push_back(Make<TWavParam>());
  for (const auto& Param : Params) {
    std::vector<TFormatType> Told;
    Param->FOnChanged = [&](TFormatType Type) { Told.push_back(Type); };
    Param->ResetToDefault();
    EXPECT_EQ(Told, std::vector<TFormatType>{Param->ClassType().FormatType});
    EXPECT_EQ(Param->FDelAftSucc + Param->FInsAftSucc + Param->FAutoRead, 0);
  }
  EXPECT_EQ(ReadBytes(IniPath),
            "[General]\nDelAftSucc=0\nInsAftSucc=0\nAutoRead=0\n[MP3]\nMp3VBR=4\n"
            "Mp3Mode=0\nBitRateMode=0\nMp3CBR=3\nMp3ABR=3\n[APE]\nQulity=1\n[FLAC]\nQulity=1\n"
            "[Wav]\nOutputBps=0\n");
  EXPECT_EQ(Make<TApeParam>()->FQualityList, TStringList{"编码器V1.02,压缩级别: 正常"});
}

TEST_F(EncodeParamTest, TheFourObjectsShareTheGeneralKeysAndTheLastSaveWins) {
  auto Mp3 = Make<TMp3Param>();
  auto Flac = Make<TFlacParam>();
  Mp3->FInsAftSucc = 1;
  Mp3->SaveToFile();
  Make<TWavParam>()->SaveToFile();
  Flac->SaveToFile();
  Flac->FInsAftSucc = 1;  // not saved
  EXPECT_EQ(Make<TMp3Param>()->FInsAftSucc, 0);
  EXPECT_EQ(Make<TApeParam>()->FInsAftSucc, 0);
}

TEST_F(EncodeParamTest, CommentsAndForeignKeysSurviveASave) {
  const std::string Head =
      "; written by hand\r\n[General]\r\nDestPath=D:\\Music\\\r\nDelAftSucc=1\r\n";
  const std::string Tail =
      "Extra=keep\r\nAutoRead=0\r\n\r\n[FLAC]\r\n; level\r\nQulity=5\r\n[Custom]\r\nA=B\r\n";
  WriteIni(Head + "InsAftSucc=0\r\n" + Tail);
  auto Flac = Make<TFlacParam>();
  Flac->FInsAftSucc = 1;
  Flac->FQuality = 7;
  Flac->SaveToFile();
  std::string Expected = Head + "InsAftSucc=1\r\n" + Tail;
  Expected.replace(Expected.find("Qulity=5"), 8, "Qulity=7");
  EXPECT_EQ(ReadBytes(IniPath), Expected);
}

TEST_F(EncodeParamTest, AKeyThatCannotBeWrittenRaisesTheErrorText) {
  const std::filesystem::path Folder = Dir / "EncodeConfig.ini";
  std::filesystem::create_directory(Folder);  // a folder where the file belongs
  auto Wav = Make<TWavParam>();
  EXPECT_EQ(Wav->FOutputBps, 0);  // a folder is no configuration file
  try {
    Wav->ResetToDefault();
    FAIL() << "no error raised";
  } catch (const EIniFileException& Error) {
    EXPECT_EQ(std::string(Error.what()), "Unable to write to " + Folder.string());
  }

  std::filesystem::remove(Folder);
  WriteIni("[Wav]\nOutputBps=1\n");
  std::filesystem::permissions(IniPath,
                               std::filesystem::perms::owner_read);  // read-only, also for root
  Wav = Make<TWavParam>();
  EXPECT_EQ(Wav->FOutputBps, 1);
  EXPECT_THROW(Wav->SaveToFile(), EIniFileException);
  EXPECT_EQ(ReadBytes(IniPath), "[Wav]\nOutputBps=1\n");
}

}  // namespace
