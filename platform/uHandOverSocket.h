// The hand-over between two instances of the window program. The first
// instance listens on a Unix-domain socket in the abstract namespace named
// "MorvoEncoder.<uid>.<pid>"; a second instance connects to it, sends the
// WM_COPYDATA payload and waits until the first instance has handled it,
// then asks it to come to the front. Only processes of the same user are
// served. A process "answers" when it accepts a connection on that name.
//
// Wire format (both directions little-endian): a request is one kind byte
// (0 ping, 1 copy data, 2 restore), a 32-bit length and that many bytes;
// ping and copy data get one reply byte (1 handled, 0 not), restore none.
//
// Threading: THandOverServer is made, started and stopped on the main
// thread; a serving thread of its own reads the requests and hands them to
// the main thread's message queue. Its target's handler runs on the main
// thread: WM_COPYDATA is sent (the second instance waits for the handler),
// WM_ENCODE_RESTORE is posted. THandOverClient is used by one thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/uMessageQueue.h"

namespace platform {

constexpr uint32_t WM_COPYDATA = 0x4A;

// What WM_COPYDATA's LParam points to while the handler runs.
struct TCopyDataStruct {
  uintptr_t dwData = 0;  // the payload's length in bytes
  uint32_t cbData = 0;   // the same length
  const void* lpData = nullptr;
};

// The largest payload a hand-over carries (the sender's buffer).
constexpr uint32_t HandOverMaxPayload = 4096;
// The largest activation token passed with a restore request.
constexpr uint32_t HandOverMaxToken = 1024;

// "MorvoEncoder.<uid>.<pid>" (without the abstract namespace's leading 0).
std::string HandOverSocketName(uint32_t Pid);

class THandOverServer final : public IMessageTarget {
public:
  // Target must outlive the server's Stop.
  explicit THandOverServer(IMessageTarget* Target);
  ~THandOverServer();
  THandOverServer(const THandOverServer&) = delete;
  THandOverServer& operator=(const THandOverServer&) = delete;

  // Main thread: listens under the name of Pid (normally the process's own)
  // and starts serving. False when the name is taken or sockets fail.
  bool Listen(uint32_t Pid);
  // Main thread: stops serving and waits for the serving thread. A second
  // instance waiting for its payload to be handled is told it was not.
  void Stop();
  // The activation token of the last restore request (empty when it had
  // none); read by the target's restore handler. Main thread.
  const std::string& LastActivationToken() const { return FActivationToken; }

  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;

private:
  struct TPending;
  void Serve();
  void ServeConnection(int Fd);
  bool RelayCopyData(std::vector<uint8_t> Payload);
  void RelayRestore(std::string Token);

  IMessageTarget* FTarget;
  int FListenFd = -1;
  int FWakeFds[2] = {-1, -1};
  std::thread FThread;
  std::mutex FMutex;
  bool FStopping = false;
  int FConnectionFd = -1;                          // the connection being served, -1 when none
  std::deque<std::shared_ptr<TPending>> FPending;  // copy data waiting for the main thread
  std::deque<std::string> FTokens;                 // restore requests waiting for the main thread
  std::string FActivationToken;
};

// The second instance's end of one connection. Timeouts in milliseconds.
class THandOverClient {
public:
  THandOverClient() = default;
  ~THandOverClient();
  THandOverClient(const THandOverClient&) = delete;
  THandOverClient& operator=(const THandOverClient&) = delete;

  // False when no instance of Pid listens (or it is another user's).
  bool Connect(uint32_t Pid, uint32_t TimeoutMs);
  // True when the serving thread at the other end answers.
  bool Ping(uint32_t TimeoutMs);
  // Sends the payload and waits until it was handled; false when the
  // payload is too large, the connection broke or the wait timed out.
  bool SendCopyData(const void* Data, uint32_t Size, uint32_t TimeoutMs);
  // Asks the first instance to come to the front; does not wait.
  bool PostRestore(const std::string& ActivationToken);
  void Close();

private:
  bool Request(uint8_t Kind, const void* Data, uint32_t Size);
  bool AwaitReply(uint32_t TimeoutMs);
  int FFd = -1;
};

// True when an instance of Pid accepts connections on its hand-over socket.
bool InstanceAnswers(uint32_t Pid, uint32_t TimeoutMs);

}  // namespace platform
