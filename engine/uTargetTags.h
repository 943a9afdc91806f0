// The tags a target gets: collected from the task's source (and, for a cue
// track, from its sheet) before the pump, written into the finished target
// after the encoder's Finish and the output's release.
//
// Both run on the worker thread that converts the task, outside the PCM
// pump. They never raise and never fail the task: a tag that cannot be
// written leaves the target as it is (correct audio) and says why.
#pragma once

#include <string>

#include "codecs/uTagSet.h"

class TDecoderEx;
class TTaskItem;

// What a cue sheet gives one of its tracks: the sheet's own values and the
// picture file beside the sheet. Made when the track is added, shared and
// never changed after.
struct TSheetTrackTags {
  TTagSet Tags;
  std::u16string CoverFile;  // empty when there is none
};

// A whole file: its own tags, read with TagLib, or from what the open
// Decoder found when TagLib cannot read the container. A cue track: its
// sheet's values; the image's album fields and cover fill what the sheet
// lacks; the picture beside the sheet stands in when the image has none.
TTagSet CollectTaskTags(const TTaskItem& Task, TDecoderEx* Decoder);

// Writes Tags into the complete, closed target at Path in the format of
// the task's target extension. Empty on success (or with nothing to
// write); otherwise the text for the task's detail, also logged.
std::u16string WriteTargetTags(const TTaskItem& Task, const TTagSet& Tags,
                               const std::u16string& Path);
