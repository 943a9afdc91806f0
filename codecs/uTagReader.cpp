#include "codecs/uTagReader.h"

#include <algorithm>
#include <memory>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/trueaudiofile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include "codecs/uTagLibText.h"
#include "infra/uLxFileUtils.h"
#include "infra/uStreams.h"

namespace {

// Larger pictures are not covers but something else stored as one.
constexpr int64_t MaxCoverBytes = 16 * 1024 * 1024;

enum TField {
  fTitle,
  fArtist,
  fAlbum,
  fAlbumArtist,
  fDate,
  fGenre,
  fComposer,
  fComment,
  fIsrc,
  fCatalog,
  fTrack,
  fTrackTotal,
  fDisc,
  fDiscTotal
};

struct TKeyName {
  const char* Key;  // upper case
  TField Field;
};

// The names the tag formats and FFmpeg give the fields we keep.
constexpr TKeyName KeyNames[] = {
    {"TITLE", fTitle},
    {"ARTIST", fArtist},
    {"ALBUM", fAlbum},
    {"ALBUMARTIST", fAlbumArtist},
    {"ALBUM_ARTIST", fAlbumArtist},
    {"ALBUM ARTIST", fAlbumArtist},
    {"DATE", fDate},
    {"YEAR", fDate},
    {"GENRE", fGenre},
    {"COMPOSER", fComposer},
    {"COMMENT", fComment},
    {"DESCRIPTION", fComment},
    {"ISRC", fIsrc},
    {"CATALOGNUMBER", fCatalog},
    {"CATALOG", fCatalog},
    {"TRACKNUMBER", fTrack},
    {"TRACK", fTrack},
    {"TRACKTOTAL", fTrackTotal},
    {"TOTALTRACKS", fTrackTotal},
    {"DISCNUMBER", fDisc},
    {"DISC", fDisc},
    {"DISCTOTAL", fDiscTotal},
    {"TOTALDISCS", fDiscTotal},
};

bool FieldOf(const std::u16string& Key, TField& Field) {
  std::string Upper;
  for (char16_t C : Key) {
    if (C > 127) return false;
    Upper += static_cast<char>(C >= u'a' && C <= u'z' ? C - 32 : C);
  }
  for (const TKeyName& Name : KeyNames) {
    if (Upper == Name.Key) {
      Field = Name.Field;
      return true;
    }
  }
  return false;
}

std::u16string Trimmed(const std::u16string& Text) {
  const size_t First = Text.find_first_not_of(u" \t\r\n");
  if (First == std::u16string::npos) return {};
  return Text.substr(First, Text.find_last_not_of(u" \t\r\n") - First + 1);
}

void SetText(std::u16string& Slot, const std::u16string& Value) {
  if (Slot.empty()) Slot = Value;
}

void SetCount(uint32_t& Slot, const std::u16string& Value) {
  uint32_t Unused = 0;
  if (Slot == 0) ParseNumberPair(Value, Slot, Unused);
}

void Apply(TTagSet& Tags, TField Field, const std::u16string& Value) {
  switch (Field) {
  case fTitle:
    SetText(Tags.Title, Value);
    break;
  case fArtist:
    SetText(Tags.Artist, Value);
    break;
  case fAlbum:
    SetText(Tags.Album, Value);
    break;
  case fAlbumArtist:
    SetText(Tags.AlbumArtist, Value);
    break;
  case fDate:
    SetText(Tags.Date, Value);
    break;
  case fGenre:
    SetText(Tags.Genre, Value);
    break;
  case fComposer:
    SetText(Tags.Composer, Value);
    break;
  case fComment:
    SetText(Tags.Comment, Value);
    break;
  case fIsrc:
    SetText(Tags.Isrc, Value);
    break;
  case fCatalog:
    SetText(Tags.Catalog, Value);
    break;
  case fTrack:
    if (Tags.Track == 0) ParseNumberPair(Value, Tags.Track, Tags.TrackTotal);
    break;
  case fTrackTotal:
    SetCount(Tags.TrackTotal, Value);
    break;
  case fDisc:
    if (Tags.Disc == 0) ParseNumberPair(Value, Tags.Disc, Tags.DiscTotal);
    break;
  case fDiscTotal:
    SetCount(Tags.DiscTotal, Value);
    break;
  }
}

TMetadataPairs PairsOf(const TagLib::PropertyMap& Properties) {
  TMetadataPairs Pairs;
  for (const auto& [Key, Values] : Properties) {
    if (!Values.isEmpty()) Pairs.emplace_back(FromTagLib(Key), FromTagLib(Values.toString("; ")));
  }
  return Pairs;
}

TCoverArt Cover(const TagLib::ByteVector& Data, const TagLib::String& MimeType) {
  TCoverArt Art;
  if (Data.isEmpty() || Data.size() > MaxCoverBytes) return Art;
  Art.Data = FromByteVector(Data);
  Art.MimeType = SniffImageMimeType(Art.Data);
  if (Art.MimeType.empty()) Art.MimeType = MimeType.to8Bit(true);
  return Art;
}

// Pictures of one container: the front cover, else the first picture.
template <class TPicture, class TTypeOf, class TMake>
TCoverArt ChooseCover(const TagLib::List<TPicture>& Pictures, TTypeOf TypeOf, TMake Make) {
  for (const auto& Picture : Pictures) {
    if (TypeOf(Picture) == 3) return Make(Picture);  // 3 is the front cover in every format
  }
  return Pictures.isEmpty() ? TCoverArt() : Make(Pictures.front());
}

TCoverArt Id3v2Cover(TagLib::ID3v2::Tag* Tag) {
  if (!Tag) return {};
  using TagLib::ID3v2::AttachedPictureFrame;
  TagLib::List<AttachedPictureFrame*> Pictures;
  for (TagLib::ID3v2::Frame* Frame : Tag->frameList("APIC")) {
    if (auto* Picture = dynamic_cast<AttachedPictureFrame*>(Frame)) Pictures.append(Picture);
  }
  return ChooseCover(
      Pictures, [](AttachedPictureFrame* P) { return static_cast<int>(P->type()); },
      [](AttachedPictureFrame* P) { return Cover(P->picture(), P->mimeType()); });
}

TCoverArt FlacCover(const TagLib::List<TagLib::FLAC::Picture*>& Pictures) {
  return ChooseCover(
      Pictures, [](TagLib::FLAC::Picture* P) { return static_cast<int>(P->type()); },
      [](TagLib::FLAC::Picture* P) { return Cover(P->data(), P->mimeType()); });
}

// APEv2 keeps a cover as a binary item: a file name, a zero byte, the bytes.
TCoverArt ApeCover(TagLib::APE::Tag* Tag) {
  if (!Tag) return {};
  const TagLib::APE::ItemListMap& Items = Tag->itemListMap();
  const auto Found = Items.find("COVER ART (FRONT)");
  if (Found == Items.end()) return {};
  const TagLib::ByteVector Value = Found->second.binaryData();
  const int Zero = Value.find('\0');
  if (Zero < 0) return {};
  return Cover(Value.mid(static_cast<unsigned int>(Zero) + 1), TagLib::String());
}

TCoverArt Mp4Cover(TagLib::MP4::Tag* Tag) {
  if (!Tag || !Tag->contains("covr")) return {};
  const TagLib::MP4::CoverArtList Covers = Tag->item("covr").toCoverArtList();
  return Covers.isEmpty() ? TCoverArt() : Cover(Covers.front().data(), TagLib::String());
}

TCoverArt AsfCover(TagLib::ASF::Tag* Tag) {
  if (!Tag || !Tag->contains("WM/Picture")) return {};
  TagLib::List<TagLib::ASF::Picture> Pictures;
  for (const TagLib::ASF::Attribute& Attribute : Tag->attribute("WM/Picture"))
    Pictures.append(Attribute.toPicture());
  return ChooseCover(
      Pictures, [](const TagLib::ASF::Picture& P) { return static_cast<int>(P.type()); },
      [](const TagLib::ASF::Picture& P) { return Cover(P.picture(), P.mimeType()); });
}

TCoverArt CoverOf(TagLib::File* File) {
  if (auto* Flac = dynamic_cast<TagLib::FLAC::File*>(File)) {
    TCoverArt Art = FlacCover(Flac->pictureList());
    if (Art.Empty() && Flac->hasXiphComment()) Art = FlacCover(Flac->xiphComment()->pictureList());
    return Art;
  }
  if (auto* Mpeg = dynamic_cast<TagLib::MPEG::File*>(File)) {
    TCoverArt Art = Id3v2Cover(Mpeg->ID3v2Tag());
    return Art.Empty() ? ApeCover(Mpeg->APETag()) : Art;
  }
  if (auto* Wav = dynamic_cast<TagLib::RIFF::WAV::File*>(File)) return Id3v2Cover(Wav->ID3v2Tag());
  if (auto* Aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(File)) return Id3v2Cover(Aiff->tag());
  if (auto* Mp4 = dynamic_cast<TagLib::MP4::File*>(File)) return Mp4Cover(Mp4->tag());
  if (auto* Asf = dynamic_cast<TagLib::ASF::File*>(File)) return AsfCover(Asf->tag());
  if (auto* Ape = dynamic_cast<TagLib::APE::File*>(File)) return ApeCover(Ape->APETag());
  if (auto* WavPack = dynamic_cast<TagLib::WavPack::File*>(File))
    return ApeCover(WavPack->APETag());
  if (auto* Mpc = dynamic_cast<TagLib::MPC::File*>(File)) return ApeCover(Mpc->APETag());
  if (auto* Tta = dynamic_cast<TagLib::TrueAudio::File*>(File)) return Id3v2Cover(Tta->ID3v2Tag());
  // Ogg Vorbis, Opus, Speex and Ogg FLAC keep pictures in their comments.
  if (auto* Xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(File->tag()))
    return FlacCover(Xiph->pictureList());
  return {};
}

// A WAV file may carry both an id3 chunk and INFO; the id3 chunk is the
// richer one and wins, INFO fills the rest.
void FillFromSecondaryTags(TagLib::File* File, TTagSet& Tags) {
  if (auto* Wav = dynamic_cast<TagLib::RIFF::WAV::File*>(File); Wav && Wav->hasInfoTag())
    Tags.FillFrom(TagsFromPairs(PairsOf(Wav->InfoTag()->properties())));
}

}  // namespace

