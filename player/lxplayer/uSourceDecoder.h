// What every decoder of this library does for the object handed out by the
// ordinal-2 entry (TLxDecoder), which picks one per source and turns its
// exceptions into results. A decoder delivers interleaved little-endian
// integer PCM in whole samples, in the layout its Info reports.
//
// Threading: Open may run on one thread and the other calls afterwards on
// another, one thread at a time. Any call may throw; the caller then treats
// the decoder as failed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/uCodecInterfaces.h"

class TSourceDecoder {
public:
  virtual ~TSourceDecoder() = default;

  // Opens the file at Path (the file system's own bytes). False when it
  // cannot be decoded; Reason then tells why when the decoder knows.
  virtual bool OpenFile(const std::string& Path, std::string& Reason) = 0;
  // Valid after a successful OpenFile: the PCM that ReadInto delivers.
  virtual TDecoderInfo Info() const = 0;
  // Bytes delivered (whole samples, at most Size); 0 at the end; negative
  // on an error or when no whole sample fits.
  virtual int32_t ReadInto(void* Buffer, int32_t Size) = 0;
  // Positions at Position (100-ns units from the start); later reads start
  // at the sample nearest to it. 0 on success, negative on failure.
  virtual int32_t SeekTo(int64_t Position) = 0;
  // Valid after a successful OpenFile: the metadata the source's container
  // holds (UTF-8 keys and values) and its attached picture; none unless the
  // decoder reads them.
  virtual void CollectTags(std::vector<std::pair<std::string, std::string>>& /*Pairs*/,
                           std::vector<uint8_t>& /*Picture*/) const {}
};
