#include "params/uEncodeParam.h"

#include <climits>
#include <cmath>
#include <string>

#include "infra/uMessages.h"
#include "platform/uCodePage.h"
#include "platform/uFileIO.h"
#include "platform/uProfile.h"

namespace {

constexpr const char* SectionGeneral = "General";
constexpr const char* SectionMp3 = "MP3";
constexpr const char* SectionApe = "APE";
constexpr const char* SectionFlac = "FLAC";
constexpr const char* SectionWav = "Wav";

constexpr const char* Mp3ModePrefixes[] = {TrNoop("Mode:立体声; "), TrNoop("Mode:混合立体声; "),
                                           TrNoop("Mode:单声道;"), TrNoop("Mode:双声道;")};
constexpr const char* Mp3BitRatePatterns[] = {"CBR:%sKbps", "ABR:%sKbps", "VBR:%s"};
constexpr const char* ApeQualityPattern = TrNoop("编码器V1.02,压缩级别: %s");
constexpr const char* FlacQualityPrefix = TrNoop("Free Lossless Audio Codec，压缩级别");
constexpr const char* WavQualityTexts[WavOutputChoices] = {
    TrNoop("Wav编码输出，原始比特"), TrNoop("Wav编码输出，8Bits"), TrNoop("Wav编码输出，16Bits"),
    TrNoop("Wav编码输出，24Bits")};

// Pattern with its one "%s" replaced by Value (a value holding "%" stays as it is).
std::string FillPattern(std::string_view Pattern, const std::string& Value) {
  std::string Text(Pattern);
  const size_t Place = Text.find("%s");
  if (Place != std::string::npos) Text.replace(Place, 2, Value);
  return Text;
}

// The abstract base makes no objects.
std::unique_ptr<TEncodeParam> NoInstance(const std::u16string&) { return nullptr; }

}  // namespace

// A quality text in the user's language, in the system's code page.
std::string SystemText(std::string_view Utf8) {
  std::string Shown = Tr(Utf8);
  if (platform::AnsiIsUtf8()) return Shown;
  return platform::WideToAnsi(platform::Utf8ToWide(Shown));
}

double SamplesPerChannel(int64_t PcmBytes, int32_t BitsPerSample, int32_t Channels) {
  if (BitsPerSample == 0 || Channels == 0) return 0;
  return static_cast<double>(PcmBytes) / (BitsPerSample / 8.0) / Channels;
}

