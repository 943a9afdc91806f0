// What the user chose for each target format: one parameter object per
// format (MP3, APE, FLAC, WAV) with the format's encoder settings and the
// three after-conversion options every format carries. Each object reads
// and writes its keys of EncodeConfig.ini, builds the entries of the main
// window's quality box, and hands its settings to the encoder through the
// codec interfaces.
//
// Threading: objects are created, changed and saved on the main thread. A
// worker reads the fields of its task's object while it sets up an encoder,
// without a lock (the fields are single bytes and do not change while a run
// is in progress). Ownership: the parameter manager owns every object; an
// object owns its quality list.
//
// Values out of range: the fields keep what the file holds (the low 8 bits
// of the number read), so a save writes back what was read. Wherever a
// field selects an entry of one of the tables below, the index is clamped
// into the table (a value above the last index uses the last entry); no
// table is ever indexed with the raw value.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/uEncodeIntf.h"
#include "infra/uMessages.h"

// Raised by SaveToFile (and so ResetToDefault) with the text
// "Unable to write to <file>" (system code page) when a key cannot be
// written; the keys written before it stay written.
class EIniFileException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An ordered list of texts in the system code page.
class TStringList : public std::vector<std::string> {
public:
  using std::vector<std::string>::vector;
};
// Tells the owner which format's parameters changed.
using TParamChangedEvent = std::function<void(TFormatType FormatType)>;

// ---------------------------------------------------------------------------
// Constant tables

// kbit/s, index 0..11, shared by CBR and ABR.
inline constexpr std::array<int32_t, 12> Mp3Bitrates{320, 256, 224, 192, 160, 128,
                                                     112, 96,  80,  64,  40,  32};
// The encoder receives Mp3VbrPresetBase + index (the LAME preset codes).
inline constexpr std::array<const char*, 8> Mp3VbrPresetNames{
    "R3Mix",         "Standard",     "Extreme", "Insane",
    "Fast Standard", "Fast Extreme", "Medium",  "Fast Medium"};
inline constexpr int32_t Mp3VbrPresetBase = 1000;
// LAME/MPEG mode numbers for stereo, joint stereo, mono (by FMode 0..2).
inline constexpr std::array<int32_t, 3> Mp3ChannelModeCodes{0, 1, 3};
// UTF-8 here; handed out in the system code page.
inline constexpr std::array<const char*, 5> ApeLevelNames{
    TrNoop("快速"), TrNoop("正常"), TrNoop("较高"), TrNoop("极高"), TrNoop("疯狂")};
// Monkey's Audio levels fast .. insane.
inline constexpr std::array<int32_t, 5> ApeLevelCodes{1000, 2000, 3000, 4000, 5000};
inline constexpr uint8_t FlacLevelCount = 9;    // levels 0..8
inline constexpr uint8_t WavOutputChoices = 4;  // 0 original width, 1 8, 2 16, 3 24 bits

// Index clamped into a table of Count entries.
constexpr size_t ClampIndex(uint8_t Value, size_t Count) {
  return Value < Count ? Value : Count - 1;
}

// ---------------------------------------------------------------------------
// Class references

class TEncodeParam;

// What the parameter manager keeps of a class: the class operations that
// stand in the first and fourth slot of the family (IsEncoderAvailable and
// the constructor), which C++ cannot make virtual.
struct TEncodeParamClass {
  const char* ClassName;
  TFormatType FormatType;
  // Slot 0: the format's encoder can be obtained (counts a codec library load).
  bool (*IsEncoderAvailable)();
  // Slot 3: a new object that has read the file and built its quality list.
  // Null for the abstract base.
  std::unique_ptr<TEncodeParam> (*Create)(const std::u16string& ConfigFile);
};

// ---------------------------------------------------------------------------
// The family

class TEncodeParam {
public:
  static const TEncodeParamClass& Class();
  static bool IsEncoderAvailable() { return false; }

  virtual ~TEncodeParam();
  TEncodeParam(const TEncodeParam&) = delete;
  TEncodeParam& operator=(const TEncodeParam&) = delete;

  virtual const TEncodeParamClass& ClassType() const = 0;

  // The remaining operations of the family, in slot order.
  // Slot 1: the display text of a quality entry (Value in the system code page).
  virtual std::string GetQualityText(const std::string& Value) const;
  // Slot 2: rebuilds FQualityList and returns it.
  virtual const TStringList& BuildQualityList() = 0;
  // Slot 4: reads the keys when the configuration file exists.
  virtual void LoadFromFile() = 0;
  // Slot 5: defaults, Changed, then the three options cleared and the file
  // saved. Raises EIniFileException.
  virtual void ResetToDefault();
  // Slot 6: writes [General] and the class's own keys. Raises EIniFileException.
  virtual void SaveToFile() = 0;
  // Slot 7: rebuilds the quality list and fires FOnChanged. All four formats
  // fire it: after a reset of FLAC or WAV the selected entry changes too, and
  // the main window's quality box should show that at once.
  virtual void Changed();

  // Fields, read and written directly by the window, the dialog and the
  // worker. Who changes one calls Changed when the quality list must follow.
  uint8_t FDelAftSucc = 0;  // delete the source after a successful conversion
  uint8_t FInsAftSucc = 0;  // add the target to the player's playlist after success
  uint8_t FAutoRead = 0;    // read tags automatically: stored only, nothing acts on it
  // EncodeConfig.ini. Kept wide so that any folder name works; the system
  // code page form is used only in the error text.
  std::u16string FConfigFile;
  TStringList FQualityList;
  TParamChangedEvent FOnChanged;

protected:
  explicit TEncodeParam(const std::u16string& ConfigFile);

  // The format's own fields back to what a new object holds (ResetToDefault).
  virtual void SetDefaults() = 0;

