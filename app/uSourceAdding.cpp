#include "app/uSourceAdding.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <set>
#include <unordered_set>

#include "app/uCdDrives.h"
#include "engine/uTargetNaming.h"
#include "engine/uTargetTags.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "platform/uCodePage.h"
#include "platform/uDriveType.h"
#include "text/uCueParser.h"

const char16_t* const SourceExtensionList =
    u"*.LXM;*.MP1;*.MP2;*.MP3;*.WMA;*.WAV;*.OGG;*.MP4;*.M4A;*.AAC;*.AA;*.APE;*.M3U;*.FLAC;*.FLA;*."
    u"CUE;*.CDA;*.ZRC;"
    u"*.MPC;*.MP+;*.AIF;*.AIFC;*.AIFF;*.MID;*.MIDI;*.RMI;*.SND;*.AU;*.AC3;*.A52;*.DTS;*.DTSWAV;";

namespace {

// Real music collections are far shallower than this; a chain of links
// that leads to ever new folders ends here.
constexpr int MaxFolderDepth = 32;

// Folder entries in the order a Windows volume lists them: by name, letter
// case aside.
bool ComesBefore(const TSearchRecW& A, const TSearchRecW& B) {
  const std::u16string UpperA = WideUpperAscii(A.Name);
  const std::u16string UpperB = WideUpperAscii(B.Name);
  return UpperA != UpperB ? UpperA < UpperB : A.Name < B.Name;
}

std::vector<TSearchRecW> ListFolder(const std::u16string& Folder) {
  std::vector<TSearchRecW> Entries;
  TSearchRecW Rec;
  if (WideFindFirst(Folder + u"*.*", faAnyFile, Rec) != 0) return Entries;
  do {
    if (Rec.Name != u"." && Rec.Name != u"..") {
      Entries.push_back(Rec);
      Entries.back().FindHandle.reset();
    }
  } while (WideFindNext(Rec) == 0);
  WideFindClose(Rec);
  std::sort(Entries.begin(), Entries.end(), ComesBefore);
  return Entries;
}

std::u16string TwoDigits(int32_t Number) {
  const std::u16string Digits = platform::Utf8ToWide(std::to_string(Number));
  return Number >= 0 && Number < 10 ? u"0" + Digits : Digits;
}

std::u16string TrackTitleForName(const TCueTrack& Track, int32_t Number) {
  return ::TrackTitleForName(Track.Title, Number);
}

// The target names of one sheet's tracks so far, as the task manager
// compares them: invalid characters replaced, letter case aside.
class TSheetNames {
public:
  // Name, or its numbered form when an earlier track has it already.
  std::u16string Unique(const std::u16string& Name, int32_t Track) {
    std::u16string Result = Name;
    if (!FNames.insert(Key(Name)).second) {
      Result = NumberedTargetName(Name, Track);
      FNames.insert(Key(Result));
    }
    return Result;
  }

private:
  static std::u16string Key(const std::u16string& Name) {
    return LowerCaseText(TTaskManager::ReplaceInvalidChars(Name));
  }
  std::unordered_set<std::u16string> FNames;
};

std::u16string ErrorText(const std::exception& E) { return platform::Utf8ToWide(E.what()); }

}  // namespace

bool PassesExtensionList(const std::u16string& FileName) {
  const std::u16string Ext = WideExtractFileExt(FileName);
  if (Ext.empty()) return false;
  return std::u16string_view(SourceExtensionList).find(WideUpperAscii(Ext)) !=
         std::u16string_view::npos;
}

std::u16string WholeFileTargetName(const std::u16string& Source, const std::u16string& TargetExt) {
  const std::u16string Name = WideExtractFileName(Source);
  const std::u16string Ext = WideExtractFileExt(Name);
  return Name.substr(0, Name.size() - Ext.size()) + TargetExt;
}

// A track without title is named by its number: otherwise every untitled
// track of a sheet would get the same target name and only the first one
// would be added.
std::u16string TrackTitleForName(const std::u16string& Title, int32_t Number) {
  const bool Blank = std::all_of(Title.begin(), Title.end(), [](char16_t C) { return C <= 32; });
  return Blank ? TwoDigits(Number) : Title;
}

std::u16string CueTrackTargetName(const std::u16string& Performer, const std::u16string& Title,
                                  const std::u16string& TargetExt) {
  return Performer + u" - " + Title + TargetExt;
}

std::u16string NumberedTargetName(const std::u16string& Name, int32_t Track) {
  const std::u16string Ext = WideExtractFileExt(Name);
  return Name.substr(0, Name.size() - Ext.size()) + u" (" + TwoDigits(Track) + u")" + Ext;
}

