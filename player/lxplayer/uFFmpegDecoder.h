// The decoder for any source FFmpeg can decode, delivered as the integer
// PCM described in uPcmLayout.h. Threading as TSourceDecoder's.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "uDecoderSource.h"
#include "uPcmLayout.h"
#include "uSourceDecoder.h"

class TFFmpegDecoder final : public TSourceDecoder {
public:
  TFFmpegDecoder();
  ~TFFmpegDecoder() override;

  bool OpenFile(const std::string& Path, std::string& Reason) override;
  TDecoderInfo Info() const override { return FInfo; }
  int32_t ReadInto(void* Buffer, int32_t Size) override;
  int32_t SeekTo(int64_t Position) override;
  void CollectTags(std::vector<std::pair<std::string, std::string>>& Pairs,
                   std::vector<uint8_t>& Picture) const override;

private:
  void Close();
  bool OpenSource();
  bool DecodeNextFrame();
  bool AcceptFrame();
  void SeekByDecodingFromStart(int64_t Target, bool SkipPackets);
  bool ReopenSource();
  // Decoding stops for Reason (drXxx): later reads fail, GetInfo says why.
  void Fail(int32_t Reason);
  bool EndsShortOfStatedLength() const;
  size_t PendingBytes() const { return FPending.size() - FPendingPos; }

  std::string FPath;
  std::unique_ptr<TDecoderSource> FSource;
  std::unique_ptr<TPcmConverter> FConverter;
  AVFrame* FFrame = nullptr;
  TPcmLayout FLayout;
  TDecoderInfo FInfo{};
  std::vector<uint8_t> FPending;  // converted PCM not yet handed out
  size_t FPendingPos = 0;
  int64_t FEndSample = -1;      // where the container ends the source, if it says
  int64_t FNextSample = 0;      // source position of the next decoded frame
  int64_t FTargetSample = -1;   // after a seek: samples before it are dropped
  bool FPlaceByStamps = false;  // while dropping: frame positions from stamps
  int64_t FStatedSamples = -1;  // the length the container states, if exactly
  bool FEnded = false;
  bool FFailed = false;
};
