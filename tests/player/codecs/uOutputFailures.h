// The failures of a target disk, each staged on the output of a fresh
// encoder of ClassId writing Pcm to File; shared by the encoder tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/player/codecs/uCodecTestKit.h"

namespace codectest {

// A disk that fills up after WriteBudget bytes: Encode and Finish fail.
inline void ExpectFullDiskReported(const TGUID& ClassId, const std::filesystem::path& File,
                                   int64_t WriteBudget, const TPcm& Pcm) {
  TFileCallback output(File);
  TEncoderPair pair;
  ASSERT_TRUE(CreateLibraryEncoder(ClassId, pair));
  output.FailWritesAfter(WriteBudget);
  const auto result = Drive(pair.Encoder, output, Pcm);
  EXPECT_TRUE(result.EncodeFailed);
  EXPECT_NE(result.FinishResult, 0);
}

// An output that stops seeking after the first block: Finish fails.
inline void ExpectLostSeekReported(const TGUID& ClassId, const std::filesystem::path& File,
                                   const TPcm& Pcm) {
  TFileCallback output(File);
  TEncoderPair pair;
  ASSERT_TRUE(CreateLibraryEncoder(ClassId, pair));
  ASSERT_EQ(pair.Encoder->Init(&output, &Pcm.Format), 0);
  EXPECT_GE(pair.Encoder->Encode(Pcm.Bytes.data(), 16384), 0);
  output.FailSeeks();
  EXPECT_NE(pair.Encoder->Finish(), 0);
}

// An output closed before Init (every call answers -1): what Drive saw.
inline TEncodeResult DriveIntoClosedOutput(const TGUID& ClassId, const std::filesystem::path& File,
                                           const TPcm& Pcm) {
  TFileCallback output(File);
  TEncoderPair pair;
  EXPECT_TRUE(CreateLibraryEncoder(ClassId, pair));
  if (!pair.Encoder)
    return {};
  output.Close();
  return Drive(pair.Encoder, output, Pcm);
}

} // namespace codectest