TTagSet TagsFromPairs(const TMetadataPairs& Pairs) {
  TTagSet Tags;
  for (const auto& [Key, Value] : Pairs) {
    TField Field;
    const std::u16string Text = Trimmed(Value);
    if (!Text.empty() && FieldOf(Key, Field)) Apply(Tags, Field, Text);
  }
  return Tags;
}

bool ReadFileTags(const std::u16string& Path, TTagSet& Tags) {
  try {
    UseSystemCodePageForInfo();
    TagLib::FileRef Ref(TagLibFileName(Path).c_str(), false);
    if (Ref.isNull() || !Ref.file()->isValid()) return false;
    TagLib::File* File = Ref.file();
    TTagSet Read = TagsFromPairs(PairsOf(File->properties()));
    FillFromSecondaryTags(File, Read);
    Read.Cover = CoverOf(File);
    Tags = std::move(Read);
    return true;
  } catch (...) {
    return false;
  }
}

TCoverArt ReadCoverFile(const std::u16string& Path) {
  TCoverArt Art;
  try {
    TFileStreamW File(Path, fmOpenRead | fmShareDenyWrite);
    const int64_t Size = File.Size();
    if (Size <= 0 || Size > MaxCoverBytes) return Art;
    Art.Data.resize(static_cast<size_t>(Size));
    File.ReadBuffer(Art.Data.data(), Size);
    Art.MimeType = SniffImageMimeType(Art.Data);
    if (Art.MimeType.empty()) return {};
  } catch (...) {
    return {};
  }
  return Art;
}
