// Test helpers for cue sheets and audio images: a temporary folder that is
// removed afterwards, files written byte for byte, and audio made with the
// ffmpeg and flac command-line tools.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace cuetest {

namespace fs = std::filesystem;

class TTempDir {
public:
  TTempDir() {
    std::string Pattern = (fs::temp_directory_path() / "morvo_cue_XXXXXX").string();
    if (mkdtemp(Pattern.data()) == nullptr)
      throw std::runtime_error("mkdtemp failed");
    FPath = Pattern;
  }
  ~TTempDir() {
    std::error_code Ec;
    fs::remove_all(FPath, Ec);
  }
  const fs::path& Path() const { return FPath; }
  // The folder as a wide string with a trailing delimiter.
  std::u16string Wide() const { return Utf8ToU16(FPath.string() + "/"); }

  static std::u16string Utf8ToU16(const std::string& S) {
    const auto U8 = fs::path(S).u16string();
    return std::u16string(U8.begin(), U8.end());
  }

private:
  fs::path FPath;
};

inline void WriteBytes(const fs::path& File, const std::string& Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), std::streamsize(Bytes.size()));
  if (!Out)
    throw std::runtime_error("cannot write " + File.string());
}

inline std::string ReadBytes(const fs::path& File) {
  std::ifstream In(File, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

inline std::string Utf16Le(const std::u16string& S, bool WithMark) {
  std::string Out = WithMark ? std::string("\xFF\xFE", 2) : std::string();
  for (char16_t C : S) {
    Out += char(C & 0xFF);
    Out += char(C >> 8);
  }
  return Out;
}

inline std::string Utf16Be(const std::u16string& S) {
  std::string Out("\xFE\xFF", 2);
  for (char16_t C : S) {
    Out += char(C >> 8);
    Out += char(C & 0xFF);
  }
  return Out;
}

inline bool RunTool(const std::string& Command) {
  return std::system((Command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const fs::path& P) {
  return "'" + P.string() + "'";
}

// A 16-bit stereo 44100 Hz WAV of Seconds of white noise (noise makes every
// sample differ, so a lost or doubled sample shows in a comparison).
inline void MakeNoiseWav(const fs::path& File, double Seconds) {
  const std::string Cmd = "ffmpeg -nostdin -y -f lavfi -i anoisesrc=d=" + std::to_string(Seconds) +
                          ":c=white:r=44100:a=0.5 -ac 2 -c:a pcm_s16le -f wav " + Quoted(File);
  ASSERT_TRUE(RunTool(Cmd)) << Cmd;
}

inline void MakeFlac(const fs::path& Wav, const fs::path& Flac) {
  const std::string Cmd = "flac -f -s -o " + Quoted(Flac) + " " + Quoted(Wav);
  ASSERT_TRUE(RunTool(Cmd)) << Cmd;
}

// The bytes of the "data" chunk of a RIFF/WAVE file; empty when none.
inline std::string WavData(const std::string& Wav) {
  size_t Pos = 12;
  while (Pos + 8 <= Wav.size()) {
    const std::string Id = Wav.substr(Pos, 4);
    uint32_t Size = 0;
    for (int I = 3; I >= 0; --I)
      Size = (Size << 8) | uint8_t(Wav[Pos + 4 + size_t(I)]);
    if (Id == "data")
      return Wav.substr(Pos + 8, std::min<size_t>(Size, Wav.size() - Pos - 8));
    Pos += 8 + Size + (Size & 1);
  }
  return {};
}

} // namespace cuetest
