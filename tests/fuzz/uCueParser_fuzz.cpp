// A cue sheet of any bytes, parsed through its file, as the window adds one:
// the sheet lies in a folder beside a real WAV file that the player
// library's decoder measures to close the last track.
//
// Properties: Parse returns, or raises only the reader's error for a
// malformed UTF-16 sheet; the track count stays within the table; times
// are never negative; titles and performers keep their length limit and
// lose their quotes; an audio file reported as found exists, and when it is
// the WAV beside the sheet the last track ends at the WAV's own duration.
#include <filesystem>
#include <string>

#include "platform/uCodePage.h"
#include "tests/fuzz/uFuzzSupport.h"
#include "tests/support/uTestFiles.h"
#include "text/uCueParser.h"
#include "text/uTextReader.h"

namespace {

namespace fs = std::filesystem;

// The sheet and its audio share the base name, so that a sheet naming any
// ".wav" file finds the audio through the sheet's own name as well.
struct TCueFolder {
  fs::path Dir;
  fs::path Sheet;
  fs::path Audio;
  int32_t AudioMs = 0;

  TCueFolder() {
    Dir = morvofuzz::ScratchDir() / "cue";
    fs::create_directories(Dir);
    Sheet = Dir / "album.cue";
    Audio = Dir / "album.wav";
    const fs::path Seed = fs::path(MORVO_SOURCE_DIR) / "tests/fuzz/data/album.wav";
    const auto Wav = morvotest::ReadBytes(Seed);
    FUZZ_CHECK(!Wav.empty());
    morvofuzz::WriteFile(Audio, Wav);
    const auto Parsed = morvotest::ParseWav(Wav);
    FUZZ_CHECK(Parsed.Valid && Parsed.Rate > 0);
    const int64_t BlockAlign = Parsed.Channels * (Parsed.Bits / 8);
    const int64_t Samples = int64_t(Parsed.Pcm.size()) / BlockAlign;
    AudioMs = int32_t((Samples * 1000 + Parsed.Rate / 2) / Parsed.Rate);
  }
};

const TCueFolder& Folder() {
  static const TCueFolder Instance;
  return Instance;
}

void CheckTrack(const TCueTrack& Track) {
  FUZZ_CHECK(Track.StartMs >= 0 && Track.EndMs >= 0);
  FUZZ_CHECK(Track.Title.size() <= 99 && Track.Performer.size() <= 99);
  FUZZ_CHECK(Track.Title.find(u'"') == std::u16string::npos);
  FUZZ_CHECK(Track.Performer.find(u'"') == std::u16string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TCueFolder& Cue = Folder();
  morvofuzz::WriteFile(Cue.Sheet, std::string_view(reinterpret_cast<const char*>(Data), Size));

  TCueParser Parser;
  bool Found = false;
  try {
    Found = Parser.Parse(platform::PathToWide(Cue.Sheet.string()));
  } catch (const EAssertionFailed&) {
    return 0;  // an odd-sized UTF-16 sheet cannot be read
  }

  FUZZ_CHECK(Parser.TrackCount() >= 0 && Parser.TrackCount() <= TCueParser::MaxTracks);
  for (int N = 1; N <= TCueParser::MaxTracks; ++N)
    CheckTrack(Parser.Track(N));
  FUZZ_CHECK(Parser.Title().find(u'"') == std::u16string::npos);
  FUZZ_CHECK(Parser.Title().size() <= 99 && Parser.Performer().size() <= 99);
  if (Parser.TrackCount() == 0) return 0;
  if (!Found) {
    // Without its audio file a sheet keeps no times.
    if (!Parser.ParseFailed())
      for (int N = 1; N <= Parser.TrackCount(); ++N)
        FUZZ_CHECK(Parser.Track(N).StartMs == 0 && Parser.Track(N).EndMs == 0);
    return 0;
  }
  const fs::path Audio = platform::WideToPath(Parser.FileName());
  FUZZ_CHECK(fs::exists(Audio));
  // The last track ends with its own file: with several FILE lines that
  // may be another file than the one found first.
  const TCueTrack& Last = Parser.Track(Parser.TrackCount());
  std::error_code Error;
  if (!Last.FileName.empty() &&
      fs::equivalent(platform::WideToPath(Last.FileName), Cue.Audio, Error))
    FUZZ_CHECK(Last.EndMs == Cue.AudioMs);
  return 0;
}
