// The task manager's files: its two settings and the list of converted
// targets ("encode.log").
#include <algorithm>

#include "engine/uTaskManager.h"
#include "engine/uTaskSettings.h"
#include "infra/uLxFileUtils.h"
#include "text/uTextReader.h"

namespace {

constexpr uint8_t SaveAsUtf16Le = 2;

}  // namespace

void TTaskManager::LoadSettings() {
  std::u16string path = DestPath();
  LoadTaskSettings(path, FTipShow);
  SetDestPath(path);
  FWriteTags = LoadWriteTags();
}

void TTaskManager::SaveSettings() {
  SaveTaskSettings(DestPath(), FTipShow);
  SaveWriteTags(FWriteTags.load());
}

void TTaskManager::SaveConvertedList(const std::u16string& Path) {
  TWideStringList list;
  std::vector<std::u16string> lines;
  if (WideFileExists(Path)) {
    list.LoadFromFile(Path);
    for (int32_t i = 0; i < list.Count(); ++i) {
      std::u16string line = WideTrim(list.Get(i));
      if (!line.empty()) lines.push_back(std::move(line));
    }
  }
  bool appended = false;
  for (const std::u16string& converted : FConverted) {
    if (std::find(lines.begin(), lines.end(), converted) != lines.end()) continue;
    if (!WideFileExists(converted)) continue;
    lines.push_back(converted);
    appended = true;
  }
  if (!appended) return;
  list.Clear();
  for (const std::u16string& line : lines)
    list.Add(line);
  list.SaveToFile(Path, SaveAsUtf16Le);
}
