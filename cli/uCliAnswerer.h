// Message boxes on a terminal. Question boxes (Yes/No) are asked one at a
// time on standard input by a prompt thread of their own, so that a worker
// waiting for its answer can still be closed by caption; without a terminal
// every question is answered No. Other boxes are printed to standard error
// and answered with their first button.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/uMessageBox.h"

class TCliAnswerer : public platform::IMessageBoxAnswerer {
public:
  // BeforePrompt/AfterPrompt run on the prompt thread around each question
  // (the live progress lines make room for it).
  TCliAnswerer(bool Interactive, std::function<void()> BeforePrompt,
               std::function<void()> AfterPrompt);
  ~TCliAnswerer() override;

  void BoxOpened(const platform::TMessageBoxPtr& Box) override;

private:
  // Shared with the prompt thread, which may outlive the answerer while it
  // sits in a blocking read of standard input.
  struct TPrompter {
    std::function<void()> BeforePrompt;
    std::function<void()> AfterPrompt;
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<platform::TMessageBoxPtr> Questions;
    bool Started = false;
    void Loop();
    int Ask(const platform::TMessageBoxRequest& Box);
  };

  const bool FInteractive;
  std::shared_ptr<TPrompter> FPrompter;
};
