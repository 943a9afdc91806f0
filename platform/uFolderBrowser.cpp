#include "platform/uFolderBrowser.h"

#include <mutex>

namespace platform {

namespace {
std::mutex BrowserMutex;
TFolderBrowser Installed;
}  // namespace

void SetFolderBrowser(TFolderBrowser Browser) {
  std::lock_guard Lock(BrowserMutex);
  Installed = std::move(Browser);
}

bool BrowseForFolder(const TFolderBrowseRequest& Request, std::u16string& Chosen) {
  TFolderBrowser Browser;
  {
    std::lock_guard Lock(BrowserMutex);
    Browser = Installed;
  }
  return Browser && Browser(Request, Chosen);
}

}  // namespace platform
