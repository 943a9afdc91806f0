#include "app/uCdRipReport.h"

#include <cstdio>

#include "app/uCdChecksums.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/uCdFiles.h"
#include "platform/uCodePage.h"
#include "platform/uFileIO.h"
#include "platform/uFileTime.h"

namespace {

std::string Utf8(const std::u16string& Text) { return platform::WideToUtf8(Text); }

std::string Hex8(uint32_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%08X", Value);
  return Text;
}

// CD time of a sector count: minutes, seconds and sectors (1/75 s).
std::string CdTime(int64_t Sectors) {
  const int64_t PerMinute = 60 * platform::CdSectorsPerSecond;
  char Text[32];
  std::snprintf(Text, sizeof Text, "%02lld:%02lld:%02lld",
                static_cast<long long>(Sectors / PerMinute),
                static_cast<long long>(Sectors / platform::CdSectorsPerSecond % 60),
                static_cast<long long>(Sectors % platform::CdSectorsPerSecond));
  return Text;
}

std::string PadRight(std::string Text, size_t Width) {
  if (Text.size() < Width) Text.append(Width - Text.size(), ' ');
  return Text;
}

std::string PadLeft(const std::string& Text, size_t Width) {
  return Text.size() < Width ? std::string(Width - Text.size(), ' ') + Text : Text;
}

std::string StatusText(const TCdTrackRip& Track) {
  if (Track.Result != rcSucceeded) return "failed: " + Utf8(TaskResultText(Track.Result));
  return "ok, " + Utf8(WideExtractFileName(Track.Target));
}

std::string TrackLine(int32_t Number, const platform::TCdTrack* OnDisc, const TCdTrackRip* Rip) {
  char Num[8];
  std::snprintf(Num, sizeof Num, "%02d", static_cast<int>(Number));
  const int64_t Sectors = OnDisc ? OnDisc->SectorCount : 0;
  std::string Line =
      PadRight(Num, 7) + PadRight(CdTime(Sectors), 11) + PadLeft(std::to_string(Sectors), 8) + "  ";
  if (!Rip) return Line + "not ripped in this run";
  const bool Read = Rip->Result == rcSucceeded;
  const bool Checked = Read && Rip->Complete;
  Line += PadRight(Read ? Hex8(Rip->Crc32) : "-", 10);
  Line += PadRight(Checked ? Hex8(Rip->AccurateRipV1) : "-", 10);
  Line += PadRight(Checked ? Hex8(Rip->AccurateRipV2) : "-", 10);
  Line += StatusText(*Rip);
  if (Read && !Rip->Complete)
    Line += " (read " + std::to_string(Rip->Frames) + " of " + std::to_string(Rip->ExpectedFrames) +
            " frames)";
  return Line;
}

// A name in Folder that no file has yet.
std::u16string FreeReportPath(const std::u16string& Folder, const std::u16string& Stem) {
  std::u16string Path = WideIncludeTrailingBackslash(Folder) + Stem + u".txt";
  for (int N = 2; WideFileExists(Path) && N < 1000; ++N)
    Path = WideIncludeTrailingBackslash(Folder) + Stem + u" (" +
           platform::Utf8ToWide(std::to_string(N)) + u").txt";
  return Path;
}

// A report cut short (a full disk) is worth nothing: it goes again.
bool WriteText(const std::u16string& Path, const std::string& Text) {
  bool Created = false;
  try {
    TFileStreamW Stream(Path, fmCreate);
    Created = true;
    Stream.WriteBuffer(Text.data(), static_cast<int64_t>(Text.size()));
    return true;
  } catch (const std::exception&) {
    if (Created) platform::DeleteFileW(Path);
    return false;
  }
}

// Listens to one track's PCM and files the result in the log's records.
class TTrackTap final : public IPcmTap {
public:
  TTrackTap(std::shared_ptr<TCdRipLog::TDiscRips> Discs,
            std::shared_ptr<const platform::TCdDisc> Disc, const platform::TCdTrack& Track)
      : FDiscs(std::move(Discs)), FDisc(std::move(Disc)), FNumber(Track.Number),
        FChecksums(Track.Frames(), FDisc->IsFirstTrack(Track.Number),
                   FDisc->IsLastTrack(Track.Number)),
        FExpectedFrames(Track.Frames()) {}

  void Write(const uint8_t* Data, size_t Size) override { FChecksums.Update(Data, Size); }

