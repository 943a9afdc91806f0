// The CD commands of the window's CD menu and of the command line: reading
// every ready drive's audio tracks into the conversion list ("读取光驱设备"),
// ejecting the drives ("弹出光驱"), listing them, and naming a track's target
// from the disc's CD-TEXT. The drives, their roots and the track files are
// the platform's (platform/uCdDrives.h, platform/uCdFiles.h).
//
// Threading: main thread (adding goes to the task manager; reading a disc
// may take the drive a moment).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TSourceAdder;
struct TSheetTrackTags;

struct TCdDriveState {
  std::u16string Drive;
  std::u16string Root;  // the folder that holds its track files
  bool Ready = false;   // a disc with audio tracks is in it
  int32_t TrackCount = 0;
  std::u16string Performer;  // the album's CD-TEXT, empty without
  std::u16string Title;
};

// Every drive, in the platform's order, with the disc read now (devices
// plugged in since the last look appear).
std::vector<TCdDriveState> ListCdDrives();
// A drive is ready when the disc in it holds audio tracks; Root is a
// drive's root (or the drive itself). Reads the disc now.
bool IsDriveReady(const std::u16string& Root);
// For every drive whose root is a CD-ROM drive and ready, AddFolder of the
// root: its tracks become whole-file tasks of source class 0. Returns the
// number of drives read.
int32_t ReadCdDrives(TSourceAdder& Adder);
// Ejects every ready drive; a drive that refuses (busy, an image) stays as
// it is. The outcome is not reported.
void EjectCdDrives();

// The target name of a CD track when its disc carries CD-TEXT: the track's
// performer (else the album's), " - ", its title (else its number) and
// TargetExt, as for a cue track. Empty for any other source.
std::u16string CdTextTargetName(const std::u16string& Source, const std::u16string& TargetExt);

// The tags a CD track's target gets from its disc's CD-TEXT, as a cue track
// gets them from its sheet: title, performer (else the album's), album and
// album performer, track number and count, composer (else songwriter, the
// track's before the album's), genre, ISRC and the disc's UPC/EAN. Null for
// any other source and for a disc without CD-TEXT: then the target gets
// no tags at all, as from any source that has none.
std::shared_ptr<const TSheetTrackTags> CdTextTrackTags(const std::u16string& Source);
