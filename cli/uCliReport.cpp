#include "cli/uCliReport.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "infra/uMessages.h"
#include "platform/uCodePage.h"

namespace {

std::string Utf8(const std::u16string& Text) { return platform::WideToUtf8(Text); }

constexpr const char* kClearLine = "\r\x1b[2K";

const char* StateName(TTaskOutcome Outcome) {
  switch (Outcome) {
  case TTaskOutcome::Done:
    return "done";
  case TTaskOutcome::Stopped:
    return "stopped";
  case TTaskOutcome::Waiting:
    return "waiting";
  case TTaskOutcome::Failed:
    break;
  }
  return "failed";
}

// The list's status text of the task, in Chinese: JSON carries it as data.
std::string StatusText(const TFinishedTask& Task) {
  switch (Task.Outcome) {
  case TTaskOutcome::Done:
    return TrNoop("完成");
  case TTaskOutcome::Waiting:
    return TrNoop("等待");
  default:
    return "失败(" + Utf8(Task.ResultText) + ")";
  }
}

// The same in the user's language.
std::string ShownStatusText(const TFinishedTask& Task) {
  switch (Task.Outcome) {
  case TTaskOutcome::Done:
  case TTaskOutcome::Waiting:
    return Tr(StatusText(Task));
  default:
    return Utf8(FormatText(Tr(u"失败(%s)"), {TrShown(Task.ResultText)}));
  }
}

}  // namespace

TCliReport::TCliReport(std::ostream& Out, std::ostream& Err, bool Live, bool Json, int Columns,
                       bool Quiet)
    : FOut(Out), FErr(Err), FLive(Live && !Quiet), FJson(Json), FQuiet(Quiet),
      FColumns(Columns < 20 ? 20 : Columns) {}

std::string TCliReport::TotalText(int32_t Finished, int32_t Total) {
  if (Total == 100) return std::to_string(Finished) + "%";
  return std::to_string(Finished) + "/" + std::to_string(Total);
}

std::string TCliReport::Bar(int32_t Percent, int Width) {
  const int Clamped = Percent < 0 ? 0 : (Percent > 100 ? 100 : Percent);
  const int Filled = Clamped * Width / 100;
  return "[" + std::string(Filled, '#') + std::string(Width - Filled, '-') + "]";
}

std::string TCliReport::JsonLine(const TFinishedTask& Task) {
  const bool Plain = Task.Outcome == TTaskOutcome::Done || Task.Outcome == TTaskOutcome::Waiting;
  nlohmann::ordered_json Object{{"source", Utf8(Task.Source)},
                                {"target", Utf8(Task.Target)},
                                {"state", StateName(Task.Outcome)},
                                {"result", Task.Result},
                                {"text", Plain ? StatusText(Task) : Utf8(Task.ResultText)}};
  if (!Task.Detail.empty()) Object["detail"] = Utf8(Task.Detail);
  const auto KnownOrNull = [](auto Value) {
    return Value < 0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(Value);
  };
  Object["seconds"] = KnownOrNull(Task.Seconds < 0 ? -1.0 : std::round(Task.Seconds * 1000) / 1000);
  Object["source_bytes"] = KnownOrNull(Task.SourceBytes);
  Object["target_bytes"] = KnownOrNull(Task.TargetBytes);
  return Object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void TCliReport::Progress(int32_t Id, const std::u16string& Name, int32_t Percent) {
  std::lock_guard Lock(FMutex);
  auto& Task = FConverting[Id];
  if (Task.Name.empty()) Task.Name = Utf8(Name);
  if (Task.Percent == Percent && FDrawnLines > 0) return;
  Task.Percent = Percent;
  if (FLive) DrawLive();
}

void TCliReport::Finished(int32_t Id, const TFinishedTask& Task) {
  std::lock_guard Lock(FMutex);
  FConverting.erase(Id);
  if (FQuiet && !FJson && Task.Outcome != TTaskOutcome::Failed) return;
  if (FJson) {
    Print(FOut, JsonLine(Task));
  } else {
    const std::string Detail = Task.Detail.empty() ? "" : ": " + Utf8(TrShown(Task.Detail));
    Print(FOut,
          Utf8(Task.Source) + " -> " + Utf8(Task.Target) + ": " + ShownStatusText(Task) + Detail);
  }
}

void TCliReport::Totals(int32_t Finished, int32_t Total) {
  std::lock_guard Lock(FMutex);
  FFinished = Finished;
  FTotal = Total;
  if (FLive) DrawLive();
}

void TCliReport::Notice(const std::u16string& Text) {
  std::lock_guard Lock(FMutex);
  Print(FErr, Utf8(Text));
}

// While a question is on the terminal, lines wait so that they do not run
// into the prompt.
void TCliReport::Print(std::ostream& Stream, const std::string& Line) {
  if (FSuspended) {
    FDeferred.emplace_back(&Stream, Line);
    return;
  }
  ClearLive();
  Stream << Line << "\n" << std::flush;
  DrawLive();
}

void TCliReport::Summary(const std::u16string& Text) {
  std::lock_guard Lock(FMutex);
  FConverting.clear();
  FTotal = 0;
  FlushDeferred();
  ClearLive();
  if (FQuiet) return;
  (FJson ? FErr : FOut) << Utf8(Text) << "\n" << std::flush;
}

void TCliReport::Suspend() {
  std::lock_guard Lock(FMutex);
  ClearLive();
  FSuspended = true;
}

void TCliReport::Resume() {
  std::lock_guard Lock(FMutex);
  FlushDeferred();
  DrawLive();
}

void TCliReport::FlushDeferred() {
  FSuspended = false;
  for (const auto& [Stream, Line] : FDeferred)
    *Stream << Line << "\n";
  FDeferred.clear();
}

// The live block is drawn on the error stream so that standard output keeps
// only results (and JSON stays clean).
void TCliReport::ClearLive() {
  if (!FLive || FDrawnLines == 0) return;
  FErr << "\x1b[" << FDrawnLines << "A";
  for (int Line = 0; Line < FDrawnLines; ++Line)
    FErr << kClearLine << "\n";
  FErr << "\x1b[" << FDrawnLines << "A" << std::flush;
  FDrawnLines = 0;
}

void TCliReport::DrawLive() {
  if (!FLive || FSuspended) return;
  ClearLive();
  for (const auto& [Id, Task] : FConverting) {
    FErr << kClearLine
         << FitLine(Bar(Task.Percent, 20) + " " + std::to_string(Task.Percent) + "% " + Task.Name)
         << "\n";
    ++FDrawnLines;
  }
  if (FTotal > 0) {
    const int32_t Percent = FFinished * 100 / FTotal;
    FErr << kClearLine << FitLine(Bar(Percent, 20) + " " + TotalText(FFinished, FTotal)) << "\n";
    ++FDrawnLines;
  }
  FErr << std::flush;
}

// Keeps a live line on one terminal row (counting bytes errs on the short
// side for multi-byte text).
std::string TCliReport::FitLine(const std::string& Line) const {
  if (static_cast<int>(Line.size()) < FColumns) return Line;
  std::string Cut = Line.substr(0, FColumns - 1);
  while (!Cut.empty() && (static_cast<unsigned char>(Cut.back()) & 0xC0) == 0x80)
    Cut.pop_back();
  if (!Cut.empty() && (static_cast<unsigned char>(Cut.back()) & 0x80)) Cut.pop_back();
  return Cut;
}