  // Construction as the class reference's Create does it: the descendant's
  // defaults (its constructor), the base's, then the file and the list.
  template <class T>
  static std::unique_ptr<TEncodeParam> Construct(const std::u16string& ConfigFile) {
    std::unique_ptr<TEncodeParam> Param(new T(ConfigFile));
    Param->LoadFromFile();
    Param->BuildQualityList();
    return Param;
  }

  // EncodeConfig.ini exists and is not a folder.
  bool ConfigFileExists() const;
  // The low 8 bits of an integer key.
  uint8_t ReadByte(const char* Section, const char* Key, int32_t Default) const;
  void WriteInt(const char* Section, const char* Key, int32_t Value) const;
  void LoadGeneral();
  void SaveGeneral() const;
  void FireChanged() const;
};

// MP3 through LAME: channel mode and one of three bitrate modes.
class TMp3Param : public TEncodeParam {
public:
  static const TEncodeParamClass& Class();
  static bool IsEncoderAvailable();

  const TEncodeParamClass& ClassType() const override { return Class(); }
  std::string GetQualityText(const std::string& Value) const override;
  const TStringList& BuildQualityList() override;
  void LoadFromFile() override;
  void SaveToFile() override;

  // What reaches the encoder (indexes clamped into their tables).
  int32_t ChannelModeCode() const;
  int32_t CbrBitrate() const;
  int32_t AbrBitrate() const;
  int32_t VbrPresetCode() const;
  // Every mode but VBR hands the encoder a bitrate (an unknown mode the CBR
  // entry), which the worker checks against the source.
  bool HasFixedBitrate() const { return FBitRateMode != 2; }
  // The bitrate SetBitrate receives: the ABR entry in ABR mode, else the CBR entry.
  int32_t ChosenBitrate() const;
  // Channel mode, bitrate mode, then bitrate or VBR preset; the worker
  // makes its bitrate checks and then calls ApplySampleCount.
  void ApplyBitrateTo(ILameStreamEncoder& Encoder) const;
  static void ApplySampleCount(ILameStreamEncoder& Encoder, double SamplesPerChannel);

  uint8_t FCbrIndex = 3;     // key Mp3CBR, bitrate index in CBR mode (192 kbit/s)
  uint8_t FAbrIndex = 3;     // key Mp3ABR, bitrate index in ABR mode
  uint8_t FMode = 0;         // key Mp3Mode: 0 stereo, 1 joint stereo, 2 mono
  uint8_t FVbrIndex = 4;     // key Mp3VBR, VBR preset index ("Fast Standard")
  uint8_t FBitRateMode = 0;  // key BitRateMode: 0 CBR, 1 ABR, 2 VBR

private:
  friend class TEncodeParam;
  using TEncodeParam::TEncodeParam;
  void SetDefaults() override;
};

// APE through our Monkey's Audio compatible encoder: compression level.
class TApeParam : public TEncodeParam {
public:
  static const TEncodeParamClass& Class();
  static bool IsEncoderAvailable();

  const TEncodeParamClass& ClassType() const override { return Class(); }
  std::string GetQualityText(const std::string& Value) const override;
  const TStringList& BuildQualityList() override;
  void LoadFromFile() override;
  void SaveToFile() override;

  int32_t CompressionLevelCode() const;  // 1000 .. 5000
  void ApplyTo(IApeEncoderParam& Encoder) const;

  uint8_t FQuality = 1;  // key Qulity, level index 0..4 ("正常")

private:
  friend class TEncodeParam;
  using TEncodeParam::TEncodeParam;
  void SetDefaults() override;
};

// FLAC through libFLAC: compression level.
class TFlacParam : public TEncodeParam {
public:
  static const TEncodeParamClass& Class();
  static bool IsEncoderAvailable();

  const TEncodeParamClass& ClassType() const override { return Class(); }
  const TStringList& BuildQualityList() override;
  void LoadFromFile() override;
  void SaveToFile() override;

  int32_t CompressionLevel() const;  // 0 .. 8
  // Level, then the expected sample count with 1 % to spare.
  void ApplyTo(IFlacEncoderParam& Encoder, double SamplesPerChannel) const;

  uint8_t FQuality = 1;  // key Qulity, level 0..8

private:
  friend class TEncodeParam;
  using TEncodeParam::TEncodeParam;
  void SetDefaults() override;
};

// WAV through the built-in encoder: output bit depth.
class TWavParam : public TEncodeParam {
public:
  static const TEncodeParamClass& Class();
  static bool IsEncoderAvailable() { return true; }

  const TEncodeParamClass& ClassType() const override { return Class(); }
  const TStringList& BuildQualityList() override;
  void LoadFromFile() override;
  void SaveToFile() override;

  int32_t OutputChoice() const;  // 0..3, the quality list's entry
  // The stored choice as it is (1..4 give 8, 16, 24, 32 bits; 0 and any
  // other value give FallbackBits, the source's own width).
  void ApplyTo(IWavEncoderParam& Encoder, int32_t FallbackBits) const;

  uint8_t FOutputBps = 0;  // key OutputBps: 0 original width, 1 8, 2 16, 3 24 bits

private:
  friend class TEncodeParam;
  using TEncodeParam::TEncodeParam;
  void SetDefaults() override;
};

// ---------------------------------------------------------------------------
// Helpers for the encoder set-up

// PCM byte count / (bits per sample / 8) / channels; 0 when either is 0.
double SamplesPerChannel(int64_t PcmBytes, int32_t BitsPerSample, int32_t Channels);
// Rounded half to even, limited to the 32 bits the interfaces carry.
int32_t RoundSampleCount(double Samples);
// A text of this source (UTF-8) in the user's language (the message
// catalog) and the system code page: what the quality lists show.
std::string SystemText(std::string_view Utf8);
