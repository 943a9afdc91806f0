// The decoder of one task: a thin owner of the player library's IDecoderEx.
// Threading: made on the main thread (the library loader runs there), then
// opened, read and positioned by one worker thread at a time.
// Ownership: holds the one reference CreateDecoder handed out; releases it
// when destroyed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codecs/uEncodeIntf.h"

class TDecoderEx {
public:
  // Asks the player library for a decoder; none when the library is missing.
  TDecoderEx();
  ~TDecoderEx();
  TDecoderEx(const TDecoderEx&) = delete;
  TDecoderEx& operator=(const TDecoderEx&) = delete;

  // The decoder's own answer; on success FInfo holds the PCM format. False
  // without a decoder.
  bool Open(const std::u16string& FileName);
  // Bytes delivered, 0 at the end, negative on error; -1 without a decoder.
  int32_t Read(void* Buffer, int32_t Size);
  // After a negative Read: why decoding stopped (drEndsShort, drDamaged,
  // drReadFailed), 0 when the library does not say.
  int32_t ReadError();
  // The library reports a codec that reproduces its input exactly (false
  // when it does not say).
  bool IsLosslessCodec() const;
  // Positions at Seconds from the start (100-ns units, truncated toward 0).
  void Seek(double Seconds);

  bool HasDecoder() const { return FDecoder != nullptr; }
  // Why the last Open failed, when the decoder says (IDecoderFailureInfo);
  // empty otherwise.
  const std::u16string& FailureReason() const { return FFailureReason; }

  // After a successful Open, on the reading thread: the metadata the
  // decoder found in the source (key/value pairs) and its attached picture.
  // False when the decoder offers none (IDecoderTags is optional).
  bool ReadMetadata(std::vector<std::pair<std::u16string, std::u16string>>& Pairs,
                    std::vector<uint8_t>& Picture);

  // All zero until a successful Open; the worker reads the format here.
  TDecoderInfo FInfo{};

private:
  void FetchFailureReason(const std::u16string& FileName);

  IDecoderEx* FDecoder = nullptr;
  std::u16string FFailureReason;
};
