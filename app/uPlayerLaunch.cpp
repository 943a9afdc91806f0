#include "app/uPlayerLaunch.h"

#include "codecs/uDataExchange.h"
#include "infra/uLxFileUtils.h"
#include "platform/uShell.h"

bool LaunchPlayer(const std::u16string& Path, TPlayerMode Mode) {
  const std::u16string Player = WideIncludeTrailingBackslash(GetPlayerInstallDir()) + u"Morva";
  const bool HasFile = WideFileExists(Path);
  if (!WideFileExists(Player)) {
    return Mode == TPlayerMode::Play && HasFile && platform::OpenWithDefaultApplication(Path);
  }
  std::vector<std::u16string> Args;
  // The command line "/open "path"" reaches the player as these two words.
  if (HasFile) Args = {Mode == TPlayerMode::Play ? u"/open" : u"/list", Path};
  return platform::LaunchProgram(Player, Args);
}
