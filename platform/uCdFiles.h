// The audio tracks of a CD as files: each drive of uCdDrives.h has a root
// of its own, the drive's path followed by "/" (/dev/sr0/, or
// /music/album.cue/ for a disc image), under which a ready drive presents
// one read-only file "TrackNN.cda" per audio track (NN its two-digit number
// on the disc). Such a file's size is the track's audio in bytes (2352 per
// sector). The file functions of uFileIO.h answer for these paths from the
// catalog of discs, so that attributes and directory searches see them
// without touching the drive.
//
// Names are matched as the original system's CD file system matches them:
// letter case aside; "\" separates folders as "/" does.
// Threading: any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/uFileIO.h"

namespace platform {

// Drive + "/".
std::u16string CdDriveRoot(const std::u16string& Drive);
// "Track01.cda" for 1.
std::u16string CdTrackFileName(int32_t Number);
// Splits a track path into its drive and track number: true for
// "<folder>/TrackNN.cda" (any letter case) whatever the folder; whether the
// folder is a drive is the caller's to check.
bool SplitCdTrackPath(const std::u16string& Path, std::u16string& Drive, int32_t& Number);
// The drive whose root holds Path (or that Path names); empty when none.
std::u16string CdDriveOfPath(const std::u16string& Path);

// Attributes and size of a drive root or a track file, from the catalog:
// false (and the last error set) when Path names neither, or a drive that
// is not ready.
bool CdFileAttributes(const std::u16string& Path, uint32_t& Attributes, uint64_t& Size);
// The track files in Folder when Folder is a ready drive's root (its
// trailing delimiter may be missing); false otherwise.
bool CdFolderEntries(const std::u16string& Folder, std::vector<TFindData>& Entries);

}  // namespace platform
