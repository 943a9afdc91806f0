#include "codecs/uTagWriter.h"

#include <memory>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "codecs/uTagLibText.h"

namespace {

using TagLib::ByteVector;
using TagLib::String;

// TagLib opens some files as MP3 or APE without finding a frame in them;
// tags are written only into a file whose audio it recognised.
bool HasAudio(TagLib::File& File) {
  return File.isValid() && !File.readOnly() && File.audioProperties() &&
         File.audioProperties()->sampleRate() > 0;
}

std::u16string Number(uint32_t Value) {
  return Value == 0 ? std::u16string() : NumberPairText(Value, 0);
}

// ---------------------------------------------------------------------------
// ID3v2 (MP3, and the id3 chunk of WAV): every text in UTF-16, which is what
// ID3v2.3 readers (Windows, car stereos) understand beyond Latin-1.

void AddId3Text(TagLib::ID3v2::Tag& Tag, const char* Id, const std::u16string& Value) {
  if (Value.empty()) return;
  auto Frame =
      std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(ByteVector(Id), String::UTF16);
  Frame->setText(ToTagLib(Value));
  Tag.addFrame(Frame.release());
}

void AddId3UserText(TagLib::ID3v2::Tag& Tag, const char* Description, const std::u16string& Value) {
  if (Value.empty()) return;
  auto Frame = std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(String::UTF16);
  Frame->setDescription(Description);
  Frame->setText(ToTagLib(Value));
  Tag.addFrame(Frame.release());
}

void FillId3v2(TagLib::ID3v2::Tag& Tag, const TTagSet& Tags) {
  AddId3Text(Tag, "TIT2", Tags.Title);
  AddId3Text(Tag, "TPE1", Tags.Artist);
  AddId3Text(Tag, "TALB", Tags.Album);
  AddId3Text(Tag, "TPE2", Tags.AlbumArtist);
  AddId3Text(Tag, "TRCK", NumberPairText(Tags.Track, Tags.TrackTotal));
  AddId3Text(Tag, "TPOS", NumberPairText(Tags.Disc, Tags.DiscTotal));
  // Written as ID3v2.3, the date becomes TYER (and TDAT for a full date).
  AddId3Text(Tag, "TDRC", Tags.Date);
  AddId3Text(Tag, "TCON", Tags.Genre);
  AddId3Text(Tag, "TCOM", Tags.Composer);
  AddId3Text(Tag, "TSRC", Tags.Isrc);
  AddId3UserText(Tag, "CATALOGNUMBER", Tags.Catalog);
  if (!Tags.Comment.empty()) {
    auto Frame = std::make_unique<TagLib::ID3v2::CommentsFrame>(String::UTF16);
    Frame->setLanguage("eng");
    Frame->setText(ToTagLib(Tags.Comment));
    Tag.addFrame(Frame.release());
  }
  if (!Tags.Cover.Empty()) {
    auto Frame = std::make_unique<TagLib::ID3v2::AttachedPictureFrame>();
    Frame->setTextEncoding(String::UTF16);
    Frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    Frame->setMimeType(Tags.Cover.MimeType);
    Frame->setPicture(ToByteVector(Tags.Cover.Data));
    Tag.addFrame(Frame.release());
  }
}

// One frame at a time through the tag's own list: a copy of that list
// would share its storage, which owns the frames, and delete them again.
void ClearId3v2(TagLib::ID3v2::Tag& Tag) {
  while (!Tag.frameList().isEmpty())
    Tag.removeFrame(Tag.frameList().front(), true);
}

std::u16string WriteMp3(const std::string& Name, const TTagSet& Tags) {
  TagLib::MPEG::File File(Name.c_str(), true);
  if (!HasAudio(File)) return u"the MP3 file cannot be opened for its tags";
  TagLib::ID3v2::Tag& Tag = *File.ID3v2Tag(true);
  ClearId3v2(Tag);
  FillId3v2(Tag, Tags);
  // Only the ID3v2 tag: an ID3v1 or APE tag the encoder may have added goes.
  if (!File.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                 TagLib::File::DoNotDuplicate))
    return u"the ID3v2 tag could not be saved";
  return {};
}

// ---------------------------------------------------------------------------
// FLAC

void AddComment(TagLib::Ogg::XiphComment& Comment, const char* Key, const std::u16string& Value) {
  if (!Value.empty()) Comment.addField(Key, ToTagLib(Value), true);
}

