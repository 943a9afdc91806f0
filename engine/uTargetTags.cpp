#include "engine/uTargetTags.h"

#include "codecs/uDecoderEx.h"
#include "codecs/uTagReader.h"
#include "codecs/uTagWriter.h"
#include "engine/uTaskItem.h"
#include "infra/uLxFileUtils.h"
#include "infra/uLxLog.h"
#include "infra/uMessages.h"

namespace {

bool FormatOfTarget(const std::u16string& Ext, TFormatType& Format) {
  const std::u16string Lower = WideLowerAscii(Ext);
  if (Lower == u".mp3")
    Format = ftMP3;
  else if (Lower == u".ape")
    Format = ftAPE;
  else if (Lower == u".wav")
    Format = ftWAV;
  else if (Lower == u".flac")
    Format = ftFLAC;
  else
    return false;
  return true;
}

// TagLib first. It may also take a container it does not know for one it
// does (frame syncs found in the middle of Matroska) and find nothing: then
// the decoder, which read the container, is asked as well.
TTagSet ReadSourceTags(const std::u16string& Source, TDecoderEx* Decoder) {
  TTagSet Tags;
  if ((ReadFileTags(Source, Tags) && !Tags.Empty()) || !Decoder) return Tags;
  TMetadataPairs Pairs;
  std::vector<uint8_t> Picture;
  if (!Decoder->ReadMetadata(Pairs, Picture)) return Tags;
  Tags = TagsFromPairs(Pairs);
  Tags.Cover.MimeType = SniffImageMimeType(Picture);
  if (!Tags.Cover.MimeType.empty()) Tags.Cover.Data = std::move(Picture);
  return Tags;
}

}  // namespace

TTagSet CollectTaskTags(const TTaskItem& Task, TDecoderEx* Decoder) {
  try {
    TTagSet Source = ReadSourceTags(Task.FSource, Decoder);
    if (!Task.FSheetTags) return Source;
    TTagSet Tags = Task.FSheetTags->Tags;
    Tags.FillAlbumFieldsFrom(Source);
    if (Tags.Cover.Empty() && !Task.FSheetTags->CoverFile.empty())
      Tags.Cover = ReadCoverFile(Task.FSheetTags->CoverFile);
    return Tags;
  } catch (...) {
    return {};
  }
}

std::u16string WriteTargetTags(const TTaskItem& Task, const TTagSet& Tags,
                               const std::u16string& Path) {
  if (Tags.Empty()) return {};
  TFormatType Format;
  if (!FormatOfTarget(Task.FTargetExt, Format)) return {};
  const std::u16string Reason = WriteFileTags(Path, Format, Tags);
  if (Reason.empty()) return {};
  std::u16string Detail = FormatText(TrNoop(u"标签未写入: %s"), {Reason});
  try {
    WriteLog(u"WriteTargetTags: " + Path + u": " + Reason);
  } catch (...) {
  }
  return Detail;
}
