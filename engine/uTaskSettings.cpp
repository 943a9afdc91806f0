#include "engine/uTaskSettings.h"

#include <string>

#include "infra/uLxFileUtils.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uProfile.h"
#include "platform/uProgramDir.h"

namespace {

constexpr const char* SectionGeneral = "General";

}  // namespace

std::u16string DefaultTargetFolder() { return platform::HomeDir() + u"Morva/Convert/"; }

void LoadTaskSettings(std::u16string& DestPath, int32_t& TipShow) {
  try {
    const std::u16string ConfigFile = TParamManager::ConfigFile();
    if (!WideFileExists(ConfigFile)) return;
    const std::string Path = platform::GetPrivateProfileString(
        SectionGeneral, "DestPath", platform::WideToAnsi(DestPath), ConfigFile);
    DestPath = platform::AnsiToWide(Path);
    TipShow = platform::GetPrivateProfileInt(SectionGeneral, "TipShow", TipShow, ConfigFile);
  } catch (...) {
    DestPath = DefaultTargetFolder();
  }
}

bool LoadWriteTags() {
  try {
    const std::u16string ConfigFile = TParamManager::ConfigFile();
    if (!WideFileExists(ConfigFile)) return true;
    return platform::GetPrivateProfileInt(SectionGeneral, "WriteTags", 1, ConfigFile) != 0;
  } catch (...) {
    return true;
  }
}

bool SaveWriteTags(bool WriteTags) {
  try {
    return platform::WritePrivateProfileString(SectionGeneral, "WriteTags", WriteTags ? "1" : "0",
                                               TParamManager::ConfigFile());
  } catch (...) {
    return false;
  }
}

// Both keys are attempted: a folder that cannot be stored must not cost the
// tip setting.
bool SaveTaskSettings(const std::u16string& DestPath, int32_t TipShow) {
  try {
    const std::u16string ConfigFile = TParamManager::ConfigFile();
    const bool PathSaved = platform::WritePrivateProfileString(
        SectionGeneral, "DestPath", platform::WideToAnsi(DestPath), ConfigFile);
    const bool TipSaved = platform::WritePrivateProfileString(SectionGeneral, "TipShow",
                                                              std::to_string(TipShow), ConfigFile);
    return PathSaved && TipSaved;
  } catch (...) {
    return false;
  }
}
