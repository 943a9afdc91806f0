// Audio CD images for tests: a CUE sheet and its BIN file of raw 16-bit
// little-endian stereo PCM in 2352-byte sectors, one track after another,
// each track full-range noise of its own (so that a track read from the
// wrong place, a byte swapped or a sector lost shows), optionally with
// CD-TEXT (album and track performers and titles) in the sheet. libcdio's
// BIN/CUE driver opens such an image as a drive (MORVO_CD_DRIVES).
// Plain functions, safe on any thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/uTestFiles.h"

namespace morvotest {

constexpr size_t CdSectorBytes = 2352;

struct TCdImageTrack {
  size_t Sectors = 0;
  std::string Performer;  // CD-TEXT; empty: none for this track
  std::string Title;
};

struct TCdImage {
  std::filesystem::path Cue;
  std::filesystem::path Bin;
  std::vector<std::vector<uint8_t>> TrackPcm;  // the bytes each track was made of
  std::vector<size_t> FirstSector;             // of each track
};

// Deterministic noise of Bytes bytes (a multiple of 4) for Seed.
inline std::vector<uint8_t> CdNoise(size_t Bytes, uint32_t Seed) {
  std::vector<uint8_t> Pcm(Bytes);
  uint32_t State = Seed * 2654435761u + 1u;
  for (size_t I = 0; I < Bytes; ++I) {
    State = State * 1664525u + 1013904223u;
    Pcm[I] = static_cast<uint8_t>(State >> 24);
  }
  return Pcm;
}

// "MM:SS:FF" of a sector count.
inline std::string CueTime(size_t Sector) {
  char Text[80];
  std::snprintf(Text, sizeof Text, "%02zu:%02zu:%02zu", Sector / (60 * 75), Sector / 75 % 60,
                Sector % 75);
  return Text;
}

// Writes Dir/Name.cue and Dir/Name.bin (the driver finds the BIN by the
// sheet's name). Album performer and title go in when not empty; so do
// further sheet lines of the album (AlbumLines) and of each track
// (TrackLines[T], each line ending in "\n"), such as more CD-TEXT.
inline TCdImage MakeCdImage(const std::filesystem::path& Dir, const std::string& Name,
                            const std::vector<TCdImageTrack>& Tracks, uint32_t Seed,
                            const std::string& AlbumPerformer = {},
                            const std::string& AlbumTitle = {}, const std::string& AlbumLines = {},
                            const std::vector<std::string>& TrackLines = {}) {
  TCdImage Image;
  Image.Cue = Dir / (Name + ".cue");
  Image.Bin = Dir / (Name + ".bin");
  std::string Sheet = AlbumLines;
  if (!AlbumPerformer.empty()) Sheet += "PERFORMER \"" + AlbumPerformer + "\"\n";
  if (!AlbumTitle.empty()) Sheet += "TITLE \"" + AlbumTitle + "\"\n";
  Sheet += "FILE \"" + Name + ".bin\" BINARY\n";
  std::vector<uint8_t> Bin;
  size_t Sector = 0;
  for (size_t T = 0; T < Tracks.size(); ++T) {
    Image.TrackPcm.push_back(
        CdNoise(Tracks[T].Sectors * CdSectorBytes, Seed + uint32_t(T) * 7919u));
    Image.FirstSector.push_back(Sector);
    Bin.insert(Bin.end(), Image.TrackPcm.back().begin(), Image.TrackPcm.back().end());
    char Number[24];
    std::snprintf(Number, sizeof Number, "%02zu", T + 1);
    Sheet += std::string("  TRACK ") + Number + " AUDIO\n";
    if (!Tracks[T].Title.empty()) Sheet += "    TITLE \"" + Tracks[T].Title + "\"\n";
    if (!Tracks[T].Performer.empty()) Sheet += "    PERFORMER \"" + Tracks[T].Performer + "\"\n";
    if (T < TrackLines.size()) Sheet += TrackLines[T];
    Sheet += "    INDEX 01 " + CueTime(Sector) + "\n";
    Sector += Tracks[T].Sectors;
  }
  WriteBytes(Image.Bin, Bin);
  WriteBytes(Image.Cue, Sheet);
  return Image;
}

// Tracks without CD-TEXT of the given lengths in sectors.
inline std::vector<TCdImageTrack> PlainTracks(const std::vector<size_t>& Sectors) {
  std::vector<TCdImageTrack> Tracks;
  for (size_t Count : Sectors)
    Tracks.push_back({Count, {}, {}});
  return Tracks;
}

}  // namespace morvotest
