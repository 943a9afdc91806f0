// Adding sources to the conversion list: whole files, cue sheets (one task
// per track) and folder trees become task items handed to the task
// manager's AddTask. Shared by the main window and the command line, so
// that both add sources by the same rules.
//
// Threading: main thread only (AddTask and the cue parser's decoder run
// there). Ownership: the adder borrows the task manager, which must outlive
// it; every task item made here is handed to AddTask, which owns it from
// then on.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/uFileIO.h"

class TTaskManager;
class TTaskItem;
class TCueParser;

// Extensions the folder scan and dropped files accept.
extern const char16_t* const SourceExtensionList;

// True when the extension of FileName, with its dot and upper-cased, occurs
// anywhere in SourceExtensionList (so ".MP" and ".A" pass as well); a name
// without extension never passes.
bool PassesExtensionList(const std::u16string& FileName);

// Target name of a whole file: its file name with the extension replaced by
// TargetExt (appended when it has none).
std::u16string WholeFileTargetName(const std::u16string& Source, const std::u16string& TargetExt);
// The title part of a track's target name: Title, or the track's two-digit
// number when Title is blank.
std::u16string TrackTitleForName(const std::u16string& Title, int32_t Number);
// Target name of a cue track: "performer - title" and TargetExt.
std::u16string CueTrackTargetName(const std::u16string& Performer, const std::u16string& Title,
                                  const std::u16string& TargetExt);
// Name with the two-digit track number in brackets before its extension
// ("Pixies - Vamos.flac", 9 -> "Pixies - Vamos (09).flac"): the name of a
// track whose name an earlier track of its sheet already has.
std::u16string NumberedTargetName(const std::u16string& Name, int32_t Track);

// Why a source gave no task.
enum class TSourceRefusal {
  NotAFile,         // the path names nothing, or a folder
  NotRegularFile,   // a FIFO, socket or device: reading it could wait forever
  CueUnreadable,    // the sheet cannot be opened or read (the error is raised on)
  CueMalformed,     // a line of the sheet could not be read
  CueAudioMissing,  // no audio file found for the sheet
  CueNoTracks,      // the sheet has no tracks
  CueTrackNoPlace,  // a track number without TRACK line, or a track without INDEX 01
  TaskRefused,      // the task manager refused it (duplicate, invalid target name or format)
};

// The text shown for a refusal.
std::u16string SourceRefusalText(TSourceRefusal Reason);

struct TRefusedSource {
  std::u16string Path;  // the source as given (for a cue track: the sheet)
  int32_t Track = 0;    // cue track number; 0 for a whole file or a whole sheet
  TSourceRefusal Reason = TSourceRefusal::NotAFile;
  std::u16string TargetName;  // the refused task's target name, when a task was made
  std::u16string Detail;      // the error text of an unreadable sheet
};

class TSourceAdder {
public:
  static constexpr int ModeUser = 0;    // dialog, drop, folder scan: first to last
  static constexpr int ModePlayer = 1;  // hand-over from the player: last to first

  explicit TSourceAdder(TTaskManager& Manager);

  // The lower-case target extension with its dot (".mp3", ".ape", ".wav",
  // ".flac"); empty when no format is chosen.
  void SetTargetExt(const std::u16string& TargetExt) { FTargetExt = TargetExt; }
  const std::u16string& TargetExt() const { return FTargetExt; }

  // Every path becomes tasks; any other mode adds nothing. All tasks of one
  // call share the source class of the first path (CD-ROM or other). An
  // image that a cue sheet of the same call cuts into tracks is not also
  // added whole. A cue sheet that cannot be read raises its error after
  // recording the refusal; the paths after it are not added.
  void AddSources(const std::vector<std::u16string>& Paths, int Mode);
  // One task per track of the sheet.
  void AddCueTracks(const std::u16string& CuePath, uint8_t SourceClass);
  // Scans Folder and its sub-folders (a sub-folder's files come before the
  // files of the folder that holds it) and adds what passes the extension
  // list; each folder's files are one call of AddSources. Entries that are
  // neither files nor folders are skipped, and a folder reached again
  // through a link is scanned only once.
  void AddFolder(const std::u16string& Folder);

  // Sources refused since the adder was made or last cleared, in order.
  const std::vector<TRefusedSource>& Refused() const { return FRefused; }
  void ClearRefused() { FRefused.clear(); }
  // Number of tasks the manager accepted.
  int32_t AddedCount() const { return FAddedCount; }

private:
  struct TReadSheet;
  static TReadSheet ReadSheet(const std::u16string& CuePath);
  void AddReadSheet(const std::u16string& CuePath, const TReadSheet& Sheet, uint8_t SourceClass);
  void AddWholeFile(const std::u16string& Path, uint8_t SourceClass);
  void AddParsedTracks(const std::u16string& CuePath, const TCueParser& Parser,
                       uint8_t SourceClass);
  std::unique_ptr<TTaskItem> NewTask(uint8_t Kind, const std::u16string& Source,
                                     uint8_t SourceClass, const std::u16string& TargetName,
                                     int32_t StartMs, int32_t EndMs) const;
  void SubmitTask(std::unique_ptr<TTaskItem> Item, const std::u16string& Path, int32_t Track);
  void ScanFolder(const std::u16string& Folder, int Depth, std::set<platform::TFileIdentity>& Seen);
  void Refuse(const std::u16string& Path, int32_t Track, TSourceRefusal Reason,
              const std::u16string& TargetName = {}, const std::u16string& Detail = {});

  TTaskManager& FManager;
  std::u16string FTargetExt;
  std::vector<TRefusedSource> FRefused;
  int32_t FAddedCount = 0;
};

// Source class of a batch: 0 when Path lies on a CD-ROM drive, else 1.
uint8_t SourceClassOf(const std::u16string& Path);
