// Tags read and written by mutagen (tests/support/tag_oracle.py, run with
// Debian's python3, which has python3-mutagen): an oracle that shares no
// code with the system. Plain functions, safe on any thread.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"

namespace morvotest {

inline std::string TagOracleCommand() {
  // UTF-8 whatever the locale of the test says (it may name one that is not
  // installed).
  return "PYTHONUTF8=1 /usr/bin/python3 " +
         Quote(std::string(MORVO_SOURCE_DIR) + "/tests/support/tag_oracle.py");
}

// The file's tags as the oracle reports them (see tag_oracle.py); an empty
// object, and a test failure, when it cannot read them.
inline nlohmann::json ReadTagsWithMutagen(const std::filesystem::path& File) {
  const TCommandResult Result = RunTool(TagOracleCommand() + " read " + Quote(File));
  if (Result.ExitCode != 0) {
    ADD_FAILURE() << "mutagen cannot read " << File << ":\n" << Result.Output;
    return nlohmann::json::object();
  }
  try {
    return nlohmann::json::parse(Result.Output);
  } catch (const std::exception& E) {
    ADD_FAILURE() << "not JSON from the oracle: " << Result.Output;
    return nlohmann::json::object();
  }
}

inline ::testing::AssertionResult WriteTagsWithMutagen(const std::filesystem::path& File,
                                                       const nlohmann::json& Fields) {
  return RunCommand(TagOracleCommand() + " write " + Quote(File) + " " + Quote(Fields.dump()));
}

// The text value of a field, empty when the oracle found none.
inline std::string Field(const nlohmann::json& Tags, const std::string& Name) {
  return Tags.contains(Name) ? Tags[Name].get<std::string>() : std::string();
}

// A small JPEG picture (Width x Width pixels of one colour) made by ffmpeg.
inline void MakeJpeg(const std::filesystem::path& File, const std::string& Colour, int Width = 48) {
  const std::string Size = std::to_string(Width) + "x" + std::to_string(Width);
  ASSERT_TRUE(RunCommand("ffmpeg -nostdin -loglevel error -y -f lavfi -i color=" + Colour +
                         ":s=" + Size + ":d=1 -frames:v 1 " + Quote(File)));
}

// The bytes of a file in lower-case hex, as the oracle gives covers.
inline std::string HexOf(const std::filesystem::path& File) {
  static const char* const Digits = "0123456789abcdef";
  std::string Hex;
  for (unsigned char C : ReadBytes(File)) {
    Hex += Digits[C >> 4];
    Hex += Digits[C & 15];
  }
  return Hex;
}

}  // namespace morvotest