std::u16string SourceRefusalText(TSourceRefusal Reason) {
  switch (Reason) {
  case TSourceRefusal::NotAFile:
    return Tr(u"文件不存在");
  case TSourceRefusal::NotRegularFile:
    return Tr(u"不是普通文件");
  case TSourceRefusal::CueUnreadable:
    return Tr(u"无法读取CUE文件");
  case TSourceRefusal::CueMalformed:
    return Tr(u"CUE文件格式错误");
  case TSourceRefusal::CueAudioMissing:
    return Tr(u"CUE文件对应的音频文件不存在");
  case TSourceRefusal::CueNoTracks:
    return Tr(u"CUE文件中没有音轨");
  case TSourceRefusal::CueTrackNoPlace:
    return Tr(u"CUE音轨没有起始位置");
  case TSourceRefusal::TaskRefused:
    return Tr(u"任务已存在或目标文件名无效");
  }
  return {};
}

uint8_t SourceClassOf(const std::u16string& Path) {
  return platform::GetDriveTypeW(Path) == platform::DRIVE_CDROM ? scOptical : scOther;
}

TSourceAdder::TSourceAdder(TTaskManager& Manager) : FManager(Manager) {}

// A cue sheet of a call, read before anything of the call is added.
struct TSourceAdder::TReadSheet {
  std::unique_ptr<TCueParser> Parser;
  bool Parsed = false;
  std::exception_ptr Error;  // the sheet could not be read
  std::u16string ErrorText;

  // The sheet gives tracks of an audio file that was found.
  bool CutsImage() const { return Parser && Parsed && Parser->TrackCount() > 0; }

  // Every file the sheet's tracks are cut from: a sheet of several FILE
  // lines (one file a track, or a file a disc) cuts each of them.
  void CollectImages(std::set<platform::TFileIdentity>& Images) const {
    for (int32_t N = 1; N <= Parser->TrackCount(); ++N) {
      platform::TFileIdentity Image;
      const std::u16string& File = Parser->Track(N).FileName;
      if (!File.empty() && WideFileIdentity(File, Image)) Images.insert(Image);
    }
  }
};

namespace {

bool IsCueSheet(const std::u16string& Path) {
  return WideLowerAscii(WideExtractFileExt(Path)) == u".cue";
}

}  // namespace

void TSourceAdder::AddSources(const std::vector<std::u16string>& Paths, int Mode) {
  if (Mode != ModeUser && Mode != ModePlayer) return;
  const uint8_t SourceClass = Paths.empty() ? scOther : SourceClassOf(Paths.front());
  std::vector<std::u16string> Ordered(Paths);
  if (Mode == ModePlayer) std::reverse(Ordered.begin(), Ordered.end());
  // The sheets come first: an image that a sheet of this call cuts into
  // tracks must not be converted a second time as a whole file.
  std::vector<TReadSheet> Sheets(Ordered.size());
  std::set<platform::TFileIdentity> Images;
  for (size_t I = 0; I < Ordered.size(); ++I) {
    if (!IsCueSheet(Ordered[I])) continue;
    Sheets[I] = ReadSheet(Ordered[I]);
    if (Sheets[I].CutsImage()) Sheets[I].CollectImages(Images);
  }
  for (size_t I = 0; I < Ordered.size(); ++I) {
    platform::TFileIdentity Identity;
    if (IsCueSheet(Ordered[I]))
      AddReadSheet(Ordered[I], Sheets[I], SourceClass);
    else if (!WideFileIdentity(Ordered[I], Identity) || !Images.contains(Identity))
      AddWholeFile(Ordered[I], SourceClass);
  }
}

void TSourceAdder::AddWholeFile(const std::u16string& Path, uint8_t SourceClass) {
  if (!WideSourceFileExists(Path)) {
    Refuse(Path, 0,
           WideFileExists(Path) ? TSourceRefusal::NotRegularFile : TSourceRefusal::NotAFile);
    return;
  }
  // A CD track with CD-TEXT is named like a cue track.
  std::u16string TargetName = CdTextTargetName(Path, FTargetExt);
  if (TargetName.empty()) TargetName = WholeFileTargetName(Path, FTargetExt);
  std::unique_ptr<TTaskItem> Item = NewTask(tkWholeFile, Path, SourceClass, TargetName, 0, -1);
  Item->FSheetTags = CdTextTrackTags(Path);
  SubmitTask(std::move(Item), Path, 0);
}

void TSourceAdder::AddCueTracks(const std::u16string& CuePath, uint8_t SourceClass) {
  AddReadSheet(CuePath, ReadSheet(CuePath), SourceClass);
}

TSourceAdder::TReadSheet TSourceAdder::ReadSheet(const std::u16string& CuePath) {
  TReadSheet Sheet;
  Sheet.Parser = std::make_unique<TCueParser>();
  try {
    Sheet.Parsed = Sheet.Parser->Parse(CuePath);
  } catch (const std::exception& E) {
    Sheet.Error = std::current_exception();
    Sheet.ErrorText = ErrorText(E);
  }
  return Sheet;
}

