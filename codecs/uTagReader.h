// Reading a source's tags and front cover: with TagLib for every container
// it knows (ID3v1/v2, APEv2, Vorbis comments and FLAC pictures, MP4 atoms,
// ASF, RIFF INFO and id3 chunks, ...); for the others from the key/value
// metadata and attached picture the decoder found (see TDecoderEx).
//
// Thread-safe: each call opens the file on its own. Never raises.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "codecs/uTagSet.h"

using TMetadataPairs = std::vector<std::pair<std::u16string, std::u16string>>;

// False when TagLib cannot read the file's container (or the file at all);
// Tags is then left alone.
bool ReadFileTags(const std::u16string& Path, TTagSet& Tags);

// Tags from key/value pairs whose keys name fields the way tag formats and
// FFmpeg do ("TITLE", "album_artist", "track", "TOTALTRACKS", ...; letter
// case ignored). The first value of a field wins.
TTagSet TagsFromPairs(const TMetadataPairs& Pairs);

// The picture bytes of an image file (a cover beside a cue sheet); an
// empty cover when the file cannot be read, is not an image, or is larger
// than a cover can sensibly be.
TCoverArt ReadCoverFile(const std::u16string& Path);
