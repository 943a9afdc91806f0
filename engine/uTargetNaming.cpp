#include "engine/uTargetNaming.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "engine/uEncodeWorker.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "platform/uMessageBox.h"
#include "platform/uMessageQueue.h"

namespace {

const std::u16string CopyWord = u"复件";
const std::u16string FirstCopyPrefix = u"复件(0) ";

char16_t LowerChar(char16_t C) {
  if (C >= u'A' && C <= u'Z') return static_cast<char16_t>(C - u'A' + u'a');
  if (C < 0x80) return C;
  return static_cast<char16_t>(std::towlower(static_cast<wint_t>(C)));
}

bool AllDigits(const std::u16string& Text) {
  return !Text.empty() && std::all_of(Text.begin(), Text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Decimal Digits plus one, without leading zeros; any length.
std::u16string Increment(std::u16string Digits) {
  const size_t first = Digits.find_first_not_of(u'0');
  Digits = first == std::u16string::npos ? u"0" : Digits.substr(first);
  for (size_t i = Digits.size(); i-- > 0;) {
    if (Digits[i] != u'9') {
      ++Digits[i];
      return Digits;
    }
    Digits[i] = u'0';
  }
  return u"1" + Digits;
}

}  // namespace

std::u16string NextCopyName(const std::u16string& Name) {
  const size_t word = Name.find(CopyWord);
  if (word == std::u16string::npos) return FirstCopyPrefix + Name;
  const size_t open = Name.find(u'(');
  if (open == std::u16string::npos || open != word + CopyWord.size()) return FirstCopyPrefix + Name;
  const size_t close = Name.find(u')');
  if (close == std::u16string::npos || close < open) return FirstCopyPrefix + Name;
  const std::u16string digits = Name.substr(open + 1, close - open - 1);
  if (!AllDigits(digits)) return FirstCopyPrefix + Name;
  return Name.substr(0, open + 1) + Increment(digits) + Name.substr(close);
}

std::u16string MakeCopyName(const std::u16string& Path) {
  const std::u16string folder = WideExtractFilePath(Path);
  std::u16string candidate = Path;
  while (WideFileExists(candidate)) {
    std::u16string next = folder;
    next += NextCopyName(WideExtractFileName(candidate));
    candidate = std::move(next);
  }
  return candidate;
}

bool SameTextIgnoringCase(const std::u16string& A, const std::u16string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerChar(A[i]) != LowerChar(B[i])) return false;
  return true;
}

std::u16string LowerCaseText(std::u16string Text) {
  for (char16_t& c : Text) c = LowerChar(c);
  return Text;
}

// ---------------------------------------------------------------------------
// The policy for an existing target, applied by the worker while it prepares
// its task (worker thread).

bool TEncodeWorker::ResolveExistingTarget() {
  const bool targetIsSource = SameTextIgnoringCase(FTargetPath, FTask->FSource);
  switch (FManager->FExistPolicy.load()) {
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
  platform::IMessageTarget* mainForm = FManager->FMainForm.load();
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
