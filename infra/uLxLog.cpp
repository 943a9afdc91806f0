#include "infra/uLxLog.h"

#include <algorithm>
#include <cstdio>

#include "infra/uExeInterface.h"
#include "infra/uStreams.h"
#include "platform/uCodePage.h"
#include "platform/uFileIO.h"
#include "platform/uFileTime.h"
#include "platform/uProgramDir.h"
#include "platform/uThreads.h"

namespace {

void AppendUtf16LE(std::string& Bytes, const std::u16string& Text) {
  for (char16_t Unit : Text) {
    Bytes += static_cast<char>(Unit & 0xFF);
    Bytes += static_cast<char>(Unit >> 8);
  }
}

// What a new log file starts with: the byte-order mark and the header line.
const std::string& FileHead() {
  static const std::string Head = [] {
    std::string Bytes = "\xFF\xFE";
    AppendUtf16LE(Bytes, u"Time\tThreadID\tCatalog\tLevel\tInfo\r\n");
    return Bytes;
  }();
  return Head;
}

bool EntryBefore(const std::unique_ptr<TLxLogEntry>& A, const std::unique_ptr<TLxLogEntry>& B) {
  if (A->ThreadId != B->ThreadId) return A->ThreadId < B->ThreadId;
  if (A->Time != B->Time) return A->Time < B->Time;
  return A->Seq < B->Seq;
}

}  // namespace

TLxLog::TLxLog(std::u16string FileName)
    : FFileName(std::move(FileName)), FCatalogs{{0, u"未知"}},
      FStartTime(platform::ProcessCreationFileTime()) {}

TLxLog::~TLxLog() = default;

size_t TLxLog::PendingCount() {
  std::lock_guard<std::mutex> Lock(FLock);
  return FPending.size();
}

std::u16string TLxLog::CatalogName(uint16_t Code) const {
  return Code == 0 ? FCatalogs.front().Name : u" ";
}

void TLxLog::Add(const std::u16string& Text, uint16_t Catalog, uint8_t Level) {
  try {
    auto Entry = std::make_unique<TLxLogEntry>();
    Entry->Time = platform::SystemTimeAsFileTime();
    Entry->Catalog = Catalog;
    Entry->ThreadId = platform::IsMainThread() ? 0 : platform::CurrentThreadId();
    Entry->Level = Level;
    Entry->Text = Text;

    TEntryList Taken;
    {
      std::lock_guard<std::mutex> Lock(FLock);
      if (static_cast<int64_t>(FPending.size()) >= FMaxPending) Taken.swap(FPending);
    }
    // The batch is written (or dropped) outside the lock, in the order added.
    if (!Taken.empty() && ExeInterfaceLogSwitchOn()) WriteEntries(Taken);
    {
      std::lock_guard<std::mutex> Lock(FLock);
      Entry->Seq = static_cast<int32_t>(FPending.size());
      FPending.push_back(std::move(Entry));
    }
    if (Level >= FDebugLevel) std::fprintf(stderr, "%s\n", platform::WideToUtf8(Text).c_str());
  } catch (...) {
    // Logging never raises to its caller.
  }
}

std::u16string TLxLog::FormatEntry(const TLxLogEntry& Entry) const {
  const double Seconds = (static_cast<double>(Entry.Time) - static_cast<double>(FStartTime)) / 1e7;
  char Numbers[64];
  std::snprintf(Numbers, sizeof(Numbers), "%.7f\t%.8X\t", Seconds, Entry.ThreadId);
  char LevelText[16];
  std::snprintf(LevelText, sizeof(LevelText), "\t%d\t", Entry.Level);
  return platform::Utf8ToWide(Numbers) + CatalogName(Entry.Catalog) +
         platform::Utf8ToWide(LevelText) + Entry.Text + u"\r\n";
}

void TLxLog::WriteEntries(const TEntryList& List, const TFilter& Filter) {
  if (List.empty()) return;
  try {
    std::string Bytes;
    for (const auto& Entry : List)
      if (!Filter || Filter(*this, *Entry)) AppendUtf16LE(Bytes, FormatEntry(*Entry));
    // Writes of this process wait for each other instead of failing on the
    // deny-write open; another process holding the file still loses a batch.
    std::lock_guard<std::mutex> Serialise(FWriteLock);
    // Opened without truncation, so a file made by someone else meanwhile
    // keeps its lines; the header goes only into an empty file.
    const platform::THandle Handle =
        platform::CreateFileW(FFileName, platform::GENERIC_WRITE, platform::FILE_SHARE_READ,
                              platform::TDisposition::OpenAlways);
    if (Handle == platform::INVALID_HANDLE_VALUE) return;
    THandleStream Stream(Handle);
    if (Stream.Seek(0, soEnd) == 0)
      Stream.Write(FileHead().data(), static_cast<int64_t>(FileHead().size()));
    Stream.Write(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    platform::CloseHandle(Handle);
  } catch (...) {
  }
}

void TLxLog::FlushPending(const TFilter& Filter) {
  std::lock_guard<std::mutex> Lock(FLock);
  WriteEntries(FPending, Filter);
}

void TLxLog::FinalWrite() {
  if (!ExeInterfaceLogSwitchOn()) return;
  std::lock_guard<std::mutex> Lock(FLock);
  std::sort(FPending.begin(), FPending.end(), EntryBefore);
  WriteEntries(FPending);
}

namespace {

// The process-wide log. WriteLog holds its own reference while adding, so a
// late line from a thread that outlived the unit end cannot reach a freed log.
std::mutex GlobalMutex;
std::shared_ptr<TLxLog> GlobalLog;

std::shared_ptr<TLxLog> CurrentLog() {
  std::lock_guard<std::mutex> Lock(GlobalMutex);
  return GlobalLog;
}

}  // namespace

TLxLog* LxLog() { return CurrentLog().get(); }

void InitializeLxLog() {
  {
    std::lock_guard<std::mutex> Lock(GlobalMutex);
    if (GlobalLog) return;
    GlobalLog = std::make_shared<TLxLog>(platform::ProgramDataDir() + u"output.log");
  }
  WriteLog(u"uLxLog.initialization");
}

void FinalizeLxLog() {
  std::shared_ptr<TLxLog> Log = CurrentLog();
  if (!Log) return;
  Log->Add(u"uLxLog.finalization", 0, 127);
  Log->FinalWrite();
  std::lock_guard<std::mutex> Lock(GlobalMutex);
  GlobalLog.reset();
}

void WriteLog(const std::u16string& Text, uint16_t Catalog, uint8_t Level) {
  if (std::shared_ptr<TLxLog> Log = CurrentLog()) Log->Add(Text, Catalog, Level);
}
