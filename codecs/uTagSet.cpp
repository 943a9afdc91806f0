#include "codecs/uTagSet.h"

#include <cstring>

namespace {

void Fill(std::u16string& Mine, const std::u16string& Theirs) {
  if (Mine.empty()) Mine = Theirs;
}

void Fill(uint32_t& Mine, uint32_t Theirs) {
  if (Mine == 0) Mine = Theirs;
}

// Leading blanks skipped; digits up to the first other character. False
// when there is no digit or the value does not fit.
bool ParseCount(std::u16string_view Text, uint32_t& Value) {
  size_t I = Text.find_first_not_of(u" \t");
  if (I == std::u16string_view::npos) return false;
  uint64_t Acc = 0;
  const size_t First = I;
  for (; I < Text.size() && Text[I] >= u'0' && Text[I] <= u'9'; ++I) {
    Acc = Acc * 10 + (Text[I] - u'0');
    if (Acc > 0xFFFFFFFFu) return false;
  }
  if (I == First) return false;
  Value = static_cast<uint32_t>(Acc);
  return true;
}

bool StartsWith(const std::vector<uint8_t>& Data, const char* Magic, size_t Offset = 0) {
  const size_t Size = std::strlen(Magic);
  return Data.size() >= Offset + Size && std::memcmp(Data.data() + Offset, Magic, Size) == 0;
}

}  // namespace

bool TTagSet::Empty() const {
  return Title.empty() && Artist.empty() && Album.empty() && AlbumArtist.empty() && Date.empty() &&
         Genre.empty() && Composer.empty() && Comment.empty() && Isrc.empty() && Catalog.empty() &&
         Track == 0 && TrackTotal == 0 && Disc == 0 && DiscTotal == 0 && Cover.Empty();
}

void TTagSet::FillFrom(const TTagSet& Other) {
  Fill(Title, Other.Title);
  Fill(Track, Other.Track);
  Fill(TrackTotal, Other.TrackTotal);
  Fill(Isrc, Other.Isrc);
  FillAlbumFieldsFrom(Other);
}

void TTagSet::FillAlbumFieldsFrom(const TTagSet& Other) {
  Fill(Artist, Other.Artist);
  Fill(Album, Other.Album);
  Fill(AlbumArtist, Other.AlbumArtist);
  Fill(Date, Other.Date);
  Fill(Genre, Other.Genre);
  Fill(Composer, Other.Composer);
  Fill(Comment, Other.Comment);
  Fill(Catalog, Other.Catalog);
  Fill(Disc, Other.Disc);
  Fill(DiscTotal, Other.DiscTotal);
  if (Cover.Empty()) Cover = Other.Cover;
}

bool ParseNumberPair(std::u16string_view Text, uint32_t& Number, uint32_t& Total) {
  uint32_t Value = 0;
  if (!ParseCount(Text, Value) || Value == 0) return false;
  Number = Value;
  const size_t Slash = Text.find(u'/');
  uint32_t Count = 0;
  if (Slash != std::u16string_view::npos && ParseCount(Text.substr(Slash + 1), Count) && Count > 0)
    Total = Count;
  return true;
}

std::u16string NumberPairText(uint32_t Number, uint32_t Total) {
  if (Number == 0) return {};
  std::string Text = std::to_string(Number);
  if (Total > 0) Text += "/" + std::to_string(Total);
  return std::u16string(Text.begin(), Text.end());
}

std::string SniffImageMimeType(const std::vector<uint8_t>& Data) {
  if (StartsWith(Data, "\xFF\xD8\xFF")) return "image/jpeg";
  if (StartsWith(Data, "\x89PNG\r\n\x1A\n")) return "image/png";
  if (StartsWith(Data, "GIF8")) return "image/gif";
  if (StartsWith(Data, "BM")) return "image/bmp";
  if (StartsWith(Data, "RIFF") && StartsWith(Data, "WEBP", 8)) return "image/webp";
  return {};
}
