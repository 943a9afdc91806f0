// A guard for tests of code that must never open a FIFO for reading: an
// open still waiting after some seconds is released (by opening the FIFO's
// other end), so that a fault fails the test instead of hanging it.
// Owned by one test; its watcher thread ends with it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

namespace morvotest {

class TFifoWatch {
public:
  explicit TFifoWatch(std::filesystem::path Fifo) : FFifo(std::move(Fifo)) {
    FThread = std::thread([this] {
      std::unique_lock Lock(FMutex);
      if (FCancel.wait_for(Lock, std::chrono::seconds(20), [this] { return FDone; })) return;
      FBlocked = true;
      // Each open of the other end lets one waiting reader through.
      for (int I = 0; I < 50; ++I)
        ::close(::open(FFifo.c_str(), O_RDWR | O_NONBLOCK));
    });
  }
  ~TFifoWatch() { Stop(); }
  TFifoWatch(const TFifoWatch&) = delete;
  TFifoWatch& operator=(const TFifoWatch&) = delete;

  // Ends the watch; true when an open had to be released.
  bool Stop() {
    {
      std::lock_guard Lock(FMutex);
      FDone = true;
    }
    FCancel.notify_all();
    if (FThread.joinable()) FThread.join();
    return FBlocked;
  }

private:
  std::filesystem::path FFifo;
  std::mutex FMutex;
  std::condition_variable FCancel;
  bool FDone = false;
  bool FBlocked = false;
  std::thread FThread;
};

}  // namespace morvotest
