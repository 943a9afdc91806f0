// The target-folder check made before a run starts: the folder text is
// trimmed, must not be empty, is given exactly one trailing delimiter, must
// lie on a local fixed drive and is created with its missing parents. Shared by the window and
// the command line. Any thread; touches only the file system.
#pragma once

#include <string>

struct TTargetFolderCheck {
  bool Ok = false;
  std::u16string Path;     // the normalised folder, with its trailing delimiter
  std::u16string Message;  // the error text when not Ok
  std::u16string Caption;  // "路径修改"
};

TTargetFolderCheck CheckTargetFolder(const std::u16string& FolderText);
