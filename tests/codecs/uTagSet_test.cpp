#include "codecs/uTagSet.h"

#include <gtest/gtest.h>

namespace {

TEST(TagSet, NumberPairsAsTagFormatsWriteThem) {
  uint32_t Number = 0, Total = 0;
  EXPECT_TRUE(ParseNumberPair(u"03/12", Number, Total));
  EXPECT_EQ(Number, 3u);
  EXPECT_EQ(Total, 12u);
  // A number without total leaves a total found elsewhere alone.
  EXPECT_TRUE(ParseNumberPair(u" 7", Number, Total));
  EXPECT_EQ(Number, 7u);
  EXPECT_EQ(Total, 12u);
  EXPECT_TRUE(ParseNumberPair(u"5/x", Number, Total));
  EXPECT_EQ(Total, 12u);
  for (const char16_t* Bad : {u"", u"0", u"abc", u"/12", u"99999999999"}) {
    Number = Total = 42;
    EXPECT_FALSE(ParseNumberPair(Bad, Number, Total));
    EXPECT_EQ(Number, 42u);
    EXPECT_EQ(Total, 42u);
  }
  EXPECT_EQ(NumberPairText(3, 12), u"3/12");
  EXPECT_EQ(NumberPairText(3, 0), u"3");
  EXPECT_EQ(NumberPairText(0, 12), u"");
}

TEST(TagSet, AnImageLendsItsTracksOnlyWhatDescribesTheAlbum) {
  TTagSet Track;
  Track.Title = u"One";
  Track.Track = 1;
  Track.Album = u"From the sheet";
  TTagSet Image;
  Image.Title = u"Whole image";
  Image.Track = 9;
  Image.TrackTotal = 9;
  Image.Isrc = u"XX";
  Image.Album = u"Image album";
  Image.Genre = u"Rock";
  Image.DiscTotal = 2;
  Image.Cover.Data = {1, 2, 3};

  TTagSet Lent = Track;
  Lent.FillAlbumFieldsFrom(Image);
  EXPECT_EQ(Lent.Title, u"One");
  EXPECT_EQ(Lent.Track, 1u);
  EXPECT_EQ(Lent.TrackTotal, 0u);
  EXPECT_EQ(Lent.Isrc, u"");
  EXPECT_EQ(Lent.Album, u"From the sheet");
  EXPECT_EQ(Lent.Genre, u"Rock");
  EXPECT_EQ(Lent.DiscTotal, 2u);
  EXPECT_EQ(Lent.Cover.Data, Image.Cover.Data);

  TTagSet Filled;
  Filled.FillFrom(Image);
  EXPECT_EQ(Filled.Title, u"Whole image");
  EXPECT_EQ(Filled.TrackTotal, 9u);
  EXPECT_EQ(Filled.Isrc, u"XX");
  EXPECT_FALSE(Filled.Empty());
  EXPECT_TRUE(TTagSet().Empty());
}

TEST(TagSet, PicturesAreKnownByTheirFirstBytes) {
  EXPECT_EQ(SniffImageMimeType({0xFF, 0xD8, 0xFF, 0xE0}), "image/jpeg");
  EXPECT_EQ(SniffImageMimeType({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}), "image/png");
  EXPECT_EQ(SniffImageMimeType({'G', 'I', 'F', '8', '9', 'a'}), "image/gif");
  EXPECT_EQ(SniffImageMimeType({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P'}), "image/webp");
  EXPECT_EQ(SniffImageMimeType({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}), "");
  EXPECT_EQ(SniffImageMimeType({0xFF, 0xD8}), "");
}

}  // namespace
