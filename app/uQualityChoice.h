// Which entry of a format's quality list is the current choice, and storing
// a chosen entry back into the parameter object: the rules of the window's
// quality box, shared with the command line. Main thread.
#pragma once

class TEncodeParam;

// FLAC: its level; MP3: the index of its bitrate mode (CBR, ABR, VBR; item 0
// for any other mode); WAV: the output choice; APE: 0. Never negative.
int SelectedQualityIndex(const TEncodeParam& Param);
// The inverse for a chosen item. APE stores nothing (its one entry shows the
// level chosen in the advanced settings), nor does MP3 in an unknown mode.
// Changed is not called: the list itself does not change.
void StoreQualityIndex(TEncodeParam& Param, int Index);
