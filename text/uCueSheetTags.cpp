#include "text/uCueSheetTags.h"

#include <algorithm>
#include <vector>

#include "infra/uLxFileUtils.h"
#include "text/uCueParser.h"

namespace {

std::u16string Trimmed(std::u16string_view Text) {
  const size_t First = Text.find_first_not_of(u" \t");
  if (First == std::u16string_view::npos) return {};
  return std::u16string(Text.substr(First, Text.find_last_not_of(u" \t") - First + 1));
}

// A value as sheets write it: "in quotes" (the text between them) or bare.
std::u16string ValueOf(std::u16string_view Rest) {
  std::u16string Text = Trimmed(Rest);
  if (Text.size() >= 1 && Text.front() == u'"') {
    const size_t Close = Text.find(u'"', 1);
    Text = Close == std::u16string::npos ? Text.substr(1) : Text.substr(1, Close - 1);
  }
  return Trimmed(Text);
}

const std::u16string& Either(const std::u16string& First, const std::u16string& Second) {
  return First.empty() ? Second : First;
}

}  // namespace

void TCueSheetTags::Clear() {
  FAlbum = {};
  FTracks.clear();
  FDisc = FDiscTotal = 0;
}

TCueSheetTags::TFields& TCueSheetTags::FieldsOf(int32_t Track) {
  return Track <= 0 ? FAlbum : FTracks[Track];
}

void TCueSheetTags::TakeLine(int32_t Track, const std::u16string& Keyword,
                             const std::u16string& Rest) {
  if (Keyword == u"REM") {
    TakeRemark(FieldsOf(Track), Rest);
  } else if (Keyword == u"SONGWRITER") {
    FieldsOf(Track).Songwriter = ValueOf(Rest);
  } else if (Keyword == u"ISRC" && Track > 0) {
    FieldsOf(Track).Isrc = ValueOf(Rest);
  }
}

// "REM DATE 1999", "REM GENRE "Hard Rock"", "REM DISCNUMBER 1", ...: the
// keys written by the common rippers.
void TCueSheetTags::TakeRemark(TFields& Fields, const std::u16string& Rest) {
  const std::u16string Text = Trimmed(Rest);
  const size_t Blank = Text.find_first_of(u" \t");
  if (Blank == std::u16string::npos) return;
  const std::u16string Key = WideUpperAscii(Text.substr(0, Blank));
  const std::u16string Value = ValueOf(std::u16string_view(Text).substr(Blank + 1));
  uint32_t Unused = 0;
  if (Key == u"DATE")
    Fields.Date = Value;
  else if (Key == u"GENRE")
    Fields.Genre = Value;
  else if (Key == u"COMMENT")
    Fields.Comment = Value;
  else if (Key == u"DISCNUMBER")
    ParseNumberPair(Value, FDisc, FDiscTotal);
  else if (Key == u"TOTALDISCS")
    ParseNumberPair(Value, FDiscTotal, Unused);
}

TTagSet TCueSheetTags::TrackTags(const TCueParser& Parser, int32_t Number) const {
  const TCueTrack& Track = Parser.Track(Number);
  const auto Found = FTracks.find(Number);
  const TFields& Own = Found == FTracks.end() ? FAlbum : Found->second;
  TTagSet Tags;
  Tags.Title = Trimmed(Track.Title);
  Tags.Artist = Trimmed(Track.Performer);
  Tags.Album = Trimmed(Parser.Title());
  Tags.AlbumArtist = Trimmed(Parser.Performer());
  if (Tags.Artist.empty()) Tags.Artist = Tags.AlbumArtist;
  Tags.Track = static_cast<uint32_t>(Number);
  Tags.TrackTotal = static_cast<uint32_t>(Parser.TrackCount());
  Tags.Disc = FDisc;
  Tags.DiscTotal = FDiscTotal;
  Tags.Catalog = ValueOf(Parser.Catalog());
  Tags.Composer = Either(Own.Songwriter, FAlbum.Songwriter);
  Tags.Isrc = Own.Isrc;
  Tags.Date = Either(Own.Date, FAlbum.Date);
  Tags.Genre = Either(Own.Genre, FAlbum.Genre);
  Tags.Comment = Either(Own.Comment, FAlbum.Comment);
  return Tags;
}

std::u16string FindCoverBesideSheet(const std::u16string& CuePath) {
  static const char16_t* const Stems[] = {u"COVER", u"FOLDER", u"FRONT"};
  static const char16_t* const Exts[] = {u".JPG", u".JPEG", u".PNG"};
  const std::u16string Folder = WideExtractFilePath(CuePath);
  std::vector<std::u16string> Files;
  TSearchRecW Rec;
  if (WideFindFirst(Folder + u"*.*", faAnyFile, Rec) != 0) return {};
  do {
    if ((Rec.Attr & faDirectory) == 0) Files.push_back(Rec.Name);
  } while (WideFindNext(Rec) == 0);
  WideFindClose(Rec);
  // Names that differ only in case: the same choice on every run.
  std::sort(Files.begin(), Files.end());
  for (const char16_t* Stem : Stems) {
    for (const char16_t* Ext : Exts) {
      const std::u16string Wanted = std::u16string(Stem) + Ext;
      for (const std::u16string& Name : Files)
        if (WideUpperAscii(Name) == Wanted) return Folder + Name;
    }
  }
  return {};
}
