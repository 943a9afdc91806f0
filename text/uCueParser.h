// Cue sheet parser: reads a cue sheet (any encoding the wide string list
// accepts), keeps up to 100 tracks with their bounds in milliseconds and,
// for the cut, in CD frames of each track's own audio file; resolves the
// audio files the sheet names (uCueAudioLookup.h) and closes the last track
// of each file with that file's duration, asked of the player library's
// decoder.
//
// Threading: one parser serves one Parse on one thread. Parse creates a
// decoder of the player library, so it runs on the main thread (the
// library's loader is main-thread only).
// Ownership: the parser owns its line list; it holds no decoder after Parse.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/uCueSheetTags.h"

class TWideStringList;

// CD frames a second: cue sheet times are minutes, seconds and frames.
constexpr int64_t CueFramesPerSecond = 75;

// One track of the sheet. EndMs 0 means that no end was set.
struct TCueTrack {
  int32_t StartMs = 0;
  int32_t EndMs = 0;
  std::u16string Title;
  std::u16string Performer;
  // The cut, in CD frames of the track's own audio file: from StartFrame up
  // to EndFrame, or to the end of the file when EndFrame is -1. The first
  // track of each file starts at 0 (what lies before its INDEX 01, a
  // pregap or a hidden track, is not lost); every other track at its
  // INDEX 01, up to the next INDEX 01 in the same file. StartFrame is -1
  // for a track without position: a number no TRACK line named, or a track
  // without INDEX 01 after another one of its file.
  int64_t StartFrame = -1;
  int64_t EndFrame = -1;
  // After Parse: the full path of the track's audio file, empty when that
  // file was not found.
  std::u16string FileName;
};

class TCueParser {
public:
  static constexpr int MaxTracks = 100;

  TCueParser();
  ~TCueParser();
  TCueParser(const TCueParser&) = delete;
  TCueParser& operator=(const TCueParser&) = delete;

  // True when the sheet was read and its audio file found (or the sheet has
  // no tracks); false when the audio file is missing or a line failed to
  // parse. A sheet that cannot be opened or read raises the list's error.
  bool Parse(const std::u16string& CueFileName);
  // Applies one line given in the system code page; true when it returns.
  // Raises on an INDEX line whose index number is not an integer.
  bool ParseLine(const std::string& Line);
  // "mm:ss:ff" (75 frames a second) to milliseconds, truncated; each field
  // counts with its low 8 bits. Blanks and tabs around a field are ignored.
  static int32_t ParseCueTime(const std::string& Text);
  // The same time in CD frames, exact: (mm * 60 + ss) * 75 + ff, fields
  // below 0 counting 0.
  static int64_t ParseCueFrames(const std::string& Text);
  // Start and end of tracks 1..FTrackCount back to 0.
  void ClearTrackTimes();

  int32_t TrackCount() const { return FTrackCount; }
  // Track Number (1..MaxTracks).
  const TCueTrack& Track(int Number) const;
  // After a successful Parse: the full path of the audio file found (of the
  // first track whose file was found, when the sheet names several).
  const std::u16string& FileName() const { return FFileName; }
  // True when the last Parse ended on an error (a line that could not be
  // read, or a failing decoder call).
  bool ParseFailed() const { return FParseFailed; }
  const std::u16string& FileType() const { return FFileType; }
  const std::u16string& Title() const { return FTitle; }
  const std::u16string& Performer() const { return FPerformer; }
  const std::u16string& Songwriter() const { return FSongwriter; }
  const std::u16string& Catalog() const { return FCatalog; }
  // The tags of track Number (see uCueSheetTags.h).
  TTagSet TrackTags(int32_t Number) const { return FSheetTags.TrackTags(*this, Number); }

private:
  void ResetForParse();
  void ParseFileLine(const std::u16string& Rest);
  void ParseTrackLine(const std::u16string& Rest);
  void ParseIndexLine(const std::u16string& Rest);
  // The track of the lines being read; only while FCurrentTrack > 0.
  TCueTrack& CurrentTrack();
  // False when none of the files that tracks lie in was found.
  bool FindAudioFiles(const std::u16string& CueFileName);
  // The last named track of File, 0 when it has none.
  int32_t LastTrackOfFile(int32_t File) const;
  void PlaceCuts();
  void CloseLastTracks();

  // Where a track lies, as the sheet's lines say.
  struct TTrackPlace {
    bool Named = false;    // a TRACK line named it
    int32_t File = -1;     // index in FSheetFiles: the FILE in force at INDEX 01, else at TRACK
    int64_t Index01 = -1;  // INDEX 01 in CD frames
  };

  std::array<TCueTrack, MaxTracks> FTracks;
  std::array<TTrackPlace, MaxTracks> FPlaces;
  // The FILE names as the sheet writes them, in order, and their paths
  // after Parse (empty when not found).
  std::vector<std::u16string> FSheetFiles;
  std::vector<std::u16string> FFoundFiles;
  int32_t FCurrentFile = -1;
  int32_t FTrackCount = 0;
  int32_t FCurrentTrack = 0;
  int32_t FHighestTrack = 0;
  // True after a TRACK line with a number outside 1..MaxTracks: the lines
  // that belong to that track (FILE excepted) are dropped until the next
  // valid TRACK.
  bool FSkippingTrack = false;
  bool FParseFailed = false;
  std::u16string FFileType;
  std::u16string FFileName;
  std::u16string FTitle;
  std::u16string FPerformer;
  std::u16string FSongwriter;
  std::u16string FCatalog;
  std::unique_ptr<TWideStringList> FLines;
  TCueSheetTags FSheetTags;
};
