// The task manager's two settings in EncodeConfig.ini: the target folder
// ([General] DestPath) and whether the start-up tip is suppressed
// ([General] TipShow). Read once when the task manager is made, written when
// the main window closes. Main thread only.
#pragma once

#include <cstdint>
#include <string>

// The built-in target folder, $HOME/Morva/Convert/ (with its delimiter).
std::u16string DefaultTargetFolder();

// When the configuration file exists, DestPath and TipShow take its values
// (the values passed in are the defaults of missing keys); otherwise they
// are left as they are. Any failure sets DestPath to DefaultTargetFolder().
void LoadTaskSettings(std::u16string& DestPath, int32_t& TipShow);

// Writes DestPath (in the system code page) and TipShow, creating the file
// when needed. Never raises; false when a key could not be written.
bool SaveTaskSettings(const std::u16string& DestPath, int32_t TipShow);

// [General] WriteTags: 1 targets get their sources' tags and covers, 0 they
// get none. True when the file or the key is missing or unreadable; any
// value but 0 counts as on.
bool LoadWriteTags();
// Never raises; false when the key could not be written.
bool SaveWriteTags(bool WriteTags);
