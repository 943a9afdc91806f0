#include "uSoundFont.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kFolders[] = {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3"};
constexpr const char* kDefaults[] = {"/usr/share/sounds/sf2/default-GM.sf2",
                                     "/usr/share/sounds/sf3/default-GM.sf3"};

bool IsFile(const fs::path& Path) {
  std::error_code error;
  return fs::is_regular_file(Path, error);  // follows the alternatives' links
}

bool HasSoundFontExtension(const fs::path& Path) {
  std::string ext = Path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".sf2" || ext == ".sf3";
}

std::string FirstInFolder(const fs::path& Folder) {
  std::error_code error;
  std::vector<fs::path> found;
  for (fs::directory_iterator it(Folder, error), end; !error && it != end; it.increment(error))
    if (HasSoundFontExtension(it->path()) && IsFile(it->path())) found.push_back(it->path());
  if (found.empty()) return {};
  return std::min_element(found.begin(), found.end())->string();
}

}  // namespace

std::string FindSoundFont(std::string& Reason) {
  if (const char* chosen = std::getenv("MORVO_SOUNDFONT"); chosen && *chosen) {
    if (IsFile(chosen)) return chosen;
    Reason = std::string("MORVO_SOUNDFONT names no SoundFont file: ") + chosen;
    return {};
  }
  for (const char* path : kDefaults)
    if (IsFile(path)) return path;
  for (const char* folder : kFolders)
    if (std::string first = FirstInFolder(folder); !first.empty()) return first;
  Reason =
      "no General MIDI SoundFont found in /usr/share/sounds/sf2 or /usr/share/sounds/sf3 "
      "(install one, such as fluid-soundfont-gm or timgm6mb-soundfont, or set MORVO_SOUNDFONT)";
  return {};
}
