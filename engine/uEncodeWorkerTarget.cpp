// The policy for an existing target, applied by the worker while it prepares
// its task (worker thread): a copy name, an overwrite or a question.
#include "engine/uEncodeWorker.h"
#include "engine/uTargetNaming.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "infra/uLxFileUtils.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"

bool TEncodeWorker::ResolveExistingTarget() {
  const bool targetIsSource = SameTextIgnoringCase(FTargetPath, FTask->FSource);
  switch (FHost->ExistPolicy()) {
    case epRename:
      FTargetPath = MakeCopyName(FTargetPath);
      StoreTargetName(WideExtractFileName(FTargetPath));
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

bool TEncodeWorker::ReplaceExisting(bool TargetIsSource) {
  try {
    if (!TargetIsSource) {
      StoreResult(rcCannotOverwrite);
      platform::DeleteFileW(FTargetPath);
      return !WideFileExists(FTargetPath);
    }
    // The source itself is never written over: it gets a copy name.
    StoreResult(rcExistsUserAbort);
    FTargetPath = MakeCopyName(FTargetPath);
    if (WideFileExists(FTargetPath)) return false;
    StoreTargetName(WideExtractFileName(FTargetPath));
    return true;
  } catch (...) {
    return false;
  }
}

bool TEncodeWorker::AskOverwrite(bool TargetIsSource) {
  const std::u16string text = FTargetPath + u"\r\n" +
                              (TargetIsSource ? u"与源文件在同一文件夹下，重命名吗?" : u"文件已经存在，覆盖吗?");
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
  const int answer =
      platform::MessageBoxW(owner, text, QuestionCaption(), platform::MB_YESNO | platform::MB_ICONQUESTION);
  {
    std::lock_guard lock(FAskLock);
    FAsking = false;
  }
  return answer == platform::IDYES && !Terminated();
}
