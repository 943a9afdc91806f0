// The quality a lossy MP3 source allows, as its refusal names it.
#include "app/uQualityChoice.h"

#include <gtest/gtest.h>

#include "params/uEncodeParam.h"
#include "tests/support/uTempDir.h"

namespace {

TEST(QualityChoice, TheBestBitrateNotAboveTheSourcesIsAccepted) {
  morvotest::TTempDir Dir;
  const auto Param = TMp3Param::Class().Create(Dir.Path().u16string() + u"/EncodeConfig.ini");
  auto& Mp3 = dynamic_cast<TMp3Param&>(*Param);
  for (const uint8_t Mode : {uint8_t(0), uint8_t(1)}) {
    Mp3.FBitRateMode = Mode;
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 128), 5) << int(Mode);
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 130), 5) << "between two entries";
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 320), 0);
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 500), 0);
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 32), 11);
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 24), -1) << "below the whole table";
    EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 0), -1) << "a bitrate the decoder does not know";
  }
  Mp3.FBitRateMode = 2;
  EXPECT_EQ(HighestAcceptedQualityIndex(Mp3, 128), -1) << "VBR entries are presets, not bitrates";
}

}  // namespace
