// The targets of the current run: which task writes or wrote which file, so
// that no task of a run replaces another's output (adding a folder flattens
// it, and cd1/01.wav and cd2/01.wav both want 01.flac).
#include <algorithm>

#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/uFileIdentity.h"

namespace {

struct TTargetKey {
  platform::TMaybeIdentity Folder;
  std::u16string Name;
  std::u16string FullPath;
};

TTargetKey KeyOf(const std::u16string& Path) {
  return {platform::FileIdentity(WideExtractFilePath(Path)), WideExtractFileName(Path),
          platform::GetFullPathNameW(Path)};
}

// The same target name: by folder identity where both folders exist (the
// folder may be spelled in many ways), else by the full path.
template <class TTarget> bool SameName(const TTarget& Target, const TTargetKey& Key) {
  return platform::IsSameFile(Target.Folder, Key.Folder) ? Target.Name == Key.Name
                                                         : Target.FullPath == Key.FullPath;
}

}  // namespace

void TTaskManager::ForgetRunTargets() {
  std::lock_guard lock(FRunTargetsLock);
  FRunTargets.clear();
}

bool TTaskManager::IsTargetOfRun(int32_t Id, const std::u16string& Path) {
  const TTargetKey key = KeyOf(Path);
  const platform::TMaybeIdentity file = platform::FileIdentity(Path);
  std::lock_guard lock(FRunTargetsLock);
  return std::any_of(FRunTargets.begin(), FRunTargets.end(), [&](const TRunTarget& t) {
    if (t.TaskId == Id) return false;
    // A file system that ignores letter case shows a written file under
    // other names too.
    return SameName(t, key) || platform::IsSameFile(t.Written, file);
  });
}

bool TTaskManager::IsSourceOfRun(int32_t Id, const std::u16string& Path) {
  const platform::TMaybeIdentity file = platform::FileIdentity(Path);
  if (!file) return false;
  std::vector<std::u16string> sources;
  {
    platform::TCriticalSectionLock lock(FLock);
    for (const auto& task : FTasks)
      if (task->FQueued == 1 && task->FId != Id) sources.push_back(task->FSource);
  }
  // The files are looked at without the lock: the main thread never waits
  // for a worker's disk.
  return std::any_of(sources.begin(), sources.end(), [&](const std::u16string& Source) {
    return platform::IsSameFile(platform::FileIdentity(Source), file);
  });
}

bool TTaskManager::ClaimTarget(int32_t Id, const std::u16string& Path) {
  if (IsTargetOfRun(Id, Path)) return false;
  const TTargetKey key = KeyOf(Path);
  std::lock_guard lock(FRunTargetsLock);
  // Checked again under the lock: another worker may have claimed it since.
  for (const TRunTarget& t : FRunTargets)
    if (t.TaskId != Id && SameName(t, key)) return false;
  std::erase_if(FRunTargets, [Id](const TRunTarget& t) { return t.TaskId == Id; });
  FRunTargets.push_back({Id, key.Folder, key.Name, key.FullPath, {}});
  return true;
}

void TTaskManager::TargetWritten(int32_t Id, const std::u16string& Path) {
  const TTargetKey key = KeyOf(Path);
  const platform::TMaybeIdentity file = platform::FileIdentity(Path);
  std::lock_guard lock(FRunTargetsLock);
  std::erase_if(FRunTargets, [Id](const TRunTarget& t) { return t.TaskId == Id; });
  FRunTargets.push_back({Id, key.Folder, key.Name, key.FullPath, file});
}

void TTaskManager::ReleaseTarget(int32_t Id) {
  std::lock_guard lock(FRunTargetsLock);
  std::erase_if(FRunTargets, [Id](const TRunTarget& t) { return t.TaskId == Id; });
}
