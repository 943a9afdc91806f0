// Handing a file to the player: play it or add it to the player's playlist.
// Any thread.
#pragma once

#include <string>

enum class TPlayerMode { Play, Playlist };

// Starts the player executable ("Morva" in the player folder) with "/open"
// or "/list" and the quoted path; a path that is not an existing file starts
// the player without arguments. Without a player executable, Play opens the
// file with the desktop's default application. False when nothing could be
// started: the caller shows "无法添加播放列表".
bool LaunchPlayer(const std::u16string& Path, TPlayerMode Mode);
