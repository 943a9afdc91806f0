// The target's name and the policy for an existing target, applied by the
// worker while it prepares its task (worker thread): a name that fits the
// target folder's file system, a copy name, an overwrite or a question.
// Whether a target is the source is a question of file identity, never of
// path text; a target of another task of this run is never replaced.
#include "engine/uEncodeWorker.h"
#include "engine/uTargetNaming.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "platform/uCodePage.h"
#include "platform/uFileIO.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"

namespace {

// Tries at a free name before giving up (other workers claiming the same
// names at the same moment).
constexpr int MaxTargetAttempts = 100;

}  // namespace

bool TEncodeWorker::ChooseTarget(const std::u16string& Folder) {
  FNameLimit = platform::MaxFileNameBytes(Folder);
  FReplaceIdentity = {};
  const std::u16string wanted = FitFileName(FTask->FTargetName, FNameLimit);
  std::u16string path = WideIncludeTrailingBackslash(Folder) + wanted;
  for (int attempt = 0; attempt < MaxTargetAttempts; ++attempt) {
    if (FHost->IsTargetOfRun(FTask->FId, path)) {
      const std::u16string taken = WideExtractFileName(path);
      path = CopyNameFor(path);
      NoteRenamedForRun(taken);
    }
    FTargetPath = path;
    FReplaceIdentity = {};
    if (WideFileExists(FTargetPath) && !ResolveExistingTarget()) return false;
    if (FHost->ClaimTarget(FTask->FId, FTargetPath)) {
      const std::u16string name = WideExtractFileName(FTargetPath);
      if (name != FTask->FTargetName) StoreTargetName(name);
      return true;
    }
    path = FTargetPath;  // claimed by another worker a moment ago: go round
  }
  StoreResult(rcExistsUserAbort);
  return false;
}

std::u16string TEncodeWorker::CopyNameFor(const std::u16string& Path) {
  const int32_t id = FTask->FId;
  return MakeCopyName(Path, FNameLimit, [this, id](const std::u16string& Candidate) {
    return WideFileExists(Candidate) || FHost->IsTargetOfRun(id, Candidate);
  });
}

void TEncodeWorker::NoteRenamedForRun(const std::u16string& Taken) {
  // Details stay in Chinese (they are data of the JSON report); they are
  // translated where they are shown.
  FDetail = FormatText(TrNoop(u"本次转换的另一任务已使用 %s，改用复件名"), {Taken});
}

bool TEncodeWorker::ResolveExistingTarget() {
  const bool targetIsSource =
      platform::IsSameFile(FSourceIdentity, platform::FileIdentity(FTargetPath));
  switch (FHost->ExistPolicy()) {
  case epRename:
    FTargetPath = CopyNameFor(FTargetPath);
    return true;
  case epOverwrite:
    return ReplaceExisting(targetIsSource);
  case epAsk:
    if (AskOverwrite(targetIsSource)) return ReplaceExisting(targetIsSource);
    StoreResult(rcExistsUserAbort);
    return false;
  default:
    // An unknown policy never overwrites anything.
    StoreResult(rcExistsUserAbort);
    return false;
  }
}

// The window reads the target name on the main thread: change it there.
void TEncodeWorker::StoreTargetName(const std::u16string& Name) {
  TTaskItem* task = FTask;
  platform::Synchronize([task, &Name] { task->FTargetName = Name; });
}

bool TEncodeWorker::MayWriteOverTarget() {
  // A file someone still reads or writes is not pulled away from them.
  if (platform::IsFileInUse(FTargetPath)) {
    NoteSystemReason();
    return false;
  }
  return !RunStillReadsTarget();
}

bool TEncodeWorker::RunStillReadsTarget() {
  // A source that a later task of the run has yet to open is not in use
  // yet, but it is the run's to read.
  if (!FHost->IsSourceOfRun(FTask->FId, FTargetPath)) return false;
  FDetail = FormatText(TrNoop(u"%s 是本次转换中另一任务的源文件，不能覆盖"),
                       {WideExtractFileName(FTargetPath)});
  return true;
}

// The existing file is replaced only when the task succeeds (CommitTarget);
// here the worker makes sure that it may be.
bool TEncodeWorker::ReplaceExisting(bool TargetIsSource) {
  try {
    if (!TargetIsSource) {
      StoreResult(rcCannotOverwrite);
      if (!MayWriteOverTarget()) return false;
      FReplaceIdentity = platform::FileIdentity(FTargetPath);
      return FReplaceIdentity.has_value();
    }
    // The source itself is never written over: it gets a copy name.
    StoreResult(rcExistsUserAbort);
    FTargetPath = CopyNameFor(FTargetPath);
    return !WideFileExists(FTargetPath);
  } catch (...) {
    return false;
  }
}

bool TEncodeWorker::AskOverwrite(bool TargetIsSource) {
  const std::u16string text =
      FTargetPath + u"\r\n" +
      (TargetIsSource ? Tr(u"与源文件在同一文件夹下，重命名吗?") : Tr(u"文件已经存在，覆盖吗?"));
  platform::IMessageTarget* mainForm = FHost->MainForm();
  const void* owner = mainForm;
  for (const platform::TMessageBoxPtr& box : platform::OpenMessageBoxes())
    if (box->Caption() == u"退出提示") owner = box.get();
  // The window brings the application to the front before the question.
  if (mainForm) platform::SendMessage(mainForm, platform::WM_ENCODE_RESTORE, 0, 0);
  {
    std::lock_guard lock(FAskLock);
    if (Terminated()) return false;
    FAsking = true;
  }
  // Closed by TerminateWorker, the box answers 0: the target stays as it is.
  const int answer = platform::MessageBoxW(owner, text, QuestionCaption(),
                                           platform::MB_YESNO | platform::MB_ICONQUESTION);
  {
    std::lock_guard lock(FAskLock);
    FAsking = false;
  }
  return answer == platform::IDYES && !Terminated();
}
