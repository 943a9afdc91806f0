#include "cli/uCliOptions.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <map>

#include "infra/uMessages.h"

namespace {

constexpr const char* kVersion = "morvo-convert 0.1.0";

const std::map<std::string, int> kExistPolicies{{"rename", 0}, {"ask", 1}, {"overwrite", 2}};
const std::map<std::string, int> kPriorities{{"fast", 0}, {"background", 1}};
const std::map<std::string, int> kMp3Modes{{"cbr", 0}, {"abr", 1}, {"vbr", 2}};
const std::map<std::string, int> kMp3Channels{{"stereo", 0}, {"joint", 1}, {"mono", 2}};

// A negative index gets a short answer (the library's own number check
// prints the whole range of a double).
const CLI::Validator QualityIndex(
    [](std::string& Text) -> std::string {
      if (!Text.empty() && Text[0] == '-')
        return "a quality index is 0 or more; see --list-qualities";
      return {};
    },
    "INDEX");

constexpr const char* kHelpFooter = R"(Quality:
  Each format has a list of qualities; -q picks an entry by its index (0 is
  the first). "morvo-convert -f mp3 --list-qualities" prints the list with
  the saved choice marked. Without -q the format's saved choice is used.

Defaults:
  format: mp3 (the first one available); target folder: the saved one
  (~/Morva/Convert/ at first); existing targets: ask; priority: fast.
  --save makes the format, its settings and the folder the new defaults.

Examples:
  morvo-convert -f flac -o ~/Music/flac album.ape
  morvo-convert -f mp3 -q 3 -e rename ~/Music/wav/
  morvo-convert -f wav -o ~/Music/tracks image.cue
  morvo-convert -f mp3 --json *.flac > results.jsonl
  morvo-convert --cd -f flac -o ~/Music/cd --eject

Exit status: 0 all tasks done; 1 a task failed or nothing to convert;
2 a usage error or an unusable target folder; 130, 143, 129 stopped by
SIGINT, SIGTERM, SIGHUP.)";

void DefineOptions(CLI::App& App, TCliOptions& O) {
  App.add_option("SOURCE", O.Sources, "audio files, folders and cue sheets (one task per track)");
  // The member check also stores the name as listed, so "MP3" arrives as "mp3".
  App.add_option("-f,--format", O.Format, "target format: mp3, ape, wav or flac")
      ->transform(CLI::IsMember({"mp3", "ape", "wav", "flac"}, CLI::ignore_case));
  App.add_option("-q,--quality", O.Quality, "index into the format's quality list")
      ->check(QualityIndex);
  App.add_flag("--list-qualities", O.ListQualities, "print the format's quality list and exit");
  App.add_option("-o,--output", O.Output, "target folder (default: the saved one)");
  App.add_option("-e,--exists", O.ExistPolicy,
                 "existing targets: rename, ask or overwrite (default ask)")
      ->transform(CLI::CheckedTransformer(kExistPolicies, CLI::ignore_case));
  App.add_option("-p,--priority", O.Priority,
                 Tr("fast (加速处理(较快)) or background (资源优先(偏慢))"))
      ->transform(CLI::CheckedTransformer(kPriorities, CLI::ignore_case));
  App.add_option("--mp3-mode", O.Mp3BitRateMode, "MP3 bitrate mode: cbr, abr or vbr")
      ->transform(CLI::CheckedTransformer(kMp3Modes, CLI::ignore_case));
  App.add_option("--mp3-channels", O.Mp3ChannelMode, "MP3 channels: stereo, joint or mono")
      ->transform(CLI::CheckedTransformer(kMp3Channels, CLI::ignore_case));
  App.add_option("--ape-level", O.ApeLevel, Tr("APE compression level 0 (快速) .. 4 (疯狂)"))
      ->check(CLI::Range(0, 4));
  App.add_flag("--delete-source", O.DeleteSource, "move each converted source to the trash");
  App.add_flag("--add-to-playlist", O.AddToPlaylist, "hand each converted target to the player");
  App.add_flag("--save", O.Save, "store the format's settings and the target folder as defaults");
  App.add_flag("--json", O.Json, "one JSON object per finished task on standard output");
  App.add_flag("--quiet", O.Quiet, "print nothing but failures, questions and JSON");
  // Two callbacks rather than one negatable flag: the option stays unset,
  // and the saved setting holds, when neither is given.
  CLI::Option* Tags = App.add_flag_callback(
      "--tags", [&O] { O.WriteTags = true; },
      "carry the sources' tags and covers into the targets "
      "(default: the saved setting, on unless turned off)");
  App.add_flag_callback(
         "--no-tags", [&O] { O.WriteTags = false; }, "write no tags into the targets")
      ->excludes(Tags);
  App.add_flag("--cd", O.Cd, Tr("add the audio tracks of every ready CD drive (读取光驱设备)"));
  App.add_flag("--list-drives", O.ListDrives,
               "list the CD drives (devices and the disc images in MORVO_CD_DRIVES) and exit");
  App.add_flag("--eject", O.Eject,
               Tr("eject every ready CD drive (弹出光驱), after the run if there is one"));
  App.set_version_flag("-V,--version", kVersion);
  App.footer(kHelpFooter);
}

// The folder given with -o names a file of a target format: most likely
// the user meant the target file itself, which we do not take.
bool NamesATargetFile(const std::string& Folder) {
  const auto Dot = Folder.rfind('.');
  if (Dot == std::string::npos || Folder.find('/', Dot) != std::string::npos) return false;
  std::string Extension = Folder.substr(Dot + 1);
  for (char& C : Extension)
    C = char(std::tolower(static_cast<unsigned char>(C)));
  return Extension == "mp3" || Extension == "ape" || Extension == "wav" || Extension == "flac";
}

}  // namespace

TCliParseResult ParseCliOptions(int argc, const char* const* argv) {
  TCliParseResult Result;
  CLI::App App{"Converts audio between MP3, APE, WAV and FLAC and cuts images by their cue sheets.",
               "morvo-convert"};
  DefineOptions(App, Result.Options);
  try {
    App.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    Result.Message = App.help();
    return Result;
  } catch (const CLI::CallForVersion&) {
    Result.Message = std::string(kVersion) + "\n";
    return Result;
  } catch (const CLI::ParseError& E) {
    Result.ExitCode = 2;
    Result.Message =
        std::string("morvo-convert: ") + E.what() + "\nRun with --help for the options.\n";
    return Result;
  }
  const TCliOptions& O = Result.Options;
  if (O.Sources.empty() && !O.ListQualities && !O.Cd && !O.ListDrives && !O.Eject) {
    Result.ExitCode = 2;
    Result.Message = "morvo-convert: no SOURCE given\nRun with --help for the options.\n";
    return Result;
  }
  if (Result.Options.Output && NamesATargetFile(*Result.Options.Output))
    Result.Warning = "morvo-convert: -o names the target folder, not a file; \"" +
                     *Result.Options.Output + "\" is taken as a folder\n";
  Result.Run = true;
  return Result;
}
