#include "app/uCdDrives.h"

#include "app/uSourceAdding.h"
#include "platform/uCdDrives.h"
#include "platform/uCdFiles.h"
#include "platform/uDriveType.h"

namespace {

std::u16string DriveOfRoot(const std::u16string& Root) {
  std::u16string Drive = Root;
  while (Drive.size() > 1 && (Drive.back() == u'/' || Drive.back() == u'\\'))
    Drive.pop_back();
  return Drive;
}

}  // namespace

std::vector<TCdDriveState> ListCdDrives() {
  platform::RefreshCdDrives();
  std::vector<TCdDriveState> States;
  for (const std::u16string& Drive : platform::CdDrives()) {
    const std::shared_ptr<const platform::TCdDisc> Disc = platform::ReadCdDisc(Drive);
    TCdDriveState State;
    State.Drive = Drive;
    State.Root = platform::CdDriveRoot(Drive);
    State.Ready = Disc->Ready();
    State.TrackCount = static_cast<int32_t>(Disc->Tracks.size());
    State.Performer = Disc->Performer;
    State.Title = Disc->Title;
    States.push_back(std::move(State));
  }
  return States;
}

bool IsDriveReady(const std::u16string& Root) {
  const std::u16string Drive = DriveOfRoot(Root);
  return platform::IsCdDrive(Drive) && platform::ReadCdDisc(Drive)->Ready();
}

int32_t ReadCdDrives(TSourceAdder& Adder) {
  platform::RefreshCdDrives();
  int32_t Read = 0;
  for (const std::u16string& Drive : platform::CdDrives()) {
    const std::u16string Root = platform::CdDriveRoot(Drive);
    if (platform::GetDriveTypeW(Root) != platform::DRIVE_CDROM || !IsDriveReady(Root)) continue;
    Adder.AddFolder(Root);
    ++Read;
  }
  return Read;
}

void EjectCdDrives() {
  for (const std::u16string& Drive : platform::CdDrives()) {
    if (IsDriveReady(Drive)) platform::EjectCdDrive(Drive);
  }
}

std::u16string CdTextTargetName(const std::u16string& Source, const std::u16string& TargetExt) {
  std::u16string Drive;
  int32_t Number = 0;
  if (!platform::SplitCdTrackPath(Source, Drive, Number)) return {};
  const std::shared_ptr<const platform::TCdDisc> Disc = platform::CatalogCdDisc(Drive);
  const platform::TCdTrack* Track = Disc ? Disc->FindTrack(Number) : nullptr;
  if (!Track || !Disc->HasCdText) return {};
  const std::u16string& Performer = Track->Performer.empty() ? Disc->Performer : Track->Performer;
  return CueTrackTargetName(Performer, TrackTitleForName(Track->Title, Number), TargetExt);
}
