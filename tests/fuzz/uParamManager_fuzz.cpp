// EncodeConfig.ini of any bytes, loaded as the program loads it: the
// parameter manager registers the four formats (each object reads its
// keys) and the task manager's settings are read.
//
// Input: ten bytes of settings to store, then the file's bytes.
//
// Properties: every format registers with its fixed id; what was loaded,
// saved and loaded again is what was loaded; settings chosen by the user,
// saved and loaded come back; saving never fails on a writable file.
#include <array>
#include <memory>
#include <string>

#include "engine/uTaskSettings.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "tests/fuzz/uFuzzSupport.h"

namespace {

constexpr std::array<TFormatType, 4> CountedFormats{ftMP3, ftAPE, ftFLAC, ftWAV};

// Everything a user can set and the file keeps.
struct TSettings {
  std::array<uint8_t, 5> Mp3{};  // mode, bitrate mode, CBR, ABR, VBR
  uint8_t Ape = 0;
  uint8_t Flac = 0;
  uint8_t Wav = 0;
  std::array<uint8_t, 3> General{};  // DelAftSucc, InsAftSucc, AutoRead of MP3's object
  std::u16string DestPath;
  int32_t TipShow = 0;
  bool operator==(const TSettings&) const = default;
};

// A manager as the task manager sets it up. The codec library loads it
// counts are given back when it goes; the process keeps its own load, so
// that the library stays mapped for the whole run.
class TConfig {
public:
  TConfig() {
    for (const char* Extension : {".mp3", ".ape", ".wav", ".flac"})
      FUZZ_CHECK(FManager.Register(std::string(Extension)));
  }
  ~TConfig() {
    for (TFormatType Format : CountedFormats)
      ReleaseCodecLibrary(Format);
  }

  TMp3Param& Mp3() { return Get<TMp3Param>(0); }
  TApeParam& Ape() { return Get<TApeParam>(1); }
  TWavParam& Wav() { return Get<TWavParam>(2); }
  TFlacParam& Flac() { return Get<TFlacParam>(3); }

  TSettings Read() {
    TSettings S;
    S.Mp3 = {Mp3().FMode, Mp3().FBitRateMode, Mp3().FCbrIndex, Mp3().FAbrIndex, Mp3().FVbrIndex};
    S.Ape = Ape().FQuality;
    S.Flac = Flac().FQuality;
    S.Wav = Wav().FOutputBps;
    S.General = {Mp3().FDelAftSucc, Mp3().FInsAftSucc, Mp3().FAutoRead};
    S.DestPath = u"(default)";
    LoadTaskSettings(S.DestPath, S.TipShow);
    // Every object reads the same [General] keys.
    for (TEncodeParam* Param :
         {(TEncodeParam*)&Ape(), (TEncodeParam*)&Wav(), (TEncodeParam*)&Flac()})
      FUZZ_CHECK(Param->FDelAftSucc == S.General[0] && Param->FInsAftSucc == S.General[1] &&
                 Param->FAutoRead == S.General[2]);
    return S;
  }

  // Saved in the order of the dialog's buttons and the window's close.
  void Save(const TSettings& S) {
    Mp3().FMode = S.Mp3[0], Mp3().FBitRateMode = S.Mp3[1], Mp3().FCbrIndex = S.Mp3[2];
    Mp3().FAbrIndex = S.Mp3[3], Mp3().FVbrIndex = S.Mp3[4];
    Ape().FQuality = S.Ape;
    Flac().FQuality = S.Flac;
    Wav().FOutputBps = S.Wav;
    for (TEncodeParam* Param : {(TEncodeParam*)&Mp3(), (TEncodeParam*)&Ape(), (TEncodeParam*)&Wav(),
                                (TEncodeParam*)&Flac()}) {
      Param->FDelAftSucc = S.General[0], Param->FInsAftSucc = S.General[1];
      Param->FAutoRead = S.General[2];
      Param->SaveToFile();
    }
    // Only a folder read with a line break or a zero byte in it (which no
    // INI line can hold) may fail to be stored.
    FUZZ_CHECK(SaveTaskSettings(S.DestPath, S.TipShow) ||
               S.DestPath.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos);
  }

private:
  template <class T> T& Get(int32_t Id) {
    auto* Param = dynamic_cast<T*>(FManager.FindById(Id));
    FUZZ_CHECK(Param != nullptr);
    return *Param;
  }

  TParamManager FManager;
};

void HoldCodecLibraryOnce() {
  static const bool Held = [] {
    for (TFormatType Format : CountedFormats)
      FUZZ_CHECK(LoadCodecLibrary(Format));
    return true;
  }();
  (void)Held;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const auto File = morvofuzz::ScratchDir() / "EncodeConfig.ini";
  HoldCodecLibraryOnce();
  morvofuzz::TFuzzInput Input(Data, Size);
  TSettings Chosen;
  for (uint8_t& Value : Chosen.Mp3)
    Value = Input.Byte();
  Chosen.Ape = Input.Byte(), Chosen.Flac = Input.Byte(), Chosen.Wav = Input.Byte();
  const uint8_t Flags = Input.Byte();
  Chosen.General = {uint8_t(Flags & 1), uint8_t((Flags >> 1) & 1), uint8_t((Flags >> 2) & 1)};
  Chosen.TipShow = Input.Byte() % 2;
  Chosen.DestPath = u"/music/转换/";
  morvofuzz::WriteFile(File, Input.Rest());

  TSettings Loaded;
  {
    TConfig Config;
    Loaded = Config.Read();
    Config.Save(Loaded);
  }
  {
    TConfig Config;
    TSettings Again = Config.Read();
    // A folder that the reader hands out changed (quotes, blanks, length)
    // cannot come back as it was.
    if (!morvofuzz::IniValueReadsBack(platform::WideToAnsi(Loaded.DestPath)))
      Again.DestPath = Loaded.DestPath;
    FUZZ_CHECK(Again == Loaded);
    Config.Save(Chosen);
  }
  TConfig Config;
  FUZZ_CHECK(Config.Read() == Chosen);
  return 0;
}
