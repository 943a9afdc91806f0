// The files of a task (worker thread unless said otherwise): the source held
// open for the whole task, the temporary file the encoder writes, and its
// rename to the target's name when the task succeeds.
#include "engine/uEncodeWorker.h"
#include "engine/uEncoderCallBack.h"
#include "engine/uTargetNaming.h"
#include "engine/uTaskItem.h"
#include "engine/uWorkerHost.h"
#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "platform/uCdFiles.h"
#include "platform/uCodePage.h"
#include "platform/uFileIdentity.h"

namespace {

// Hidden, and named so that a file left by a killed run shows whose it is.
const std::u16string TemporaryPrefix = u".morvo-";
const std::u16string TemporarySuffix = u".part";

}  // namespace

void TEncodeWorker::AddToDetail(const std::u16string& Note) {
  if (Note.empty()) return;
  FDetail += (FDetail.empty() ? u"" : u"; ") + Note;
}

void TEncodeWorker::NoteSystemReason() {
  FDetail = platform::Utf8ToWide(platform::LastSystemReason());
}

// Read access shared with other readers only: a delete or a replace of the
// source is refused while the task runs, whoever tries it.
bool TEncodeWorker::HoldSource() {
  ReleaseSource();
  // A disc's track can be neither deleted nor replaced: nothing to hold.
  if (!platform::CdDriveOfPath(FTask->FSource).empty()) return true;
  FSourceHold =
      platform::CreateFileW(FTask->FSource, platform::GENERIC_READ, platform::FILE_SHARE_READ,
                            platform::TDisposition::OpenExisting);
  if (FSourceHold == platform::INVALID_HANDLE_VALUE) {
    NoteSystemReason();
    return false;
  }
  FSourceIdentity = platform::HandleIdentity(FSourceHold);
  return true;
}

// Worker thread, or the main thread in the success step while the worker waits.
void TEncodeWorker::ReleaseSource() {
  if (FSourceHold != platform::INVALID_HANDLE_VALUE) platform::CloseHandle(FSourceHold);
  FSourceHold = platform::INVALID_HANDLE_VALUE;
}

// Main thread (success step): the name still reaches the file that was
// converted, and that file did not become the target.
bool TEncodeWorker::SourceIsStillTheConverted(const std::u16string& Source) const {
  const platform::TMaybeIdentity now = platform::FileIdentity(Source);
  return platform::IsSameFile(now, FSourceIdentity) &&
         !platform::IsSameFile(now, platform::FileIdentity(FTargetPath));
}

// In the target folder, so that the final rename stays on one file system.
bool TEncodeWorker::CreateTemporaryTarget() {
  FOutput.Reset();
  std::u16string temporary;
  const platform::THandle stream = platform::CreateUniqueFileW(
      WideExtractFilePath(FTargetPath), TemporaryPrefix, TemporarySuffix, temporary);
  if (stream == platform::INVALID_HANDLE_VALUE) {
    NoteSystemReason();
    return false;
  }
  FTempPath = temporary;
  FTempIdentity = platform::HandleIdentity(stream);
  FOutput = TComPtr<TEncoderCallBack>(new TEncoderCallBack(stream));
  return true;
}

// Only the file this task created: a name that now reaches another file
// (renamed away and replaced meanwhile) is left alone. Worker thread, or
// the main thread in the failure step while the worker waits.
void TEncodeWorker::DeleteTemporaryTarget() {
  if (FTempPath.empty()) return;
  if (platform::IsSameFile(platform::FileIdentity(FTempPath), FTempIdentity))
    platform::DeleteFileW(FTempPath);
  FTempPath.clear();
}

bool TEncodeWorker::CommitTarget() {
  const int32_t id = FTask->FId;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::u16string name = WideExtractFileName(FTargetPath);
    if (!FHost->ClaimTarget(id, FTargetPath)) {
      UseCopyName();
      NoteRenamedForRun(name);
      continue;
    }
    const platform::TMaybeIdentity there = platform::FileIdentity(FTargetPath);
    const bool replace = platform::IsSameFile(there, FReplaceIdentity) &&
                         !platform::IsSameFile(there, FSourceIdentity);
    if (replace) {
      StoreResult(rcCannotOverwrite);
      // A task added to the run while this one converted may read it (a
      // file in use is refused by the replacing rename itself).
      if (RunStillReadsTarget()) return false;
    }
    if (platform::MoveFileExW(FTempPath, FTargetPath,
                              replace ? platform::MOVEFILE_REPLACE_EXISTING : 0)) {
      FTempPath.clear();
      FHost->TargetWritten(id, FTargetPath);
      if (name != FTask->FTargetName) StoreTargetName(name);
      return true;
    }
    // Refused (a file in use, an immutable one, a folder ...), or something
    // that is no file took the name.
    if (replace || platform::GetLastError() != platform::ERROR_ALREADY_EXISTS ||
        !WideFileExists(FTargetPath)) {
      NoteSystemReason();
      return false;
    }
    // A file appeared under the name while the task converted (another
    // program's, or one this run wrote under a name that differs only in
    // letter case on a file system that ignores it): it is not this task's
    // to replace, so the target takes a copy name.
    const bool ofRun = FHost->IsTargetOfRun(id, FTargetPath);
    UseCopyName();
    if (ofRun)
      NoteRenamedForRun(name);
    else
      FDetail = FormatText(TrNoop(u"转换期间出现了同名文件 %s，改用复件名"), {name});
  }
  StoreResult(rcExistsUserAbort);
  return false;
}

void TEncodeWorker::UseCopyName() {
  FTargetPath = CopyNameFor(FTargetPath);
  FReplaceIdentity = {};
}