  void Finish(int32_t Result, const std::u16string& TargetPath) override {
    TCdDiscRip& Disc = (*FDiscs)[FDisc->Drive];
    if (!Disc.Disc) Disc.Disc = FDisc;
    TCdTrackRip& Rip = Disc.Tracks[FNumber];
    Rip.Number = FNumber;
    Rip.ExpectedFrames = FExpectedFrames;
    Rip.Frames = FChecksums.Frames();
    Rip.Complete = FChecksums.Complete();
    Rip.Crc32 = FChecksums.Crc32();
    Rip.AccurateRipV1 = FChecksums.AccurateRipV1();
    Rip.AccurateRipV2 = FChecksums.AccurateRipV2();
    Rip.Result = Result;
    Rip.Target = TargetPath;
  }

private:
  std::shared_ptr<TCdRipLog::TDiscRips> FDiscs;
  std::shared_ptr<const platform::TCdDisc> FDisc;
  int32_t FNumber;
  TCdTrackChecksums FChecksums;
  int64_t FExpectedFrames;
};

}  // namespace

TCdRipLog::TCdRipLog() : FDiscs(std::make_shared<TDiscRips>()) {}

TPcmTapFactory TCdRipLog::TapFactory() {
  std::shared_ptr<TDiscRips> Discs = FDiscs;
  return [Discs](const TTaskItem& Task) -> std::unique_ptr<IPcmTap> {
    std::u16string Drive;
    int32_t Number = 0;
    if (Task.FKind != tkWholeFile || !platform::SplitCdTrackPath(Task.FSource, Drive, Number))
      return nullptr;
    std::shared_ptr<const platform::TCdDisc> Disc = platform::CatalogCdDisc(Drive);
    const platform::TCdTrack* Track = Disc ? Disc->FindTrack(Number) : nullptr;
    if (!Track) return nullptr;
    return std::make_unique<TTrackTap>(Discs, Disc, *Track);
  };
}

std::vector<TCdDiscRip> TCdRipLog::Discs() const {
  std::vector<TCdDiscRip> Result;
  for (const auto& [Drive, Rip] : *FDiscs)
    Result.push_back(Rip);
  return Result;
}

std::string TCdRipLog::ReadModeText() {
  return "cdparanoia (libcdio-paranoia), full paranoia (verified, overlapped reads), up to " +
         std::to_string(platform::CdReadRetries) +
         " retries per sector; a sector still unreadable fails its track";
}

std::string TCdRipLog::ReportText(const TCdDiscRip& Rip, const std::string& Time) {
  const platform::TCdDisc& Disc = *Rip.Disc;
  std::string Text = "Morvo Convert CD rip report\n\n";
  Text += "Date         : " + Time + "\n";
  Text += "Drive        : " + Utf8(Disc.Drive) + "\n";
  if (!Disc.Performer.empty() || !Disc.Title.empty())
    Text += "Disc         : " + Utf8(Disc.Performer) + " - " + Utf8(Disc.Title) + "\n";
  Text += "Read mode    : " + ReadModeText() + "\n";
  Text += "Read offset  : none applied (0 samples)\n";
  Text += "AccurateRip  : v1 and v2 of the audio as read; the disc's first audio track leaves out "
          "its first "
          "2939 frames, the last its last 2940 frames\n\n";
  Text += "Track  Length      Sectors  CRC32     AR v1     AR v2     Status\n";
  int32_t Ripped = 0, Failed = 0;
  for (const platform::TCdTrack& Track : Disc.Tracks) {
    const auto Found = Rip.Tracks.find(Track.Number);
    const TCdTrackRip* TrackRip = Found == Rip.Tracks.end() ? nullptr : &Found->second;
    if (TrackRip) (TrackRip->Result == rcSucceeded ? Ripped : Failed)++;
    Text += TrackLine(Track.Number, &Track, TrackRip) + "\n";
  }
  // Tracks ripped that the listed disc no longer shows (it was changed).
  for (const auto& [Number, TrackRip] : Rip.Tracks) {
    if (Disc.FindTrack(Number)) continue;
    (TrackRip.Result == rcSucceeded ? Ripped : Failed)++;
    Text += TrackLine(Number, nullptr, &TrackRip) + "\n";
  }
  Text += "\n" + std::to_string(Ripped) + " ripped, " + std::to_string(Failed) + " failed\n";
  return Text;
}

std::vector<std::u16string> TCdRipLog::WriteReports(const std::u16string& Folder) {
  std::vector<std::u16string> Written;
  const uint64_t Now = platform::SystemTimeAsFileTime();
  const std::string Time = platform::FormatLocalFileTime(Now, "%Y-%m-%d %H:%M:%S");
  const std::u16string Stamp =
      platform::Utf8ToWide(platform::FormatLocalFileTime(Now, "%Y%m%d-%H%M%S"));
  for (const auto& [Drive, Rip] : *FDiscs) {
    const std::u16string Name = TTaskManager::ReplaceInvalidChars(WideExtractFileName(Drive));
    std::u16string Stem = u"抓轨报告 ";
    Stem.append(Name).append(u" ").append(Stamp);
    const std::u16string Path = FreeReportPath(Folder, Stem);
    if (WriteText(Path, ReportText(Rip, Time))) Written.push_back(Path);
  }
  FDiscs->clear();
  return Written;
}
