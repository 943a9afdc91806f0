// Command-line options of morvo-convert.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TCliOptions {
  std::vector<std::string> Sources;  // files, folders and cue sheets, as given
  std::string Format;                // "mp3", "ape", "wav", "flac"; empty: the first available
  std::optional<int> Quality;        // index into the format's quality list
  bool ListQualities = false;
  std::optional<std::string> Output;  // target folder; default: the saved one
  int ExistPolicy = 1;                // 0 rename, 1 ask, 2 overwrite
  int Priority = 0;                   // 0 faster, 1 resources first
  std::optional<int> Mp3BitRateMode;  // 0 CBR, 1 ABR, 2 VBR
  std::optional<int> Mp3ChannelMode;  // 0 stereo, 1 joint stereo, 2 mono
  std::optional<int> ApeLevel;        // 0..4
  bool DeleteSource = false;
  bool AddToPlaylist = false;
  bool Save = false;
  bool Json = false;
  bool Quiet = false;             // no progress, no lines for tasks that succeeded, no summary
  std::optional<bool> WriteTags;  // --tags / --no-tags; default: the saved setting
  bool Cd = false;                // add every ready CD drive's tracks
  bool ListDrives = false;        // print the CD drives and exit
  bool Eject = false;             // eject every ready CD drive (after the run, if any)
};

struct TCliParseResult {
  bool Run = false;  // false: print Message and exit with ExitCode
  int ExitCode = 0;  // 0 for --help/--version, 2 for a usage error
  std::string Message;
  std::string Warning;  // printed on the error stream before a run
  TCliOptions Options;
};

TCliParseResult ParseCliOptions(int argc, const char* const* argv);
