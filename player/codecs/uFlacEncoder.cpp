#include "player/codecs/uFlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <new>
#include <vector>

#include "player/codecs/uEncoderObject.h"

namespace {

constexpr int32_t kDefaultLevel = 5;
constexpr uint32_t kMaxStoredBits = 24;
constexpr uint32_t kSeekPointSpacingSeconds = 10;
// Room for tags added later without rewriting the file, as the flac tool
// leaves it: 8 KiB, 64 KiB for recordings longer than 20 minutes.
constexpr unsigned kPadding = 8192;
constexpr unsigned kLongPadding = 65536;
constexpr uint64_t kLongRecordingSeconds = 20 * 60;

class TFlacEncoder final : public TEncoderObject<IFlacEncoderParam, IID_IFlacEncoderParam> {
public:
  TFlacEncoder() = default;

  int32_t MORVO_STDCALL SetSampleCount(int32_t Samples) override {
    FSampleEstimate = Samples > 0 ? uint64_t(Samples) : 0;
    return 0;
  }
  int32_t MORVO_STDCALL SetCompressionLevel(int32_t Level) override {
    FLevel = Level >= 0 && Level <= 8 ? Level : kDefaultLevel;
    return 0;
  }

private:
  ~TFlacEncoder() override {
    // libFLAC finishes an unfinished stream here, through the callbacks
    // (the callback reference is still held: the base releases it later);
    // after a failed write it writes nothing more.
    if (FEncoder) FLAC__stream_encoder_delete(FEncoder);
    if (FSeekTable) FLAC__metadata_object_delete(FSeekTable);
    if (FPadding) FLAC__metadata_object_delete(FPadding);
  }

  bool AcceptsFormat(const WAVEFORMATEX& Format) const override {
    return Format.nChannels <= FLAC__MAX_CHANNELS && Format.nSamplesPerSec <= FLAC__MAX_SAMPLE_RATE;
  }

  bool Open() override {
    FEncoder = FLAC__stream_encoder_new();
    if (!FEncoder || !ApplySettings() || !BuildMetadata()) return false;
    return FLAC__stream_encoder_init_stream(FEncoder, &WriteCallback, &SeekCallback, &TellCallback,
                                            nullptr, this) == FLAC__STREAM_ENCODER_INIT_STATUS_OK;
  }

  // 32-bit input is stored with 24 bits: libFLAC could keep all 32, but
  // such files are outside the streamable subset and FFmpeg before 6.0 (the
  // player's decoder) decodes them to nothing.
  static uint32_t StoredBits(uint32_t InputBits) {
    return InputBits > kMaxStoredBits ? kMaxStoredBits : InputBits;
  }

  bool ApplySettings() {
    const uint32_t bits = StoredBits(FFormat.wBitsPerSample);
    const uint32_t rate = FFormat.nSamplesPerSec;
    // Rates that a frame header cannot name are kept outside the subset.
    const bool subset = FLAC__format_sample_rate_is_subset(rate);
    return FLAC__stream_encoder_set_channels(FEncoder, FFormat.nChannels) &&
           FLAC__stream_encoder_set_bits_per_sample(FEncoder, bits) &&
           FLAC__stream_encoder_set_sample_rate(FEncoder, rate) &&
           FLAC__stream_encoder_set_streamable_subset(FEncoder, subset) &&
           FLAC__stream_encoder_set_compression_level(FEncoder, uint32_t(FLevel)) &&
           FLAC__stream_encoder_set_total_samples_estimate(FEncoder, FSampleEstimate);
  }

