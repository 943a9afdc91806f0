// The diagnostic log. Lines are stamped with the time and the adding thread
// and kept in memory; every 1000 lines, and once more at program end (sorted
// by thread, time and order), they go to "output.log" in the program's data
// folder - but only while the player's log switch is on; otherwise they are
// dropped. Logging never raises.
// Threading: any thread may call WriteLog / TLxLog::Add. The pending lines
// are guarded by one lock; writes to the file are serialised by another, so
// two batches written at once both reach the file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TLxLogEntry {
  uint64_t Time = 0;  // file time, UTC
  uint16_t Catalog = 0;
  uint32_t ThreadId = 0;  // 0 for the main thread
  uint8_t Level = 0;
  std::u16string Text;
  int32_t Seq = 0;  // position in the pending list when added
};

struct TLxLogCatalog {
  uint16_t Code;
  std::u16string Name;
};

class TLxLog {
public:
  using TFilter = std::function<bool(const TLxLog&, const TLxLogEntry&)>;
  using TEntryList = std::vector<std::unique_ptr<TLxLogEntry>>;

  explicit TLxLog(std::u16string FileName);
  TLxLog(const TLxLog&) = delete;
  TLxLog& operator=(const TLxLog&) = delete;
  ~TLxLog();  // writes nothing

  void Add(const std::u16string& Text, uint16_t Catalog, uint8_t Level);
  // Writes the entries Filter accepts (all without one); never raises.
  void WriteEntries(const TEntryList& List, const TFilter& Filter = {});
  // Writes the pending lines under the lock; they stay pending.
  void FlushPending(const TFilter& Filter = {});
  // Program end: when the switch is on, writes the pending lines sorted by
  // thread id, time and sequence, all under the lock.
  void FinalWrite();

  const std::u16string& FileName() const { return FFileName; }
  size_t PendingCount();
  std::u16string CatalogName(uint16_t Code) const;
  // Tests and callers that know better may move these.
  void SetStartTime(uint64_t Value) { FStartTime = Value; }
  void SetMaxPending(int32_t Value) { FMaxPending = Value; }

private:
  std::u16string FormatEntry(const TLxLogEntry& Entry) const;

  std::mutex FLock;
  std::u16string FFileName;
  std::vector<TLxLogCatalog> FCatalogs;
  TEntryList FPending;
  uint8_t FDebugLevel = 255;
  uint64_t FStartTime = 0;
  int32_t FMaxPending = 1000;
  std::mutex FWriteLock;  // one batch at a time reaches the file
};

// The process-wide log (null before InitializeLxLog / after FinalizeLxLog).
// Lines logged after FinalizeLxLog are ignored.
TLxLog* LxLog();
// Unit start: the log for "output.log" in the program's data folder, then
// "uLxLog.initialization". Unit end: "uLxLog.finalization", the final write
// when the switch is on, then the log is freed.
void InitializeLxLog();
void FinalizeLxLog();

void WriteLog(const std::u16string& Text, uint16_t Catalog = 0, uint8_t Level = 127);
