// Start-up of the window program as the single instance, and the hand-over
// of a source path from a second start to the running instance.
//
// The mapping "MorvoEncoderMappingFile" (4 bytes) holds the process id of
// the instance that owns the window, 0 until its window exists; that
// instance is alive while it answers on its hand-over socket. A second start
// with "/EncodeConvert path" sends the path as a command-stream payload and
// waits until the running instance has added it, then asks it to come to
// the front.
//
// Threading: main thread. Ownership: TSingleInstance owns its mapping.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class TSharedMemory;
}

extern const char16_t* const SingleInstanceMappingName;

// True and parameter 2 when the command line is "/EncodeConvert path" (the
// switch in any letter case; further parameters are ignored).
bool GetConvertParam(std::u16string& Path);

// The payload of one path. False when the path is longer than the length
// byte of the command stream can say (255 code units): nothing is cut.
bool MakeHandOverPayload(const std::u16string& Path, std::vector<uint8_t>& Payload);
// The non-empty strings of a received payload, in order.
std::vector<std::u16string> ReadHandOverPayload(const void* Data, size_t Size);

enum class THandOverResult {
  NothingToHand,  // the command line is no hand-over request
  Handled,        // the running instance added the path
  PathTooLong,    // the path cannot be carried; nothing was sent
  Failed,         // the running instance did not take it
};
// Sends the command line's path to the instance of Pid and waits until it
// was handled.
THandOverResult HandOverToRunningInstance(uint32_t Pid);
// Asks the instance of Pid to restore and come to the front, passing the
// desktop's activation token of this start when there is one.
bool RestoreRunningInstance(uint32_t Pid);
// The message shown when a path is too long to hand over.
std::u16string PathTooLongText(const std::u16string& Path);

class TSingleInstance {
public:
  enum class TRole {
    First,     // this process owns the window (the mapping is ours)
    Second,    // another instance runs: hand over and end
    Unusable,  // the mapping exists but cannot be used: end without a window
  };

  TSingleInstance();
  ~TSingleInstance();  // Release
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // Opens the existing mapping: a live instance in it makes this start the
  // second; a stale one (its owner died) is replaced. Otherwise creates the
  // mapping with its bytes zeroed.
  TRole Claim();
  // The running instance's process id (role Second).
  uint32_t RunningPid() const { return FRunningPid; }
  // Role First: writes this process's id once the window listens.
  void Publish(uint32_t Pid);
  // Unmaps the mapping; its name goes when it still names this instance.
  void Release();

private:
  std::unique_ptr<platform::TSharedMemory> FMapping;
  uint32_t FRunningPid = 0;
  uint32_t FPublishedPid = 0;
};
