#include "app/uCdDrives.h"

#include "app/uSourceAdding.h"
#include "engine/uTargetTags.h"
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

// The disc and track of a CD track file, when its disc is in the catalog.
bool FindCdTrack(const std::u16string& Source, std::shared_ptr<const platform::TCdDisc>& Disc,
                 const platform::TCdTrack*& Track) {
  std::u16string Drive;
  int32_t Number = 0;
  if (!platform::SplitCdTrackPath(Source, Drive, Number)) return false;
  Disc = platform::CatalogCdDisc(Drive);
  Track = Disc ? Disc->FindTrack(Number) : nullptr;
  return Track != nullptr;
}

const std::u16string& Either(const std::u16string& First, const std::u16string& Second) {
  return First.empty() ? Second : First;
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
  std::shared_ptr<const platform::TCdDisc> Disc;
  const platform::TCdTrack* Track = nullptr;
  if (!FindCdTrack(Source, Disc, Track) || !Disc->HasCdText) return {};
  return CueTrackTargetName(Either(Track->Performer, Disc->Performer),
                            TrackTitleForName(Track->Title, Track->Number), TargetExt);
}

std::shared_ptr<const TSheetTrackTags> CdTextTrackTags(const std::u16string& Source) {
  std::shared_ptr<const platform::TCdDisc> Disc;
  const platform::TCdTrack* Track = nullptr;
  if (!FindCdTrack(Source, Disc, Track)) return nullptr;
  TTagSet Tags;
  Tags.Title = Track->Title;
  Tags.Artist = Either(Track->Performer, Disc->Performer);
  Tags.Album = Disc->Title;
  Tags.AlbumArtist = Disc->Performer;
  Tags.Composer =
      Either(Either(Track->Composer, Track->Songwriter), Either(Disc->Composer, Disc->Songwriter));
  Tags.Genre = Disc->Genre;
  Tags.Isrc = Track->Isrc;
  Tags.Catalog = Disc->Catalog;
  // The numbers alone are no CD-TEXT: a disc without any gives no tags.
  if (Tags.Empty()) return nullptr;
  Tags.Track = static_cast<uint32_t>(Track->Number);
  Tags.TrackTotal = static_cast<uint32_t>(Disc->Tracks.size());
  return std::make_shared<const TSheetTrackTags>(TSheetTrackTags{std::move(Tags), {}});
}
