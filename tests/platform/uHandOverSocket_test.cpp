#include "platform/uHandOverSocket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"

using namespace platform;

namespace {

// The first instance's window, as far as the hand-over sees it.
class TReceiver : public IMessageTarget {
public:
  intptr_t HandleMessage(uint32_t Msg, uintptr_t, intptr_t LParam) override {
    OnMainThread = OnMainThread && IsMainThread();
    if (Msg == WM_COPYDATA) {
      const auto& Data = *reinterpret_cast<const TCopyDataStruct*>(LParam);
      EXPECT_EQ(Data.dwData, Data.cbData);
      const auto* Bytes = static_cast<const uint8_t*>(Data.lpData);
      Payloads.emplace_back(Bytes, Bytes + Data.cbData);
      return 1;
    }
    if (Msg == WM_ENCODE_RESTORE) {
      Restores.push_back(Server ? Server->LastActivationToken() : std::string());
      QuitMessageLoop(0);
    }
    return 0;
  }
  std::vector<std::vector<uint8_t>> Payloads;
  std::vector<std::string> Restores;
  THandOverServer* Server = nullptr;
  bool OnMainThread = true;
};

// A second instance in a process of its own: hands Payload over, then asks
// for the restore with Token. Exits 0 when the payload was handled.
pid_t StartSecondInstance(uint32_t Pid, std::vector<uint8_t> Payload, std::string Token) {
  const pid_t Child = fork();
  if (Child != 0) return Child;
  THandOverClient Client;
  bool Connected = false;
  for (int Try = 0; Try < 500 && !Connected; ++Try) {
    Connected = Client.Connect(Pid, 2000);
    if (!Connected) usleep(10000);  // the first instance is still starting
  }
  const bool Handled =
      Connected && Client.SendCopyData(Payload.data(), uint32_t(Payload.size()), 10000);
  const bool Restored = Handled && Client.PostRestore(Token);
  _exit(Handled && Restored ? 0 : 1);
}

int ExitStatus(pid_t Child) {
  int Status = 0;
  waitpid(Child, &Status, 0);
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

}  // namespace

TEST(HandOverSocket, SecondProcessHandsOverAndWaitsThenAsksForTheRestore) {
  const std::vector<uint8_t> Payload = {2, 'a', 0, 'b', 0};
  // The client process starts before the server's thread exists.
  const pid_t Child = StartSecondInstance(CurrentProcessId(), Payload, "token-42");
  ASSERT_GT(Child, 0);
  TReceiver Window;
  THandOverServer Server(&Window);
  Window.Server = &Server;
  ASSERT_TRUE(Server.Listen(CurrentProcessId()));
  RunMessageLoop();  // ends with the restore
  EXPECT_EQ(ExitStatus(Child), 0);
  Server.Stop();
  ASSERT_EQ(Window.Payloads.size(), 1u);
  EXPECT_EQ(Window.Payloads[0], Payload);
  ASSERT_EQ(Window.Restores.size(), 1u);
  EXPECT_EQ(Window.Restores[0], "token-42");
  EXPECT_TRUE(Window.OnMainThread);
}

TEST(HandOverSocket, OnlyAListeningInstanceAnswers) {
  TReceiver Window;
  THandOverServer Server(&Window);
  const uint32_t Pid = CurrentProcessId();
  EXPECT_FALSE(InstanceAnswers(Pid, 500));
  ASSERT_TRUE(Server.Listen(Pid));
  EXPECT_TRUE(InstanceAnswers(Pid, 2000));
  EXPECT_FALSE(InstanceAnswers(Pid + 1000000, 500));  // nobody of that id
  // The name is one instance's: a second listener is refused.
  THandOverServer Other(&Window);
  EXPECT_FALSE(Other.Listen(Pid));
  Server.Stop();
  EXPECT_FALSE(InstanceAnswers(Pid, 500));
  EXPECT_FALSE(InstanceAnswers(0, 500));
}

TEST(HandOverSocket, StoppingReleasesASenderThatWaitsForItsPayload) {
  TReceiver Window;  // never served: the main thread does not run the loop
  THandOverServer Server(&Window);
  const uint32_t Pid = CurrentProcessId();
  ASSERT_TRUE(Server.Listen(Pid));
  // Watch for the relay before the sender starts: a wake that came first
  // would be missed and the wait below would never end.
  std::atomic<bool> Queued{false};
  SetWakeHandler([&] {
    Queued = true;
    Queued.notify_one();
  });
  std::atomic<int> Outcome{-1};
  std::thread Sender([&] {
    THandOverClient Client;
    const uint8_t Payload[] = {1, 'x', 0};
    Outcome =
        Client.Connect(Pid, 2000) && Client.SendCopyData(Payload, sizeof(Payload), 20000) ? 1 : 0;
  });
  // Wait until the payload waits for the main thread (its relay is queued).
  Queued.wait(false);
  SetWakeHandler(nullptr);
  Server.Stop();
  Sender.join();
  EXPECT_EQ(Outcome, 0);
  EXPECT_EQ(ProcessMessages(), 0);  // nothing reaches the window later
  EXPECT_TRUE(Window.Payloads.empty());
}

TEST(HandOverSocket, OversizedRequestsAreRefused) {
  TReceiver Window;
  THandOverServer Server(&Window);
  const uint32_t Pid = CurrentProcessId();
  ASSERT_TRUE(Server.Listen(Pid));
  THandOverClient Client;
  ASSERT_TRUE(Client.Connect(Pid, 2000));
  std::vector<uint8_t> Big(HandOverMaxPayload + 1, 0);
  EXPECT_FALSE(Client.SendCopyData(Big.data(), uint32_t(Big.size()), 2000));
  Client.Close();

  // A peer that claims a larger payload than a hand-over carries is cut off
  // before anything reaches the window.
  const int Fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un Address{};
  Address.sun_family = AF_UNIX;
  const std::string Name = HandOverSocketName(Pid);
  std::memcpy(Address.sun_path + 1, Name.data(), Name.size());
  ASSERT_EQ(connect(Fd, reinterpret_cast<sockaddr*>(&Address),
                    socklen_t(offsetof(sockaddr_un, sun_path) + 1 + Name.size())),
            0);
  const uint8_t Header[5] = {1, 0xFF, 0xFF, 0, 0};
  ASSERT_EQ(send(Fd, Header, sizeof(Header), MSG_NOSIGNAL), ssize_t(sizeof(Header)));
  uint8_t Reply = 0;
  EXPECT_EQ(recv(Fd, &Reply, 1, 0), 0);  // closed without an answer
  close(Fd);
  Server.Stop();
  ProcessMessages();
  EXPECT_TRUE(Window.Payloads.empty());
}
