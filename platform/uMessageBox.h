// Message boxes that any thread may open. The asking thread blocks until the
// box is answered. Who answers is pluggable: the GUI shows a dialog on the
// main thread, the command line prompts on the terminal, tests script the
// answers. Several boxes may be open at once; each can be found and closed
// by its caption (closing answers 0), which is how a terminated worker's
// question disappears.
// All functions are thread-safe. Box objects are shared: the registry keeps
// a box while it is open; the answerer may keep it longer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

constexpr uint32_t MB_OK = 0x00;
constexpr uint32_t MB_OKCANCEL = 0x01;
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x02;
constexpr uint32_t MB_YESNOCANCEL = 0x03;
constexpr uint32_t MB_YESNO = 0x04;
constexpr uint32_t MB_RETRYCANCEL = 0x05;
constexpr uint32_t MB_ICONERROR = 0x10;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONWARNING = 0x30;
constexpr uint32_t MB_ICONINFORMATION = 0x40;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// One open (or answered) box.
class TMessageBoxRequest {
public:
  TMessageBoxRequest(const void* Owner, std::u16string Text, std::u16string Caption, uint32_t Flags)
      : FOwner(Owner), FText(std::move(Text)), FCaption(std::move(Caption)), FFlags(Flags) {}

  const void* Owner() const { return FOwner; }
  const std::u16string& Text() const { return FText; }
  const std::u16string& Caption() const { return FCaption; }
  uint32_t Flags() const { return FFlags; }
  // The first answer wins; false when the box was already answered/closed.
  bool Answer(int Result);
  bool Answered() const;
  int WaitForAnswer();

private:
  const void* FOwner;
  std::u16string FText;
  std::u16string FCaption;
  uint32_t FFlags;
  mutable std::mutex FMutex;
  std::condition_variable FDone;
  bool FAnswered = false;
  int FResult = 0;
};

using TMessageBoxPtr = std::shared_ptr<TMessageBoxRequest>;

class IMessageBoxAnswerer {
public:
  virtual ~IMessageBoxAnswerer() = default;
  // Called on the asking thread when a box opens. Answer it now or later,
  // from any thread, through Box->Answer.
  virtual void BoxOpened(const TMessageBoxPtr& Box) = 0;
  // The box was closed by CloseMessageBox before the answerer answered.
  virtual void BoxClosed(const TMessageBoxPtr& /*Box*/) {}
};

// Without an answerer every box is answered at once with its first button.
void SetMessageBoxAnswerer(std::shared_ptr<IMessageBoxAnswerer> Answerer);

int MessageBoxW(const void* Owner, const std::u16string& Text, const std::u16string& Caption,
                uint32_t Flags);
// Text and caption in the system code page.
int MessageBox(const void* Owner, const std::string& Text, const std::string& Caption,
               uint32_t Flags);

bool FindMessageBox(const std::u16string& Caption);
// Answers 0 to every open box with this caption; returns how many.
int CloseMessageBox(const std::u16string& Caption);
// Answers the oldest open box with this caption; false if none is open.
bool AnswerMessageBox(const std::u16string& Caption, int Result);
// Waits until a box with this caption is open; false on timeout.
bool WaitForMessageBox(const std::u16string& Caption, uint32_t Milliseconds);
// The boxes not yet answered, oldest first.
std::vector<TMessageBoxPtr> OpenMessageBoxes();
// The answer of the first button of Flags (OK, Abort, Yes or Retry).
int DefaultButton(uint32_t Flags);

// Tests: answers boxes from a list of results in order; once the list is
// used up, boxes stay open for AnswerMessageBox/CloseMessageBox. Keeps every
// box it saw.
class TScriptedAnswerer : public IMessageBoxAnswerer {
public:
  void Push(int Result);
  void BoxOpened(const TMessageBoxPtr& Box) override;
  std::vector<TMessageBoxPtr> Seen() const;

private:
  mutable std::mutex FMutex;
  std::deque<int> FResults;
  std::vector<TMessageBoxPtr> FSeen;
};

}  // namespace platform