int32_t RoundSampleCount(double Samples) {
  if (!(Samples > 0)) return 0;  // also NaN
  if (Samples >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(std::nearbyint(Samples));
}

// ---------------------------------------------------------------------------
// TEncodeParam

const TEncodeParamClass& TEncodeParam::Class() {
  static const TEncodeParamClass Class{"TEncodeParam", 0xFF, &TEncodeParam::IsEncoderAvailable,
                                       &NoInstance};
  return Class;
}

TEncodeParam::TEncodeParam(const std::u16string& ConfigFile) : FConfigFile(ConfigFile) {}

TEncodeParam::~TEncodeParam() = default;

std::string TEncodeParam::GetQualityText(const std::string& Value) const { return Value; }

void TEncodeParam::ResetToDefault() {
  SetDefaults();
  Changed();
  FDelAftSucc = 0;
  FInsAftSucc = 0;
  FAutoRead = 0;
  SaveToFile();
}

void TEncodeParam::Changed() {
  BuildQualityList();
  FireChanged();
}

void TEncodeParam::FireChanged() const {
  if (FOnChanged) FOnChanged(ClassType().FormatType);
}

bool TEncodeParam::ConfigFileExists() const {
  const uint32_t Attributes = platform::GetFileAttributesW(FConfigFile);
  return Attributes != platform::INVALID_FILE_ATTRIBUTES &&
         !(Attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

uint8_t TEncodeParam::ReadByte(const char* Section, const char* Key, int32_t Default) const {
  return static_cast<uint8_t>(platform::GetPrivateProfileInt(Section, Key, Default, FConfigFile) &
                              0xFF);
}

void TEncodeParam::WriteInt(const char* Section, const char* Key, int32_t Value) const {
  if (!platform::WritePrivateProfileString(Section, Key, std::to_string(Value), FConfigFile))
    throw EIniFileException("Unable to write to " + platform::WideToAnsi(FConfigFile));
}

void TEncodeParam::LoadGeneral() {
  FDelAftSucc = ReadByte(SectionGeneral, "DelAftSucc", 0);
  FInsAftSucc = ReadByte(SectionGeneral, "InsAftSucc", 0);
  FAutoRead = ReadByte(SectionGeneral, "AutoRead", 0);
}

void TEncodeParam::SaveGeneral() const {
  WriteInt(SectionGeneral, "DelAftSucc", FDelAftSucc);
  WriteInt(SectionGeneral, "InsAftSucc", FInsAftSucc);
  WriteInt(SectionGeneral, "AutoRead", FAutoRead);
}

// ---------------------------------------------------------------------------
// TMp3Param

const TEncodeParamClass& TMp3Param::Class() {
  static const TEncodeParamClass Class{"TMp3Param", ftMP3, &TMp3Param::IsEncoderAvailable,
                                       &TEncodeParam::Construct<TMp3Param>};
  return Class;
}

bool TMp3Param::IsEncoderAvailable() { return LoadCodecLibrary(ftMP3); }

std::string TMp3Param::GetQualityText(const std::string& Value) const {
  if (FBitRateMode >= std::size(Mp3BitRatePatterns)) return {};
  const std::string Prefix =
      FMode < std::size(Mp3ModePrefixes) ? SystemText(Mp3ModePrefixes[FMode]) : "";
  return Prefix + FillPattern(Mp3BitRatePatterns[FBitRateMode], Value);
}

const TStringList& TMp3Param::BuildQualityList() {
  FQualityList.clear();
  if (FBitRateMode == 0 || FBitRateMode == 1) {
    for (const int32_t Kbps : Mp3Bitrates)
      FQualityList.push_back(GetQualityText(std::to_string(Kbps)));
  } else if (FBitRateMode == 2) {
    for (const char* Preset : Mp3VbrPresetNames)
      FQualityList.push_back(GetQualityText(Preset));
  }
  return FQualityList;
}

void TMp3Param::LoadFromFile() {
  if (!ConfigFileExists()) return;
  LoadGeneral();
  FMode = ReadByte(SectionMp3, "Mp3Mode", 0);
  FBitRateMode = ReadByte(SectionMp3, "BitRateMode", 0);
  FCbrIndex = ReadByte(SectionMp3, "Mp3CBR", 3);
  FAbrIndex = ReadByte(SectionMp3, "Mp3ABR", 3);
  FVbrIndex = ReadByte(SectionMp3, "Mp3VBR", 4);
}

void TMp3Param::SetDefaults() {
  FMode = 0;
  FCbrIndex = 3;
  FAbrIndex = 3;
  FVbrIndex = 4;
  FBitRateMode = 0;
}

void TMp3Param::SaveToFile() {
  SaveGeneral();
  WriteInt(SectionMp3, "Mp3Mode", FMode);
  WriteInt(SectionMp3, "BitRateMode", FBitRateMode);
  WriteInt(SectionMp3, "Mp3CBR", FCbrIndex);
  WriteInt(SectionMp3, "Mp3ABR", FAbrIndex);
  WriteInt(SectionMp3, "Mp3VBR", FVbrIndex);
}

int32_t TMp3Param::ChannelModeCode() const {
  return Mp3ChannelModeCodes[ClampIndex(FMode, Mp3ChannelModeCodes.size())];
}

int32_t TMp3Param::CbrBitrate() const {
  return Mp3Bitrates[ClampIndex(FCbrIndex, Mp3Bitrates.size())];
}

int32_t TMp3Param::AbrBitrate() const {
  return Mp3Bitrates[ClampIndex(FAbrIndex, Mp3Bitrates.size())];
}

int32_t TMp3Param::VbrPresetCode() const {
  return Mp3VbrPresetBase + static_cast<int32_t>(ClampIndex(FVbrIndex, Mp3VbrPresetNames.size()));
}

int32_t TMp3Param::ChosenBitrate() const { return FBitRateMode == 1 ? AbrBitrate() : CbrBitrate(); }

void TMp3Param::ApplyBitrateTo(ILameStreamEncoder& Encoder) const {
  Encoder.SetChannelMode(ChannelModeCode());
  switch (FBitRateMode) {
  case 0:
  case 1:
    Encoder.SetBitrateMode(FBitRateMode);
    Encoder.SetBitrate(ChosenBitrate());
    break;
  case 2:
    Encoder.SetBitrateMode(2);
    Encoder.SetVbrPreset(VbrPresetCode());
    break;
  default:  // an unknown mode leaves the encoder's own mode and gets the CBR rate
    Encoder.SetBitrate(CbrBitrate());
  }
}

void TMp3Param::ApplySampleCount(ILameStreamEncoder& Encoder, double SamplesPerChannel) {
  Encoder.SetSampleCount(RoundSampleCount(SamplesPerChannel));
}

// ---------------------------------------------------------------------------
// TApeParam

const TEncodeParamClass& TApeParam::Class() {
  static const TEncodeParamClass Class{"TApeParam", ftAPE, &TApeParam::IsEncoderAvailable,
                                       &TEncodeParam::Construct<TApeParam>};
  return Class;
}

bool TApeParam::IsEncoderAvailable() { return LoadCodecLibrary(ftAPE); }

std::string TApeParam::GetQualityText(const std::string& Value) const {
  return FillPattern(SystemText(ApeQualityPattern), Value);
}

const TStringList& TApeParam::BuildQualityList() {
  FQualityList.clear();
  FQualityList.push_back(
      GetQualityText(SystemText(ApeLevelNames[ClampIndex(FQuality, ApeLevelNames.size())])));
  return FQualityList;
}

void TApeParam::LoadFromFile() {
  if (!ConfigFileExists()) return;
  LoadGeneral();
  // 0, not the constructor's 1: a file without the key means the fastest level.
  FQuality = ReadByte(SectionApe, "Qulity", 0);
}

void TApeParam::SetDefaults() { FQuality = 1; }

void TApeParam::SaveToFile() {
  SaveGeneral();
  WriteInt(SectionApe, "Qulity", FQuality);
}

int32_t TApeParam::CompressionLevelCode() const {
  return ApeLevelCodes[ClampIndex(FQuality, ApeLevelCodes.size())];
}

void TApeParam::ApplyTo(IApeEncoderParam& Encoder) const {
  Encoder.SetCompressionLevel(CompressionLevelCode());
}

// ---------------------------------------------------------------------------
// TFlacParam

const TEncodeParamClass& TFlacParam::Class() {
  static const TEncodeParamClass Class{"TFlacParam", ftFLAC, &TFlacParam::IsEncoderAvailable,
                                       &TEncodeParam::Construct<TFlacParam>};
  return Class;
}

bool TFlacParam::IsEncoderAvailable() { return LoadCodecLibrary(ftFLAC); }

const TStringList& TFlacParam::BuildQualityList() {
  FQualityList.clear();
  const std::string Prefix = SystemText(FlacQualityPrefix);
  for (int Level = 0; Level < FlacLevelCount; ++Level)
    FQualityList.push_back(GetQualityText(Prefix + std::to_string(Level)));
  return FQualityList;
}

void TFlacParam::LoadFromFile() {
  if (!ConfigFileExists()) return;
  LoadGeneral();
  FQuality = ReadByte(SectionFlac, "Qulity", 1);
}

void TFlacParam::SetDefaults() { FQuality = 1; }

void TFlacParam::SaveToFile() {
  SaveGeneral();
  WriteInt(SectionFlac, "Qulity", FQuality);
}

int32_t TFlacParam::CompressionLevel() const {
  return static_cast<int32_t>(ClampIndex(FQuality, FlacLevelCount));
}

void TFlacParam::ApplyTo(IFlacEncoderParam& Encoder, double SamplesPerChannel) const {
  Encoder.SetCompressionLevel(CompressionLevel());
  Encoder.SetSampleCount(RoundSampleCount(SamplesPerChannel * 101 / 100));
}

// ---------------------------------------------------------------------------
// TWavParam

const TEncodeParamClass& TWavParam::Class() {
  static const TEncodeParamClass Class{"TWavParam", ftWAV, &TWavParam::IsEncoderAvailable,
                                       &TEncodeParam::Construct<TWavParam>};
  return Class;
}

const TStringList& TWavParam::BuildQualityList() {
  FQualityList.clear();
  for (const char* Text : WavQualityTexts)
    FQualityList.push_back(GetQualityText(SystemText(Text)));
  return FQualityList;
}

void TWavParam::LoadFromFile() {
  if (!ConfigFileExists()) return;
  LoadGeneral();
  FOutputBps = ReadByte(SectionWav, "OutputBps", 0);
}

void TWavParam::SetDefaults() { FOutputBps = 0; }

void TWavParam::SaveToFile() {
  SaveGeneral();
  WriteInt(SectionWav, "OutputBps", FOutputBps);
}

int32_t TWavParam::OutputChoice() const {
  return static_cast<int32_t>(ClampIndex(FOutputBps, WavOutputChoices));
}

// Choice 0, "原始比特", keeps the width the source decodes to.
void TWavParam::ApplyTo(IWavEncoderParam& Encoder, int32_t FallbackBits) const {
  Encoder.SetOutputBits(FOutputBps, FallbackBits);
}
