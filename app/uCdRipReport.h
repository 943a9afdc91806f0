// The rip report of a CD run: while the workers rip, it listens to the PCM
// of every task whose source is a CD track (through the task manager's PCM
// tap) and keeps each track's length, CRC32 and AccurateRip checksums and
// how the task ended; after the run, WriteReports puts one plain UTF-8 text
// file per disc beside the targets, so that the rip can be checked against
// the AccurateRip database with any tool.
//
// Threading: main thread, except the taps' Write (the worker that rips the
// track; each tap is its own). Ownership: the taps share the log's records,
// so a tap that outlives the log does no harm.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/uPcmTap.h"
#include "platform/uCdDrives.h"

struct TCdTrackRip {
  int32_t Number = 0;
  int64_t ExpectedFrames = 0;  // by the table of contents
  int64_t Frames = 0;          // read and encoded
  bool Complete = false;       // every frame arrived, and no more
  uint32_t Crc32 = 0;
  uint32_t AccurateRipV1 = 0;
  uint32_t AccurateRipV2 = 0;
  int32_t Result = 0;  // the task's result code (12: done)
  std::u16string Target;
};

struct TCdDiscRip {
  std::shared_ptr<const platform::TCdDisc> Disc;  // as listed when the run began
  std::map<int32_t, TCdTrackRip> Tracks;          // by track number
};

class TCdRipLog {
public:
  TCdRipLog();

  // For the task manager's FPcmTapFactory: a tap for every whole-file task
  // whose source is a track of a drive's disc.
  TPcmTapFactory TapFactory();

  // The discs with tracks ripped (or tried) since the last WriteReports.
  std::vector<TCdDiscRip> Discs() const;
  // Writes one report per disc into Folder, named after the drive and the
  // time, never over an existing file; returns the files written and forgets
  // the discs. A report that cannot be written is left out.
  std::vector<std::u16string> WriteReports(const std::u16string& Folder);

  // The text of one disc's report; Time is the local time it names.
  static std::string ReportText(const TCdDiscRip& Rip, const std::string& Time);
  // How the drives are read, as the report states it.
  static std::string ReadModeText();

  // The records, by drive; shared with the taps.
  using TDiscRips = std::map<std::u16string, TCdDiscRip>;

private:
  std::shared_ptr<TDiscRips> FDiscs;
};
