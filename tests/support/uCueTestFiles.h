// Test helpers for cue sheets and audio images: a test folder that names
// itself as a wide path, a Chinese UTF-8 desktop for one test, and audio made
// with the ffmpeg and flac command-line tools.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"
#include "tests/support/uTestTools.h"
#include "tests/support/uUtf16.h"

namespace cuetest {

namespace fs = std::filesystem;

using morvotest::Quote;
using morvotest::ReadBytes;
using morvotest::RunCommand;
using morvotest::Utf16Be;
using morvotest::Utf16Le;
using morvotest::WavData;
using morvotest::WriteBytes;

// A test folder that also names itself as the system's wide paths do.
class TTempDir : public morvotest::TTempDir {
public:
  // The folder as a wide string with a trailing delimiter.
  std::u16string Wide() const { return Utf8ToU16(Path().string() + "/"); }

  // Writes Bytes to the file Name (its folders made as needed) and returns
  // the file's wide path.
  std::u16string Write(const std::string& Name, const std::string& Bytes) const {
    fs::create_directories((Path() / Name).parent_path());
    WriteBytes(Path() / Name, Bytes);
    return Wide() + Utf8ToU16(Name);
  }

  static std::u16string Utf8ToU16(const std::string& S) { return fs::path(S).u16string(); }
};

// A UTF-8 desktop of a Chinese user for one scope: 8-bit text that is not
// UTF-8 is GBK.
class TChineseUtf8Desktop : morvotest::TScopedLocale {
public:
  TChineseUtf8Desktop() : TScopedLocale("zh_CN.UTF-8", "65001") {}
};

// A 16-bit stereo 44100 Hz WAV of Seconds of white noise (noise makes every
// sample differ, so a lost or doubled sample shows in a comparison).
inline void MakeNoiseWav(const fs::path& File, double Seconds) {
  const std::string Cmd = "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=" + std::to_string(Seconds) +
                          ":c=white:r=44100:a=0.5 -ac 2 -c:a pcm_s16le -f wav " + Quote(File);
  ASSERT_TRUE(RunCommand(Cmd));
}

inline void MakeFlac(const fs::path& Wav, const fs::path& Flac) {
  const std::string Cmd = "flac -f -s -o " + Quote(Flac) + " " + Quote(Wav);
  ASSERT_TRUE(RunCommand(Cmd));
}

}  // namespace cuetest
