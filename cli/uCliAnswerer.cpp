#include "cli/uCliAnswerer.h"

#include <iostream>
#include <string>
#include <thread>

#include "platform/uCodePage.h"

namespace {

bool IsQuestion(uint32_t Flags) { return (Flags & 0x0F) == platform::MB_YESNO; }

bool MeansYes(std::string Answer) {
  while (!Answer.empty() && (Answer.back() == '\r' || Answer.back() == ' '))
    Answer.pop_back();
  return Answer == "y" || Answer == "Y" || Answer == "yes" || Answer == "YES" || Answer == "是";
}

}  // namespace

TCliAnswerer::TCliAnswerer(bool Interactive, std::function<void()> BeforePrompt,
                           std::function<void()> AfterPrompt)
    : FInteractive(Interactive), FPrompter(std::make_shared<TPrompter>()) {
  FPrompter->BeforePrompt = std::move(BeforePrompt);
  FPrompter->AfterPrompt = std::move(AfterPrompt);
}

TCliAnswerer::~TCliAnswerer() = default;

void TCliAnswerer::BoxOpened(const platform::TMessageBoxPtr& Box) {
  if (!IsQuestion(Box->Flags())) {
    std::cerr << platform::WideToUtf8(Box->Caption()) << ": " << platform::WideToUtf8(Box->Text())
              << "\n";
    Box->Answer(platform::DefaultButton(Box->Flags()));
    return;
  }
  if (!FInteractive) {
    Box->Answer(platform::IDNO);
    return;
  }
  std::lock_guard Lock(FPrompter->Mutex);
  FPrompter->Questions.push_back(Box);
  if (!FPrompter->Started) {
    FPrompter->Started = true;
    // Detached: it ends with the process, possibly inside a read.
    std::thread([Prompter = FPrompter] { Prompter->Loop(); }).detach();
  }
  FPrompter->Wake.notify_one();
}

void TCliAnswerer::TPrompter::Loop() {
  for (;;) {
    platform::TMessageBoxPtr Box;
    {
      std::unique_lock Lock(Mutex);
      Wake.wait(Lock, [this] { return !Questions.empty(); });
      Box = Questions.front();
      Questions.pop_front();
    }
    if (Box->Answered()) continue;  // closed while it waited for its turn
    Box->Answer(Ask(*Box));
  }
}

int TCliAnswerer::TPrompter::Ask(const platform::TMessageBoxRequest& Box) {
  if (BeforePrompt) BeforePrompt();
  std::cerr << "[" << platform::WideToUtf8(Box.Caption()) << "] "
            << platform::WideToUtf8(Box.Text()) << " [y/N] " << std::flush;
  std::string Answer;
  const bool Read = static_cast<bool>(std::getline(std::cin, Answer));
  if (!Read) std::cerr << "\n";
  if (AfterPrompt) AfterPrompt();
  return Read && MeansYes(Answer) ? platform::IDYES : platform::IDNO;
}
