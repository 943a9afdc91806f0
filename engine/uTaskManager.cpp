#include "engine/uTaskManager.h"

#include <algorithm>
#include <cassert>

#include "engine/uCpuControl.h"
#include "engine/uEncodeWorker.h"
#include "engine/uTargetNaming.h"
#include "engine/uTaskSettings.h"
#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uFileIdentity.h"
#include "platform/uThreads.h"

TTaskManager::TTaskManager() {
  FDestPath = DefaultTargetFolder();
  LoadSettings();
  FPriorityNames = {Tr(u"加速处理(较快)"), Tr(u"资源优先(偏慢)")};
  FExistPolicyNames = {Tr(u"重命名"), Tr(u"询问"), Tr(u"覆盖")};
  FCpuControl = std::make_unique<TCpuControl>();
  FParamManager = std::make_unique<TParamManager>();
  FParamManager->FOnChanged = [this](uint8_t FormatType) { OnParamsChanged(FormatType); };
  for (const char16_t* ext : {u".mp3", u".ape", u".wav", u".flac"})
    FParamManager->Register(ext);
  for (int32_t i = 0; i < FCpuControl->FProcessorCount; ++i) {
    FWorkers.push_back(std::make_unique<TEncodeWorker>(this));
    FWorkers.back()->FNumber = i + 1;
  }
}

TTaskManager::~TTaskManager() {
  Shutdown();
  // Messages still queued for the manager (a worker's end) must not reach
  // it once it is gone.
  platform::RemoveMessages(this);
  while (!FWorkers.empty())
    FWorkers.pop_back();  // last to first
  {
    platform::TCriticalSectionLock lock(FLock);
    while (!FTasks.empty())
      FTasks.pop_back();
  }
  FCpuControl.reset();
  FParamManager.reset();
}

void TTaskManager::AssertMainThread() const { assert(platform::IsMainThread()); }

void TTaskManager::Notify(int32_t Value, uint8_t Kind) {
  if (FOnTaskChanged) FOnTaskChanged(Value, Kind);
}

void TTaskManager::OnParamsChanged(uint8_t) { Notify(-1, nkParamsChanged); }

// ---------------------------------------------------------------------------
// The list

std::u16string TTaskManager::ReplaceInvalidChars(std::u16string Name) {
  for (char16_t bad : std::u16string_view(u"\\/:*?\"<>|"))
    std::replace(Name.begin(), Name.end(), bad, u'-');
  return Name;
}

static std::u16string LowerExt(const std::u16string& Name) {
  return LowerCaseText(WideExtractFileExt(Name));
}

// One file, whatever the spelling; names that reach no file only by their
// exact text (on Linux "A.wav" and "a.wav" are two files).
static bool SameSource(const std::u16string& A, const std::u16string& B) {
  return A == B || platform::SameFile(A, B);
}

bool TTaskManager::CheckTask(int32_t Id, const std::u16string& Source,
                             const std::u16string& TargetName, int32_t& Reason,
                             int32_t& ConflictId) {
  Reason = -1;
  ConflictId = -1;
  if (!IsTargetFormatAvailable(WideExtractFileExt(TargetName))) {
    Reason = 1;
    ConflictId = Id;
    return false;
  }
  const size_t dot = TargetName.rfind(u'.');
  const std::u16string stem =
      dot == std::u16string::npos ? std::u16string() : WideTrim(TargetName.substr(0, dot));
  if (stem.empty()) {
    Reason = 3;
    ConflictId = Id;
    return false;
  }
  for (const auto& task : FTasks) {
    if (task->FId == Id) continue;
    if (SameTextIgnoringCase(task->FTargetName, TargetName) && SameSource(task->FSource, Source)) {
      Reason = 0;
      ConflictId = task->FId;
      return false;
    }
  }
  return true;
}

bool TTaskManager::IsTargetFormatAvailable(const std::u16string& Ext) {
  return FParamManager->IsFormatAvailable(platform::WideToUtf8(Ext));
}

void TTaskManager::AddTask(std::unique_ptr<TTaskItem> Item) {
  AssertMainThread();
  if (!Item) return;
  const std::u16string name = ReplaceInvalidChars(Item->FTargetName);
  int32_t reason = -1, conflict = -1;
  if (!CheckTask(FLastId + 1, Item->FSource, name, reason, conflict)) {
    Notify(conflict, nkRefused);
    return;  // the item is freed here
  }
  const int32_t paramId = FParamManager->FindIdByExtension(platform::WideToAnsi(LowerExt(name)));
  if (paramId < 0) return;
  Item->FTaken = 0;
  Item->FTargetName = name;
  Item->FParamId = paramId;
  Item->FProgress = 0;
  Item->FState = tsWaiting;
  Item->FColor = -1;
  int32_t id;
  {
    platform::TCriticalSectionLock lock(FLock);
    id = ++FLastId;
    Item->FId = id;
    FTasks.push_back(std::move(Item));
  }
  Notify(id, nkAdded);
}

int32_t TTaskManager::FindIndex(int32_t Id) {
  for (size_t i = 0; i < FTasks.size(); ++i)
    if (FTasks[i]->FId == Id) return static_cast<int32_t>(i);
  return -1;
}

