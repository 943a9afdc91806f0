// Which General MIDI SoundFont MIDI sources are rendered with: the file
// named by MORVO_SOUNDFONT when that is set, else where Debian's SoundFont
// packages put the system's default (sf2 before sf3), else the first
// SoundFont in those folders by name. Any thread.
#pragma once

#include <string>

// The SoundFont's path, or empty with Reason telling why there is none.
std::string FindSoundFont(std::string& Reason);