void TSourceAdder::AddReadSheet(const std::u16string& CuePath, const TReadSheet& Sheet,
                                uint8_t SourceClass) {
  if (Sheet.Error) {
    Refuse(CuePath, 0, TSourceRefusal::CueUnreadable, {}, Sheet.ErrorText);
    std::rethrow_exception(Sheet.Error);
  }
  const TCueParser& Parser = *Sheet.Parser;
  if (!Sheet.Parsed) {
    Refuse(CuePath, 0,
           Parser.ParseFailed() ? TSourceRefusal::CueMalformed : TSourceRefusal::CueAudioMissing);
    return;
  }
  if (Parser.TrackCount() == 0) {
    Refuse(CuePath, 0, TSourceRefusal::CueNoTracks);
    return;
  }
  AddParsedTracks(CuePath, Parser, SourceClass);
}

void TSourceAdder::AddParsedTracks(const std::u16string& CuePath, const TCueParser& Parser,
                                   uint8_t SourceClass) {
  TSheetNames Names;
  const std::u16string CoverFile = FindCoverBesideSheet(CuePath);
  for (int32_t N = 1; N <= Parser.TrackCount(); ++N) {
    const TCueTrack& Track = Parser.Track(N);
    // A number the sheet skipped, or a track it gives no start: nothing to cut.
    if (Track.StartFrame < 0) {
      Refuse(CuePath, N, TSourceRefusal::CueTrackNoPlace);
      continue;
    }
    // Each track is cut from its own file, which may be missing or vanish
    // while the tracks are added.
    if (Track.FileName.empty() || !WideSourceFileExists(Track.FileName)) {
      Refuse(CuePath, N, TSourceRefusal::CueAudioMissing);
      continue;
    }
    const std::u16string TargetName = Names.Unique(
        CueTrackTargetName(Track.Performer, TrackTitleForName(Track, N), FTargetExt), N);
    std::unique_ptr<TTaskItem> Item =
        NewTask(tkCueTrack, Track.FileName, SourceClass, TargetName, Track.StartMs, Track.EndMs);
    // The milliseconds are shown; the frames are where the worker cuts.
    Item->FStartFrame = Track.StartFrame;
    Item->FEndFrame = Track.EndFrame;
    Item->FSheetTags =
        std::make_shared<const TSheetTrackTags>(TSheetTrackTags{Parser.TrackTags(N), CoverFile});
    SubmitTask(std::move(Item), CuePath, N);
  }
}

std::unique_ptr<TTaskItem> TSourceAdder::NewTask(uint8_t Kind, const std::u16string& Source,
                                                 uint8_t SourceClass,
                                                 const std::u16string& TargetName, int32_t StartMs,
                                                 int32_t EndMs) const {
  auto Item = std::make_unique<TTaskItem>();
  Item->FKind = Kind;
  Item->FSource = Source;
  Item->FSourceClass = SourceClass;
  Item->FTargetName = TargetName;
  Item->FTargetExt = FTargetExt;
  Item->FQueued = 1;
  Item->FStartMs = StartMs;
  Item->FEndMs = EndMs;
  return Item;
}

void TSourceAdder::SubmitTask(std::unique_ptr<TTaskItem> Item, const std::u16string& Path,
                              int32_t Track) {
  const std::u16string TargetName = Item->FTargetName;
  const int32_t CountBefore = FManager.TaskCount();
  FManager.AddTask(std::move(Item));
  if (FManager.TaskCount() > CountBefore)
    ++FAddedCount;
  else
    Refuse(Path, Track, TSourceRefusal::TaskRefused, TargetName);
}

void TSourceAdder::AddFolder(const std::u16string& Folder) {
  std::set<platform::TFileIdentity> Seen;
  ScanFolder(WideIncludeTrailingBackslash(Folder), 0, Seen);
}

// Seen holds the folders already scanned: a link back to a folder above, or
// two links to one folder, would otherwise scan it again and again.
void TSourceAdder::ScanFolder(const std::u16string& Folder, int Depth,
                              std::set<platform::TFileIdentity>& Seen) {
  platform::TFileIdentity Identity;
  if (WideFileIdentity(Folder, Identity) && !Seen.insert(Identity).second) return;
  std::vector<std::u16string> Collected;
  for (const TSearchRecW& Entry : ListFolder(Folder)) {
    const std::u16string Path = Folder + Entry.Name;
    if (Entry.Attr & faDirectory) {
      if (Depth < MaxFolderDepth) ScanFolder(WideIncludeTrailingBackslash(Path), Depth + 1, Seen);
    } else if ((Entry.Attr & faDevice) == 0 && PassesExtensionList(Entry.Name)) {
      Collected.push_back(Path);
    }
  }
  // Each folder is one batch of its own, as when the user adds it.
  AddSources(Collected, ModeUser);
}

void TSourceAdder::Refuse(const std::u16string& Path, int32_t Track, TSourceRefusal Reason,
                          const std::u16string& TargetName, const std::u16string& Detail) {
  FRefused.push_back(TRefusedSource{Path, Track, Reason, TargetName, Detail});
}
