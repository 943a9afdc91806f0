// Cue sheet parser: reads a cue sheet (any encoding the wide string list
// accepts), keeps up to 100 tracks with their bounds in milliseconds,
// resolves the audio file the sheet names and closes the last track with
// the audio file's duration, asked of the player library's decoder.
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

#include "text/uCueSheetTags.h"

class TWideStringList;

// One track of the sheet. EndMs 0 means that no end was set.
struct TCueTrack {
  int32_t StartMs = 0;
  int32_t EndMs = 0;
  std::u16string Title;
  std::u16string Performer;
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
  // "mm:ss:ff" (75 frames a second) to milliseconds, truncated.
  static int32_t ParseCueTime(const std::string& Text);
  // Start and end of tracks 1..FTrackCount back to 0.
  void ClearTrackTimes();

  int32_t TrackCount() const { return FTrackCount; }
  // Track Number (1..MaxTracks).
  const TCueTrack& Track(int Number) const;
  // After a successful Parse: the full path of the audio file found.
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
  void LoadSheet(const std::u16string& CueFileName);
  void ParseFileLine(const std::u16string& Rest);
  void ParseTrackLine(const std::u16string& Rest);
  void ParseIndexLine(const std::u16string& Rest);
  // The track of the lines being read; only while FCurrentTrack > 0.
  TCueTrack& CurrentTrack();
  bool FindAudioFile(const std::u16string& CueFileName, std::u16string& Path) const;
  void CloseLastTrack(const std::u16string& Path);

  std::array<TCueTrack, MaxTracks> FTracks;
  int32_t FTrackCount = 0;
  int32_t FCurrentTrack = 0;
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
