// Which entry of a format's quality list is the current choice, and storing
// a chosen entry back into the parameter object: the rules of the window's
// quality box, shared with the command line. Main thread.
#pragma once

#include <cstdint>

class TEncodeParam;
class TMp3Param;

// FLAC: its level; MP3: the index of its bitrate mode (CBR, ABR, VBR; item 0
// for any other mode); WAV: the output choice; APE: 0. Never negative.
int SelectedQualityIndex(const TEncodeParam& Param);
// The inverse for a chosen item. APE stores nothing (its one entry shows the
// level chosen in the advanced settings), nor does MP3 in an unknown mode.
// Changed is not called: the list itself does not change.
void StoreQualityIndex(TEncodeParam& Param, int Index);
// The best MP3 quality (the lowest list index) whose bitrate a lossy source
// of SourceKbps allows in the current CBR or ABR mode, or -1 when none
// does; a higher bitrate than the source's is refused.
int HighestAcceptedQualityIndex(const TMp3Param& Mp3, int32_t SourceKbps);