TTaskItem* TTaskManager::FindTask(int32_t Id) {
  const int32_t index = FindIndex(Id);
  return index < 0 ? nullptr : FTasks[index].get();
}

TTaskItem* TTaskManager::GetTask(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(FTasks.size())) return nullptr;
  return FTasks[Index].get();
}

int32_t TTaskManager::TaskCount() { return static_cast<int32_t>(FTasks.size()); }

int32_t TTaskManager::PendingCount() {
  platform::TCriticalSectionLock lock(FLock);
  return static_cast<int32_t>(std::count_if(FTasks.begin(), FTasks.end(), [](const auto& t) {
    return t->FQueued == 1 && t->FTaken == 0;
  }));
}

bool TTaskManager::IsHeldByWorker(const TTaskItem* Task) const {
  return std::any_of(FWorkers.begin(), FWorkers.end(),
                     [Task](const auto& w) { return w->FTask == Task; });
}

bool TTaskManager::AnyWorkerActive() const {
  return std::any_of(FWorkers.begin(), FWorkers.end(),
                     [](const auto& w) { return w->FActive.load() != 0; });
}

void TTaskManager::RemoveTask(int32_t Id) {
  AssertMainThread();
  TTaskItem* task = FindTask(Id);
  if (!task) return;
  // A task a worker is converting stays: the worker still reads it. (The
  // success step lets go of its task before it removes it.)
  if (IsHeldByWorker(task)) return;
  if (FRunning == 0 && !AnyWorkerActive()) {
    if (FTotalCount > 0) --FTotalCount;
    if (FFinishedCount > 0 && task->FState != tsWaiting && !IsUserAbort(task->FResult))
      --FFinishedCount;
    if (task->FState == tsDone && FSucceededCount > 0) --FSucceededCount;
  }
  Notify(Id, nkRemoved);
  platform::TCriticalSectionLock lock(FLock);
  const int32_t index = FindIndex(Id);
  if (index >= 0) FTasks.erase(FTasks.begin() + index);
}

void TTaskManager::ResetAll() {
  AssertMainThread();
  if (FRunning) return;
  for (const auto& task : FTasks) {
    task->FQueued = 1;
    task->FTaken = 0;
    task->FState = tsWaiting;
    task->FProgress = 0;
    task->FResult = rcNotRun;
    task->FDetail.clear();
    task->FColor = -1;
  }
  Notify(-1, nkListChanged);
}

void TTaskManager::RenameTarget(int32_t Id, const std::u16string& NewName) {
  AssertMainThread();
  TTaskItem* task = FindTask(Id);
  if (!task || task->FTargetName == NewName) return;
  const std::u16string name = ReplaceInvalidChars(NewName);
  int32_t reason = -1, conflict = -1;
  if (!CheckTask(Id, task->FSource, name, reason, conflict)) {
    Notify(conflict, nkRefused);
    return;
  }
  const std::u16string ext = LowerExt(name);
  const int32_t paramId = FParamManager->FindIdByExtension(platform::WideToAnsi(ext));
  {
    platform::TCriticalSectionLock lock(FLock);
    task->FTargetName = name;
    task->FTaken = 0;
    task->FState = tsWaiting;
    task->FProgress = 0;
    task->FTargetExt = ext;
    task->FParamId = paramId;
    task->FColor = -1;
  }
  Notify(Id, nkChanged);
}

void TTaskManager::Sort(int32_t Key, int32_t Direction) {
  AssertMainThread();
  using TItemPtr = std::unique_ptr<TTaskItem>;
  const bool ascending = Direction == 1;
  const bool known = (Key >= 0 && Key <= 2) && (Direction == 1 || Direction == 2);
  if (known) {
    platform::TCriticalSectionLock lock(FLock);
    auto compare = [&](const TItemPtr& a, const TItemPtr& b) {
      int order = 0;
      if (Key == 0) order = a->FSource.compare(b->FSource);
      if (Key == 1) order = a->FTargetName.compare(b->FTargetName);
      if (Key == 2) order = a->FResult - b->FResult;
      return ascending ? order < 0 : order > 0;
    };
    std::stable_sort(FTasks.begin(), FTasks.end(), compare);
  }
  Notify(-1, nkListChanged);
}

std::u16string TTaskManager::GetSummary() {
  const auto Number = [](int32_t Value) { return platform::Utf8ToWide(std::to_string(Value)); };
  return FormatText(Tr(u"%d个文件转换失败,%d个文件转换成功"),
                    {Number(FFinishedCount - FSucceededCount), Number(FSucceededCount)});
}

const std::vector<std::string>* TTaskManager::GetQualityList(const std::u16string& Ext) {
  TEncodeParam* param = FParamManager->FindByExtension(platform::WideToAnsi(Ext));
  return param ? &param->FQualityList : nullptr;
}

std::u16string TTaskManager::DestPath() const {
  std::lock_guard lock(FDestPathLock);
  return FDestPath;
}

void TTaskManager::SetDestPath(const std::u16string& Path) {
  std::lock_guard lock(FDestPathLock);
  FDestPath = Path;
}
