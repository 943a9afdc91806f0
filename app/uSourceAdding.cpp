#include "app/uSourceAdding.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/uCodePage.h"
#include "platform/uDriveType.h"
#include "text/uCueParser.h"

const char16_t* const SourceExtensionList =
    u"*.LXM;*.MP1;*.MP2;*.MP3;*.WMA;*.WAV;*.OGG;*.MP4;*.M4A;*.AAC;*.AA;*.APE;*.M3U;*.FLAC;*.FLA;*."
    u"CUE;*.CDA;*.ZRC;"
    u"*.MPC;*.MP+;*.AIF;*.AIFC;*.AIFF;*.MID;*.MIDI;*.RMI;*.SND;*.AU;*.AC3;*.A52;*.DTS;*.DTSWAV;";

namespace {

// A symbolic link to a folder above would make the scan endless; real
// music collections are far shallower than this.
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
  if (WideFindFirst(Folder + u"*.*", faAnyFile, Rec) != 0)
    return Entries;
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

// A track without title is named by its number: otherwise every untitled
// track of a sheet would get the same target name and only the first one
// would be added.
std::u16string TrackTitleForName(const TCueTrack& Track, int32_t Number) {
  const bool Blank =
      std::all_of(Track.Title.begin(), Track.Title.end(), [](char16_t C) { return C <= 32; });
  if (!Blank)
    return Track.Title;
  const std::u16string Digits = platform::Utf8ToWide(std::to_string(Number));
  return Number < 10 ? u"0" + Digits : Digits;
}

std::u16string ErrorText(const std::exception& E) {
  return platform::Utf8ToWide(E.what());
}

} // namespace

bool PassesExtensionList(const std::u16string& FileName) {
  const std::u16string Ext = WideExtractFileExt(FileName);
  if (Ext.empty())
    return false;
  return std::u16string_view(SourceExtensionList).find(WideUpperAscii(Ext)) !=
         std::u16string_view::npos;
}

std::u16string WholeFileTargetName(const std::u16string& Source, const std::u16string& TargetExt) {
  const std::u16string Name = WideExtractFileName(Source);
  const std::u16string Ext = WideExtractFileExt(Name);
  return Name.substr(0, Name.size() - Ext.size()) + TargetExt;
}

std::u16string CueTrackTargetName(const std::u16string& Performer, const std::u16string& Title,
                                  const std::u16string& TargetExt) {
  return Performer + u" - " + Title + TargetExt;
}

std::u16string SourceRefusalText(TSourceRefusal Reason) {
  switch (Reason) {
  case TSourceRefusal::NotAFile:
    return u"文件不存在";
  case TSourceRefusal::CueUnreadable:
    return u"无法读取CUE文件";
  case TSourceRefusal::CueMalformed:
    return u"CUE文件格式错误";
  case TSourceRefusal::CueAudioMissing:
    return u"CUE文件对应的音频文件不存在";
  case TSourceRefusal::CueNoTracks:
    return u"CUE文件中没有音轨";
  case TSourceRefusal::TaskRefused:
    return u"任务已存在或目标文件名无效";
  }
  return {};
}

uint8_t SourceClassOf(const std::u16string& Path) {
  return platform::GetDriveTypeW(Path) == platform::DRIVE_CDROM ? scOptical : scOther;
}

TSourceAdder::TSourceAdder(TTaskManager& Manager) : FManager(Manager) {}

void TSourceAdder::AddSources(const std::vector<std::u16string>& Paths, int Mode) {
  if (Mode != ModeUser && Mode != ModePlayer)
    return;
  const uint8_t SourceClass = Paths.empty() ? scOther : SourceClassOf(Paths.front());
  if (Mode == ModeUser) {
    for (const std::u16string& Path : Paths)
      AddSource(Path, SourceClass);
  } else {
    for (auto It = Paths.rbegin(); It != Paths.rend(); ++It)
      AddSource(*It, SourceClass);
  }
}

void TSourceAdder::AddSource(const std::u16string& Path, uint8_t SourceClass) {
  if (WideLowerAscii(WideExtractFileExt(Path)) == u".cue")
    AddCueTracks(Path, SourceClass);
  else
    AddWholeFile(Path, SourceClass);
}

void TSourceAdder::AddWholeFile(const std::u16string& Path, uint8_t SourceClass) {
  if (!WideFileExists(Path)) {
    Refuse(Path, 0, TSourceRefusal::NotAFile);
    return;
  }
  SubmitTask(NewTask(tkWholeFile, Path, SourceClass, WholeFileTargetName(Path, FTargetExt), 0, -1),
             Path, 0);
}

void TSourceAdder::AddCueTracks(const std::u16string& CuePath, uint8_t SourceClass) {
  TCueParser Parser;
  bool Parsed = false;
  try {
    Parsed = Parser.Parse(CuePath);
  } catch (const std::exception& E) {
    Refuse(CuePath, 0, TSourceRefusal::CueUnreadable, {}, ErrorText(E));
    throw;
  }
  if (!Parsed) {
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
  for (int32_t N = 1; N <= Parser.TrackCount(); ++N) {
    // The audio file may vanish while the tracks are added.
    if (!WideFileExists(Parser.FileName())) {
      Refuse(CuePath, N, TSourceRefusal::CueAudioMissing);
      continue;
    }
    const TCueTrack& Track = Parser.Track(N);
    const std::u16string TargetName =
        CueTrackTargetName(Track.Performer, TrackTitleForName(Track, N), FTargetExt);
    // The last track's end is the file's duration rounded to a millisecond;
    // the worker takes an end within a millisecond of the duration as the
    // end of the file, so no sample after it is lost.
    SubmitTask(NewTask(tkCueTrack, Parser.FileName(), SourceClass, TargetName, Track.StartMs,
                       Track.EndMs),
               CuePath, N);
  }
}

std::unique_ptr<TTaskItem> TSourceAdder::NewTask(uint8_t Kind, const std::u16string& Source,
                                                 uint8_t SourceClass,
                                                 const std::u16string& TargetName,
                                                 int32_t StartMs, int32_t EndMs) const {
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
  ScanFolder(WideIncludeTrailingBackslash(Folder), 0);
}

void TSourceAdder::ScanFolder(const std::u16string& Folder, int Depth) {
  std::vector<std::u16string> Collected;
  for (const TSearchRecW& Entry : ListFolder(Folder)) {
    const std::u16string Path = Folder + Entry.Name;
    if (Entry.Attr & faDirectory) {
      if (Depth < MaxFolderDepth)
        ScanFolder(WideIncludeTrailingBackslash(Path), Depth + 1);
    } else if (PassesExtensionList(Entry.Name)) {
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
