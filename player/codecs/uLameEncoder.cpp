#include "player/codecs/uLameEncoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <new>
#include <vector>

#include "player/codecs/uEncoderObject.h"

namespace {

constexpr int32_t kModeCbr = 0;
constexpr int32_t kModeAbr = 1;
constexpr int32_t kModeVbr = 2;
constexpr int32_t kNoChannelMode = -1;  // LAME picks one

class TLameEncoder final : public TEncoderObject<ILameStreamEncoder, IID_ILameStreamEncoder> {
public:
  TLameEncoder() = default;

  int32_t MORVO_STDCALL SetBitrate(int32_t Kbps) override { return Keep(FBitrate, Kbps); }
  int32_t MORVO_STDCALL SetBitrateMode(int32_t Mode) override { return Keep(FBitrateMode, Mode); }
  int32_t MORVO_STDCALL SetVbrPreset(int32_t Preset) override { return Keep(FVbrPreset, Preset); }
  int32_t MORVO_STDCALL SetChannelMode(int32_t Mode) override { return Keep(FChannelMode, Mode); }
  int32_t MORVO_STDCALL SetSampleCount(int32_t Samples) override {
    return Keep(FSampleCount, Samples);
  }

private:
  // The settings only take effect at Init: a setter stores and succeeds.
  static int32_t Keep(int32_t& Field, int32_t Value) {
    Field = Value;
    return 0;
  }

  ~TLameEncoder() override {
    if (FLame) lame_close(FLame);
  }

  bool AcceptsFormat(const WAVEFORMATEX& Format) const override {
    return Format.nChannels == 1 || Format.nChannels == 2;
  }

  bool Open() override {
    FLame = lame_init();
    if (!FLame) return false;
    ApplyStreamSettings();
    ApplyBitrateSettings();
    return lame_init_params(FLame) >= 0;
  }

  void ApplyStreamSettings() {
    lame_set_in_samplerate(FLame, int(FFormat.nSamplesPerSec));
    lame_set_num_channels(FLame, FFormat.nChannels);
    if (FSampleCount > 0) lame_set_num_samples(FLame, (unsigned long)FSampleCount);
    lame_set_mode(FLame, ChosenMode());
    // The first frame is reserved for the LAME/Xing information, written in
    // Close; a tag block in front of it would move it, so none is written.
    lame_set_bWriteVbrTag(FLame, 1);
    lame_set_write_id3tag_automatic(FLame, 0);
  }

  MPEG_mode ChosenMode() const {
    if (FFormat.nChannels == 1) return MONO;
    switch (FChannelMode) {
    case 0:
      return STEREO;
    case 1:
      return JOINT_STEREO;
    case 2:
      return DUAL_CHANNEL;
    case 3:
      return MONO;  // LAME mixes the two channels down
    default:
      return NOT_SET;
    }
  }

  void ApplyBitrateSettings() {
    // LAME rounds to the nearest bitrate MPEG allows for the output rate.
    const int kbps = FBitrate > 0 ? std::clamp(FBitrate, 8, 320) : 128;
    switch (FBitrateMode) {
    case kModeAbr:
      lame_set_VBR(FLame, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(FLame, kbps);
      break;
    case kModeVbr:
      lame_set_VBR(FLame, vbr_default);
      lame_set_preset(FLame, FVbrPreset >= R3MIX && FVbrPreset <= MEDIUM_FAST ? FVbrPreset
                                                                              : STANDARD_FAST);
      break;
    default:  // constant bitrate, also for an unknown mode
      lame_set_VBR(FLame, vbr_off);
      lame_set_brate(FLame, kbps);
      break;
    }
  }

  bool EncodeFrames(const uint8_t* Data, uint32_t FrameCount) override {
    const size_t count = size_t(FrameCount) * FFormat.nChannels;
    if (FSamples.size() < count) FSamples.resize(count);
    UnpackPcm(Data, count, FFormat.wBitsPerSample, FSamples.data(), true);
    // Worst case given in lame.h: 1.25 × samples + 7200 bytes.
    GrowOutput(size_t(FrameCount) * 5 / 4 + 7200);
    const int n =
        FFormat.nChannels == 2
            ? lame_encode_buffer_interleaved_int(FLame, FSamples.data(), int(FrameCount),
                                                 FOutput.data(), int(FOutput.size()))
            : lame_encode_buffer_int(FLame, FSamples.data(), FSamples.data(), int(FrameCount),
                                     FOutput.data(), int(FOutput.size()));
    return n >= 0 && WriteOut(FOutput.data(), size_t(n));
  }

  // The buffer only grows: shrinking and growing again would clear it anew.
  void GrowOutput(size_t Bytes) {
    if (FOutput.size() < Bytes) FOutput.resize(Bytes);
  }

  bool Close() override {
    GrowOutput(7200);
    const int n = lame_encode_flush(FLame, FOutput.data(), int(FOutput.size()));
    return n >= 0 && WriteOut(FOutput.data(), size_t(n)) && WriteInfoFrame();
  }

  // Replaces the reserved first frame by the final LAME/Xing frame (frame
  // count, byte count, seek points, encoder delay and padding), from which
  // players know the exact length and play gaplessly.
  bool WriteInfoFrame() {
    const size_t size = lame_get_lametag_frame(FLame, nullptr, 0);
    if (size == 0) return true;  // LAME reserved no frame
    std::vector<unsigned char> frame(size);
    if (lame_get_lametag_frame(FLame, frame.data(), frame.size()) != size) return false;
    return SeekTo(0) && WriteOut(frame.data(), frame.size()) && SeekToEnd();
  }

  lame_t FLame = nullptr;
  int32_t FBitrate = 192;
  int32_t FBitrateMode = kModeCbr;
  int32_t FVbrPreset = STANDARD_FAST;
  int32_t FChannelMode = kNoChannelMode;
  int32_t FSampleCount = 0;
  std::vector<int32_t> FSamples;
  std::vector<unsigned char> FOutput;
};

}  // namespace

IEncoder* CreateLameEncoderObject() { return new (std::nothrow) TLameEncoder(); }
