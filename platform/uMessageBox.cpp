#include "platform/uMessageBox.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/uCodePage.h"

namespace platform {

namespace {

// Answered boxes stay listed until their asker wakes; they count as closed.
bool IsOpen(const TMessageBoxPtr& Box, const std::u16string* Caption) {
  return (!Caption || Box->Caption() == *Caption) && !Box->Answered();
}

// Boxes open right now, oldest first.
class TRegistry {
public:
  void Add(const TMessageBoxPtr& Box) {
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      FOpen.push_back(Box);
    }
    FChanged.notify_all();
  }
  void Remove(const TMessageBoxPtr& Box) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FOpen.erase(std::remove(FOpen.begin(), FOpen.end(), Box), FOpen.end());
  }
  // The open boxes, all of them or those with one caption.
  std::vector<TMessageBoxPtr> Open(const std::u16string* Caption = nullptr) {
    std::lock_guard<std::mutex> Lock(FMutex);
    std::vector<TMessageBoxPtr> Found;
    for (const TMessageBoxPtr& Box : FOpen)
      if (IsOpen(Box, Caption)) Found.push_back(Box);
    return Found;
  }
  bool WaitFor(const std::u16string& Caption, uint32_t Milliseconds) {
    std::unique_lock<std::mutex> Lock(FMutex);
    return FChanged.wait_for(Lock, std::chrono::milliseconds(Milliseconds), [&] {
      return std::any_of(FOpen.begin(), FOpen.end(),
                         [&](const TMessageBoxPtr& Box) { return IsOpen(Box, &Caption); });
    });
  }
  void SetAnswerer(std::shared_ptr<IMessageBoxAnswerer> Answerer) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FAnswerer = std::move(Answerer);
  }
  std::shared_ptr<IMessageBoxAnswerer> Answerer() {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FAnswerer;
  }

private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::vector<TMessageBoxPtr> FOpen;
  std::shared_ptr<IMessageBoxAnswerer> FAnswerer;
};

TRegistry& Registry() {
  static TRegistry Instance;
  return Instance;
}

}  // namespace

bool TMessageBoxRequest::Answer(int Result) {
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (FAnswered) return false;
    FAnswered = true;
    FResult = Result;
  }
  FDone.notify_all();
  return true;
}

bool TMessageBoxRequest::Answered() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FAnswered;
}

int TMessageBoxRequest::WaitForAnswer() {
  std::unique_lock<std::mutex> Lock(FMutex);
  FDone.wait(Lock, [this] { return FAnswered; });
  return FResult;
}

int DefaultButton(uint32_t Flags) {
  switch (Flags & 0x0F) {
  case MB_ABORTRETRYIGNORE:
    return IDABORT;
  case MB_YESNOCANCEL:
  case MB_YESNO:
    return IDYES;
  case MB_RETRYCANCEL:
    return IDRETRY;
  default:
    return IDOK;
  }
}

void SetMessageBoxAnswerer(std::shared_ptr<IMessageBoxAnswerer> Answerer) {
  Registry().SetAnswerer(std::move(Answerer));
}

int MessageBoxW(const void* Owner, const std::u16string& Text, const std::u16string& Caption,
                uint32_t Flags) {
  auto Box = std::make_shared<TMessageBoxRequest>(Owner, Text, Caption, Flags);
  Registry().Add(Box);
  if (auto Answerer = Registry().Answerer())
    Answerer->BoxOpened(Box);
  else
    Box->Answer(DefaultButton(Flags));
  const int Result = Box->WaitForAnswer();
  Registry().Remove(Box);
  return Result;
}

int MessageBox(const void* Owner, const std::string& Text, const std::string& Caption,
               uint32_t Flags) {
  return MessageBoxW(Owner, AnsiToWide(Text), AnsiToWide(Caption), Flags);
}

bool FindMessageBox(const std::u16string& Caption) { return !Registry().Open(&Caption).empty(); }

int CloseMessageBox(const std::u16string& Caption) {
  int Closed = 0;
  auto Answerer = Registry().Answerer();
  for (const TMessageBoxPtr& Box : Registry().Open(&Caption)) {
    if (!Box->Answer(0)) continue;
    ++Closed;
    if (Answerer) Answerer->BoxClosed(Box);
  }
  return Closed;
}

bool AnswerMessageBox(const std::u16string& Caption, int Result) {
  for (const TMessageBoxPtr& Box : Registry().Open(&Caption))
    if (Box->Answer(Result)) return true;
  return false;
}

bool WaitForMessageBox(const std::u16string& Caption, uint32_t Milliseconds) {
  return Registry().WaitFor(Caption, Milliseconds);
}

std::vector<TMessageBoxPtr> OpenMessageBoxes() { return Registry().Open(); }

void TScriptedAnswerer::Push(int Result) {
  std::lock_guard<std::mutex> Lock(FMutex);
  FResults.push_back(Result);
}

void TScriptedAnswerer::BoxOpened(const TMessageBoxPtr& Box) {
  std::optional<int> Result;
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    FSeen.push_back(Box);
    if (!FResults.empty()) {
      Result = FResults.front();
      FResults.pop_front();
    }
  }
  if (Result) Box->Answer(*Result);
}

std::vector<TMessageBoxPtr> TScriptedAnswerer::Seen() const {
  std::lock_guard<std::mutex> Lock(FMutex);
  return FSeen;
}

}  // namespace platform
