// The tag fields of a cue sheet that the parser does not need for cutting:
// REM DATE, REM GENRE, REM COMMENT, REM DISCNUMBER, REM TOTALDISCS, and the
// SONGWRITER and ISRC of each track, collected line by line as the parser
// reads them; then the tags of one track, and the cover picture that lies
// beside the sheet.
//
// One object per parser, used on the parser's thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "codecs/uTagSet.h"

class TCueParser;

class TCueSheetTags {
public:
  // One line at the level of track Track (0: before the first TRACK),
  // already decoded; Keyword is the line's first word, Rest what follows.
  void TakeLine(int32_t Track, const std::u16string& Keyword, const std::u16string& Rest);
  void Clear();

  // Track Number's tags from a parsed sheet: its title and performer (the
  // album's when it has none), the album's title, performer (as album
  // artist) and catalog number, the track number and count, and the fields
  // above (a track's own before the album's).
  TTagSet TrackTags(const TCueParser& Parser, int32_t Number) const;

private:
  struct TFields {
    std::u16string Songwriter;
    std::u16string Isrc;
    std::u16string Date;
    std::u16string Genre;
    std::u16string Comment;
  };
  TFields& FieldsOf(int32_t Track);
  void TakeRemark(TFields& Fields, const std::u16string& Rest);

  TFields FAlbum;
  std::map<int32_t, TFields> FTracks;
  uint32_t FDisc = 0;
  uint32_t FDiscTotal = 0;
};

// The picture file in the sheet's folder that stands for the album's
// cover: cover, folder or front with the extension .jpg, .jpeg or .png,
// letter case ignored, in this order of preference. Empty when there is
// none.
std::u16string FindCoverBesideSheet(const std::u16string& CuePath);
