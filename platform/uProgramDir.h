// Where the program and its files live. Folders end in "/".
#pragma once

#include <string>
#include <vector>

namespace platform {

std::u16string ExecutablePath();
// The arguments the process was started with, after the program's name.
std::vector<std::u16string> ProcessArguments();
std::u16string ExecutableDir();
// Folder of EncodeConfig.ini, encode.log and output.log: MORVO_PROGRAM_DIR
// when set; else the executable's folder when the program may write there
// (not under /usr/); else ${XDG_CONFIG_HOME:-$HOME/.config}/Morvo/, made
// when missing.
std::u16string ProgramDataDir();
std::u16string HomeDir();
// ${XDG_CONFIG_HOME:-$HOME/.config}/
std::u16string UserConfigDir();

}  // namespace platform
