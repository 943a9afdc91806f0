// Starting other programs: the player executable with its arguments, or the
// desktop's default application for a file. Any thread; neither call waits
// for the started program.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts Program (a path) with Args; true when it was started.
bool LaunchProgram(const std::u16string& Program, const std::vector<std::u16string>& Args);
// Opens Path with the desktop's default application (GIO); true on success.
bool OpenWithDefaultApplication(const std::u16string& Path);
// Asks the desktop's file manager (org.freedesktop.FileManager1 on the
// session bus) to show the folder of Path with Path selected; waits at most
// a few seconds for its answer. False without a session bus or such a file
// manager: the caller then opens the folder instead.
bool ShowItemInFileManager(const std::u16string& Path);

}  // namespace platform