std::u16string WriteFlac(const std::string& Name, const TTagSet& Tags) {
  TagLib::FLAC::File File(Name.c_str(), true);
  if (!HasAudio(File)) return u"the FLAC file cannot be opened for its tags";
  TagLib::Ogg::XiphComment& Comment = *File.xiphComment(true);
  AddComment(Comment, "TITLE", Tags.Title);
  AddComment(Comment, "ARTIST", Tags.Artist);
  AddComment(Comment, "ALBUM", Tags.Album);
  AddComment(Comment, "ALBUMARTIST", Tags.AlbumArtist);
  AddComment(Comment, "TRACKNUMBER", Number(Tags.Track));
  AddComment(Comment, "TRACKTOTAL", Number(Tags.TrackTotal));
  AddComment(Comment, "DISCNUMBER", Number(Tags.Disc));
  AddComment(Comment, "DISCTOTAL", Number(Tags.DiscTotal));
  AddComment(Comment, "DATE", Tags.Date);
  AddComment(Comment, "GENRE", Tags.Genre);
  AddComment(Comment, "COMPOSER", Tags.Composer);
  AddComment(Comment, "COMMENT", Tags.Comment);
  AddComment(Comment, "ISRC", Tags.Isrc);
  AddComment(Comment, "CATALOGNUMBER", Tags.Catalog);
  File.removePictures();
  if (!Tags.Cover.Empty()) {
    auto Picture = std::make_unique<TagLib::FLAC::Picture>();
    Picture->setType(TagLib::FLAC::Picture::FrontCover);
    Picture->setMimeType(Tags.Cover.MimeType);
    Picture->setData(ToByteVector(Tags.Cover.Data));
    File.addPicture(Picture.release());
  }
  if (!File.save()) return u"the FLAC metadata could not be saved";
  return {};
}

// ---------------------------------------------------------------------------
// APE

void AddApe(TagLib::APE::Tag& Tag, const char* Key, const std::u16string& Value) {
  if (!Value.empty()) Tag.addValue(Key, ToTagLib(Value), true);
}

// Readers take the picture's type from the name's extension.
const char* CoverFileName(const std::string& MimeType) {
  if (MimeType == "image/png") return "cover.png";
  if (MimeType == "image/gif") return "cover.gif";
  if (MimeType == "image/bmp") return "cover.bmp";
  return "cover.jpg";
}

std::u16string WriteApe(const std::string& Name, const TTagSet& Tags) {
  TagLib::APE::File File(Name.c_str(), true);
  if (!HasAudio(File)) return u"the APE file cannot be opened for its tags";
  TagLib::APE::Tag& Tag = *File.APETag(true);
  AddApe(Tag, "Title", Tags.Title);
  AddApe(Tag, "Artist", Tags.Artist);
  AddApe(Tag, "Album", Tags.Album);
  AddApe(Tag, "Album Artist", Tags.AlbumArtist);
  AddApe(Tag, "Track", NumberPairText(Tags.Track, Tags.TrackTotal));
  AddApe(Tag, "Disc", NumberPairText(Tags.Disc, Tags.DiscTotal));
  AddApe(Tag, "Year", Tags.Date);
  AddApe(Tag, "Genre", Tags.Genre);
  AddApe(Tag, "Composer", Tags.Composer);
  AddApe(Tag, "Comment", Tags.Comment);
  AddApe(Tag, "ISRC", Tags.Isrc);
  AddApe(Tag, "Catalog", Tags.Catalog);
  if (!Tags.Cover.Empty()) {
    ByteVector Value(CoverFileName(Tags.Cover.MimeType));
    Value.append('\0');
    Value.append(ToByteVector(Tags.Cover.Data));
    Tag.setData("Cover Art (Front)", Value);
  }
  if (!File.save()) return u"the APEv2 tag could not be saved";
  return {};
}

// ---------------------------------------------------------------------------
// WAV

void AddInfo(TagLib::RIFF::Info::Tag& Tag, const char* Id, const std::u16string& Value) {
  if (!Value.empty()) Tag.setFieldText(ByteVector(Id), ToTagLib(Value));
}

std::u16string WriteWav(const std::string& Name, const TTagSet& Tags) {
  UseSystemCodePageForInfo();
  TagLib::RIFF::WAV::File File(Name.c_str(), true);
  if (!HasAudio(File)) return u"the WAV file cannot be opened for its tags";
  // The fields INFO has a name for, as Windows names them.
  TagLib::RIFF::Info::Tag& Info = *File.InfoTag();
  AddInfo(Info, "INAM", Tags.Title);
  AddInfo(Info, "IART", Tags.Artist);
  AddInfo(Info, "IPRD", Tags.Album);
  AddInfo(Info, "IPRT", Number(Tags.Track));
  AddInfo(Info, "ICRD", Tags.Date);
  AddInfo(Info, "IGNR", Tags.Genre);
  AddInfo(Info, "ICMT", Tags.Comment);
  TagLib::ID3v2::Tag& Id3 = *File.ID3v2Tag();
  ClearId3v2(Id3);
  FillId3v2(Id3, Tags);
  if (!File.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3))
    return u"the RIFF INFO and id3 chunks could not be saved";
  return {};
}

}  // namespace

std::u16string WriteFileTags(const std::u16string& Path, TFormatType Format, const TTagSet& Tags) {
  if (Tags.Empty()) return {};
  try {
    const std::string Name = TagLibFileName(Path);
    switch (Format) {
    case ftMP3:
      return WriteMp3(Name, Tags);
    case ftFLAC:
      return WriteFlac(Name, Tags);
    case ftAPE:
      return WriteApe(Name, Tags);
    case ftWAV:
      return WriteWav(Name, Tags);
    }
    return u"no tags for this format";
  } catch (const std::exception& E) {
    return u"writing the tags failed: " + FromTagLib(String(E.what(), String::UTF8));
  } catch (...) {
    return u"writing the tags failed";
  }
}
