#include "platform/uHandOverSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr uint8_t rkPing = 0;
constexpr uint8_t rkCopyData = 1;
constexpr uint8_t rkRestore = 2;

// Private messages of the server to itself: the relay to the target runs on
// the main thread, and a stopped server's messages can be removed at once.
constexpr uint32_t WM_HANDOVER_COPYDATA = WM_USER + 2300;
constexpr uint32_t WM_HANDOVER_RESTORE = WM_USER + 2301;

// A stalled peer must not hold the serving thread for long.
constexpr int ServerIoTimeoutMs = 5000;

sockaddr_un AbstractAddress(uint32_t Pid, socklen_t& Length) {
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  const std::string Name = HandOverSocketName(Pid);
  // Abstract namespace: a leading zero byte, then the name, no terminator.
  std::memcpy(Address.sun_path + 1, Name.data(), Name.size());
  Length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + Name.size());
  return Address;
}

void SetTimeouts(int Fd, int Milliseconds) {
  timeval Tv{};
  Tv.tv_sec = Milliseconds / 1000;
  Tv.tv_usec = (Milliseconds % 1000) * 1000;
  setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &Tv, sizeof(Tv));
  setsockopt(Fd, SOL_SOCKET, SO_SNDTIMEO, &Tv, sizeof(Tv));
}

bool ReadExactly(int Fd, void* Buffer, size_t Count) {
  auto* Bytes = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const ssize_t Got = recv(Fd, Bytes, Count, 0);
    if (Got < 0 && errno == EINTR) continue;
    if (Got <= 0) return false;
    Bytes += Got;
    Count -= static_cast<size_t>(Got);
  }
  return true;
}

bool WriteExactly(int Fd, const void* Buffer, size_t Count) {
  const auto* Bytes = static_cast<const uint8_t*>(Buffer);
  while (Count > 0) {
    const ssize_t Put = send(Fd, Bytes, Count, MSG_NOSIGNAL);
    if (Put < 0 && errno == EINTR) continue;
    if (Put <= 0) return false;
    Bytes += Put;
    Count -= static_cast<size_t>(Put);
  }
  return true;
}

bool SameUser(int Fd) {
  ucred Peer{};
  socklen_t Length = sizeof(Peer);
  return getsockopt(Fd, SOL_SOCKET, SO_PEERCRED, &Peer, &Length) == 0 && Peer.uid == getuid();
}

uint32_t ReadLe32(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}

}  // namespace

std::string HandOverSocketName(uint32_t Pid) {
  return "MorvoEncoder." + std::to_string(getuid()) + "." + std::to_string(Pid);
}

// ---------------------------------------------------------------------------
// Server

// A copy-data request waiting for the main thread's handler.
struct THandOverServer::TPending {
  std::vector<uint8_t> Payload;
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  bool Handled = false;

  void Finish(bool Value) {
    {
      std::lock_guard Lock(Mutex);
      Finished = true;
      Handled = Value;
    }
    Done.notify_all();
  }
};

THandOverServer::THandOverServer(IMessageTarget* Target) : FTarget(Target) {}

THandOverServer::~THandOverServer() { Stop(); }

bool THandOverServer::Listen(uint32_t Pid) {
  if (FListenFd >= 0) return false;
  const int Fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (Fd < 0) return false;
  socklen_t Length = 0;
  const sockaddr_un Address = AbstractAddress(Pid, Length);
  if (bind(Fd, reinterpret_cast<const sockaddr*>(&Address), Length) != 0 || listen(Fd, 8) != 0 ||
      pipe2(FWakeFds, O_CLOEXEC) != 0) {
    close(Fd);
    return false;
  }
  FListenFd = Fd;
  FStopping = false;
  FThread = std::thread([this] { Serve(); });
  return true;
}

void THandOverServer::Stop() {
  if (FListenFd < 0) return;
  {
    std::lock_guard Lock(FMutex);
    FStopping = true;
    for (const auto& Pending : FPending)
      Pending->Finish(false);
    FPending.clear();
    if (FConnectionFd >= 0) shutdown(FConnectionFd, SHUT_RDWR);
  }
  const char Wake = 1;
  (void)!write(FWakeFds[1], &Wake, 1);
  if (FThread.joinable()) FThread.join();
  RemoveMessages(this);
  close(FListenFd);
  close(FWakeFds[0]);
  close(FWakeFds[1]);
  FListenFd = -1;
  FWakeFds[0] = FWakeFds[1] = -1;
}

