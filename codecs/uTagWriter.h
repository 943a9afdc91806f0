// Writing tags into a finished target, by its format: MP3 an ID3v2.3 tag
// in UTF-16 before the first frame (the encoder's own LAME frame stays as
// it is); FLAC Vorbis comments and a PICTURE block; APE an APEv2 tag with
// "Cover Art (Front)"; WAV a RIFF INFO list plus an id3 chunk that holds
// every field and the picture. Only metadata changes: the audio frames are
// neither moved within themselves nor rewritten.
//
// Call only on a complete, closed file that nothing else has open.
// Thread-safe (each call opens the file on its own). Never raises.
#pragma once

#include <string>

#include "codecs/uTagSet.h"
#include "interfaces/uCodecInterfaces.h"

// Empty when the tags were written (or there was nothing to write); else
// why they were not. The file keeps its audio either way.
std::u16string WriteFileTags(const std::u16string& Path, TFormatType Format, const TTagSet& Tags);