  // A seek point every ten seconds of the expected length (none when the
  // length is unknown), then the padding. The true count of samples, the
  // MD5 and the filled seek points are written back when the stream ends.
  bool BuildMetadata() {
    FLAC__StreamMetadata* blocks[2];
    unsigned count = 0;
    if (FSampleEstimate > 0) {
      FSeekTable = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
      if (!FSeekTable ||
          !FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
              FSeekTable, kSeekPointSpacingSeconds * FFormat.nSamplesPerSec, FSampleEstimate))
        return false;
      blocks[count++] = FSeekTable;
    }
    FPadding = FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING);
    if (!FPadding) return false;
    const bool isLong = FSampleEstimate > kLongRecordingSeconds * FFormat.nSamplesPerSec;
    FPadding->length = isLong ? kLongPadding : kPadding;
    blocks[count++] = FPadding;
    return FLAC__stream_encoder_set_metadata(FEncoder, blocks, count);
  }

  bool EncodeFrames(const uint8_t* Data, uint32_t FrameCount) override {
    const size_t count = size_t(FrameCount) * FFormat.nChannels;
    if (FSamples.size() < count) FSamples.resize(count);
    UnpackPcm(Data, count, FFormat.wBitsPerSample, FSamples.data());
    if (FFormat.wBitsPerSample > kMaxStoredBits) ReduceTo24Bits(FSamples.data(), count);
    return FLAC__stream_encoder_process_interleaved(FEncoder, FSamples.data(), FrameCount);
  }

  // The system's own 32-to-24-bit rule: division by 256, truncated toward
  // zero (not an arithmetic shift).
  static void ReduceTo24Bits(FLAC__int32* Samples, size_t Count) {
    for (size_t i = 0; i < Count; ++i)
      Samples[i] /= 256;
  }

  bool Close() override {
    const bool finished = FLAC__stream_encoder_finish(FEncoder);
    return finished && RetireUnreachedSeekPoints() && SeekToEnd();
  }

  // libFLAC fills a seek point when a frame reaches its sample; when the
  // source ended before the estimate, the points behind the end keep their
  // template sample number with offset 0 and would send a player to the
  // wrong place. They become placeholders, which players skip.
  bool RetireUnreachedSeekPoints() {
    if (!FSeekTable || FSeekTableOffset < 0) return true;
    FLAC__StreamMetadata_SeekTable& table = FSeekTable->data.seek_table;
    bool changed = false;
    for (uint32_t i = 0; i < table.num_points; ++i) {
      FLAC__StreamMetadata_SeekPoint& point = table.points[i];
      if (point.frame_samples != 0 ||
          point.sample_number == FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER)
        continue;
      point = {FLAC__STREAM_METADATA_SEEKPOINT_PLACEHOLDER, 0, 0};
      changed = true;
    }
    if (!changed) return true;
    FLAC__format_seektable_sort(&table);
    std::vector<FLAC__byte> bytes;
    for (uint32_t i = 0; i < table.num_points; ++i)
      AppendSeekPoint(bytes, table.points[i]);
    return SeekTo(FSeekTableOffset + FLAC__STREAM_METADATA_HEADER_LENGTH) &&
           WriteOut(bytes.data(), bytes.size());
  }

  static void AppendSeekPoint(std::vector<FLAC__byte>& Bytes,
                              const FLAC__StreamMetadata_SeekPoint& Point) {
    auto appendBigEndian = [&Bytes](uint64_t Value, int Size) {
      for (int shift = 8 * (Size - 1); shift >= 0; shift -= 8)
        Bytes.push_back(FLAC__byte(Value >> shift));
    };
    appendBigEndian(Point.sample_number, 8);
    appendBigEndian(Point.stream_offset, 8);
    appendBigEndian(Point.frame_samples, 2);
  }

  // Notes where the seek table goes out: each metadata block is written by
  // a call of its own before the first audio frame.
  void NoteMetadataBlock(const FLAC__byte* Buffer, size_t Bytes, uint32_t Samples) {
    if (Samples > 0) FAudioStarted = true;
    if (FAudioStarted || FSeekTableOffset >= 0 || Bytes < FLAC__STREAM_METADATA_HEADER_LENGTH)
      return;
    int64_t position = 0;
    if ((Buffer[0] & 0x7F) == FLAC__METADATA_TYPE_SEEKTABLE && Tell(position))
      FSeekTableOffset = position;
  }

  static FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder*,
                                                      const FLAC__byte Buffer[], size_t Bytes,
                                                      uint32_t Samples, uint32_t, void* Self) {
    auto* self = static_cast<TFlacEncoder*>(Self);
    self->NoteMetadataBlock(Buffer, Bytes, Samples);
    return self->WriteOut(Buffer, Bytes) ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                         : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }

  static FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder*, FLAC__uint64 Offset,
                                                    void* Self) {
    return static_cast<TFlacEncoder*>(Self)->SeekTo(int64_t(Offset))
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
               : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
  }

  // libFLAC learns where STREAMINFO and the seek table lie from this.
  static FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder*,
                                                    FLAC__uint64* Offset, void* Self) {
    int64_t position = 0;
    if (!static_cast<TFlacEncoder*>(Self)->Tell(position) || position < 0)
      return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *Offset = FLAC__uint64(position);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
  }

  FLAC__StreamEncoder* FEncoder = nullptr;
  FLAC__StreamMetadata* FSeekTable = nullptr;
  FLAC__StreamMetadata* FPadding = nullptr;
  int32_t FLevel = kDefaultLevel;
  uint64_t FSampleEstimate = 0;
  int64_t FSeekTableOffset = -1;  // from the start of the stream
  bool FAudioStarted = false;
  std::vector<FLAC__int32> FSamples;
};

}  // namespace

IEncoder* CreateFlacEncoderObject() { return new (std::nothrow) TFlacEncoder(); }