void THandOverServer::Serve() {
  for (;;) {
    pollfd Fds[2] = {{FListenFd, POLLIN, 0}, {FWakeFds[0], POLLIN, 0}};
    if (poll(Fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (Fds[1].revents) return;
    if (!(Fds[0].revents & POLLIN)) continue;
    const int Fd = accept4(FListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (Fd < 0) continue;
    {
      std::lock_guard Lock(FMutex);
      if (FStopping) {
        close(Fd);
        return;
      }
      FConnectionFd = Fd;
    }
    if (SameUser(Fd)) ServeConnection(Fd);
    {
      std::lock_guard Lock(FMutex);
      FConnectionFd = -1;
    }
    close(Fd);
  }
}

void THandOverServer::ServeConnection(int Fd) {
  SetTimeouts(Fd, ServerIoTimeoutMs);
  for (;;) {
    uint8_t Header[5];
    if (!ReadExactly(Fd, Header, sizeof(Header))) return;
    const uint8_t Kind = Header[0];
    const uint32_t Size = ReadLe32(Header + 1);
    const uint32_t Limit = Kind == rkCopyData  ? HandOverMaxPayload
                           : Kind == rkRestore ? HandOverMaxToken
                                               : 0;
    if (Kind > rkRestore || Size > Limit) return;  // not one of ours: drop it
    std::vector<uint8_t> Body(Size);
    if (Size > 0 && !ReadExactly(Fd, Body.data(), Size)) return;
    if (Kind == rkPing) {
      const uint8_t Ack = 1;
      if (!WriteExactly(Fd, &Ack, 1)) return;
    } else if (Kind == rkCopyData) {
      const uint8_t Ack = RelayCopyData(std::move(Body)) ? 1 : 0;
      if (!WriteExactly(Fd, &Ack, 1)) return;
    } else {
      RelayRestore(std::string(Body.begin(), Body.end()));
    }
  }
}

bool THandOverServer::RelayCopyData(std::vector<uint8_t> Payload) {
  auto Pending = std::make_shared<TPending>();
  Pending->Payload = std::move(Payload);
  {
    std::lock_guard Lock(FMutex);
    if (FStopping) return false;
    FPending.push_back(Pending);
  }
  PostMessage(this, WM_HANDOVER_COPYDATA, 0, 0);
  std::unique_lock Lock(Pending->Mutex);
  Pending->Done.wait(Lock, [&] { return Pending->Finished; });
  return Pending->Handled;
}

void THandOverServer::RelayRestore(std::string Token) {
  {
    std::lock_guard Lock(FMutex);
    if (FStopping) return;
    FTokens.push_back(std::move(Token));
  }
  PostMessage(this, WM_HANDOVER_RESTORE, 0, 0);
}

intptr_t THandOverServer::HandleMessage(uint32_t Msg, uintptr_t, intptr_t) {
  if (Msg == WM_HANDOVER_RESTORE) {
    {
      std::lock_guard Lock(FMutex);
      if (FTokens.empty()) return 0;
      FActivationToken = std::move(FTokens.front());
      FTokens.pop_front();
    }
    return FTarget->HandleMessage(WM_ENCODE_RESTORE, 0, 0);
  }
  if (Msg != WM_HANDOVER_COPYDATA) return 0;
  std::shared_ptr<TPending> Pending;
  {
    std::lock_guard Lock(FMutex);
    if (FPending.empty()) return 0;
    Pending = FPending.front();
    FPending.pop_front();
  }
  TCopyDataStruct Data;
  Data.dwData = Pending->Payload.size();
  Data.cbData = static_cast<uint32_t>(Pending->Payload.size());
  Data.lpData = Pending->Payload.data();
  // The sender waits for the handler, also when it fails: the error goes on
  // to the loop's error handling, the sender learns that it was handled.
  try {
    FTarget->HandleMessage(WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&Data));
  } catch (...) {
    Pending->Finish(true);
    throw;
  }
  Pending->Finish(true);
  return 0;
}

// ---------------------------------------------------------------------------
// Client

THandOverClient::~THandOverClient() { Close(); }

void THandOverClient::Close() {
  if (FFd >= 0) close(FFd);
  FFd = -1;
}

bool THandOverClient::Connect(uint32_t Pid, uint32_t TimeoutMs) {
  Close();
  if (Pid == 0) return false;
  FFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (FFd < 0) return false;
  SetTimeouts(FFd, static_cast<int>(TimeoutMs));
  socklen_t Length = 0;
  const sockaddr_un Address = AbstractAddress(Pid, Length);
  int Result;
  do {
    Result = connect(FFd, reinterpret_cast<const sockaddr*>(&Address), Length);
  } while (Result != 0 && errno == EINTR);
  if (Result != 0 || !SameUser(FFd)) {
    Close();
    return false;
  }
  return true;
}

bool THandOverClient::Request(uint8_t Kind, const void* Data, uint32_t Size) {
  if (FFd < 0) return false;
  const uint8_t Header[5] = {Kind, uint8_t(Size), uint8_t(Size >> 8), uint8_t(Size >> 16),
                             uint8_t(Size >> 24)};
  return WriteExactly(FFd, Header, sizeof(Header)) && (Size == 0 || WriteExactly(FFd, Data, Size));
}

bool THandOverClient::AwaitReply(uint32_t TimeoutMs) {
  SetTimeouts(FFd, static_cast<int>(TimeoutMs));
  uint8_t Ack = 0;
  return ReadExactly(FFd, &Ack, 1) && Ack == 1;
}

bool THandOverClient::Ping(uint32_t TimeoutMs) {
  return Request(rkPing, nullptr, 0) && AwaitReply(TimeoutMs);
}

bool THandOverClient::SendCopyData(const void* Data, uint32_t Size, uint32_t TimeoutMs) {
  if (Size > HandOverMaxPayload) return false;
  return Request(rkCopyData, Data, Size) && AwaitReply(TimeoutMs);
}

bool THandOverClient::PostRestore(const std::string& ActivationToken) {
  const std::string Token =
      ActivationToken.size() > HandOverMaxToken ? std::string() : ActivationToken;
  return Request(rkRestore, Token.data(), static_cast<uint32_t>(Token.size()));
}

bool InstanceAnswers(uint32_t Pid, uint32_t TimeoutMs) {
  THandOverClient Client;
  return Client.Connect(Pid, TimeoutMs) && Client.Ping(TimeoutMs);
}

}  // namespace platform
