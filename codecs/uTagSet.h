// The tags that travel from a source to its target: the text fields a
// converter keeps, the track and disc numbers and the front cover. Values
// that no longer match the new audio (ReplayGain, encoder names, lengths)
// have no place here, so they are dropped by construction.
//
// Plain values: copy freely; no thread affinity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TCoverArt {
  std::string MimeType;  // "image/jpeg", "image/png", ...; empty when unknown
  std::vector<uint8_t> Data;

  bool Empty() const { return Data.empty(); }
};

struct TTagSet {
  std::u16string Title;
  std::u16string Artist;
  std::u16string Album;
  std::u16string AlbumArtist;
  std::u16string Date;
  std::u16string Genre;
  std::u16string Composer;
  std::u16string Comment;
  std::u16string Isrc;
  std::u16string Catalog;
  // 0 when not set.
  uint32_t Track = 0;
  uint32_t TrackTotal = 0;
  uint32_t Disc = 0;
  uint32_t DiscTotal = 0;
  TCoverArt Cover;

  bool Empty() const;
  // Every field of Other that this set lacks.
  void FillFrom(const TTagSet& Other);
  // The fields that describe the album rather than one track: what the
  // image of a cue sheet can lend each of its tracks (its own title, track
  // number and ISRC belong to no track).
  void FillAlbumFieldsFrom(const TTagSet& Other);
};

// "3", "03", "3/12": the number before the slash (Number) and the one after
// it (Total, left alone when there is none). False, and nothing set, when
// the text does not start with a positive number.
bool ParseNumberPair(std::u16string_view Text, uint32_t& Number, uint32_t& Total);

// "3" or "3/12" (a Total of 0 gives no slash); empty for a Number of 0.
std::u16string NumberPairText(uint32_t Number, uint32_t Total);

// The picture's type by its first bytes (JPEG, PNG, GIF, BMP, WebP); empty
// when they are none of these.
std::string SniffImageMimeType(const std::vector<uint8_t>& Data);
