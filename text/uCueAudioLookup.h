// Where the audio file that a cue sheet's FILE line names lies on this
// machine. Sheets travel: they are written on Windows (backslashes, other
// letter case, drive letters, the ripper's folder), renamed with their
// image, or kept after the image was compressed to APE.
//
// Threading: any thread; touches only the file system.
#pragma once

#include <string>

// Looks for NameInSheet (the FILE name as the sheet writes it) for the sheet
// CueFileName, in this order, each path also in other letter case:
// 1. the sheet's folder + the name (backslashes also read as folders);
// 2. only when the sheet names one audio file: the sheet's own name with
//    the extension of the name, then with ".ape";
// 3. the bare file name (after the last "\", "/" or ":") in the sheet's
//    folder, then the bare name with ".ape" (also for a name without
//    folder).
// True with Path set to the file found.
bool FindCueAudioFile(const std::u16string& CueFileName, const std::u16string& NameInSheet,
                      bool SheetNamesOneFile, std::u16string& Path);
