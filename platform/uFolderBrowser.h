// The folder browser: the front end installs the dialog that lets the user
// pick a folder (the window installs a Qt one); without one nothing is
// picked. Main thread only, like any dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Browse flags of the folder browser.
constexpr uint32_t BIF_RETURNONLYFSDIRS = 0x01;
constexpr uint32_t BIF_DONTGOBELOWDOMAIN = 0x02;
constexpr uint32_t BIF_EDITBOX = 0x10;
constexpr uint32_t BIF_VALIDATE = 0x20;
constexpr uint32_t BIF_NEWDIALOGSTYLE = 0x40;

struct TFolderBrowseRequest {
  std::u16string Caption;
  std::u16string Root;       // empty: the whole file system
  std::u16string Directory;  // initially shown folder; empty for none
  uint32_t Options = 0;
  const void* Owner = nullptr;  // the window the dialog belongs to
};

// True and the chosen folder, or false when the user cancelled.
using TFolderBrowser =
    std::function<bool(const TFolderBrowseRequest& Request, std::u16string& Chosen)>;

void SetFolderBrowser(TFolderBrowser Browser);
bool BrowseForFolder(const TFolderBrowseRequest& Request, std::u16string& Chosen);

}  // namespace platform
