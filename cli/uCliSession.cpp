#include "cli/uCliSession.h"

#include <iostream>

#include "app/uPlayerLaunch.h"
#include "app/uQualityChoice.h"
#include "app/uSourceAdding.h"
#include "app/uTargetFolder.h"
#include "codecs/uEncodeIntf.h"
#include "codecs/uLxPlayerDllExport.h"
#include "cli/uCliAnswerer.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uConsole.h"
#include "platform/uMessageBox.h"
#include "platform/uProgramDir.h"

namespace {

constexpr uint32_t WM_CLI_INTERRUPT = platform::WM_USER + 2200;

// The window's order of preference for the default format.
const char* const kFormatOrder[] = {".mp3", ".ape", ".wav", ".flac"};

std::u16string Wide(const std::string& Utf8) { return platform::Utf8ToWide(Utf8); }
std::string FromAnsi(const std::string& Ansi) { return platform::WideToUtf8(platform::AnsiToWide(Ansi)); }

// Names relative to the working folder are made absolute; a name with a
// drive part ("X:", a UNC name) is left for the checks to judge.
std::u16string AbsoluteUnlessDrive(const std::u16string& Name) {
  if (Name.empty() || !WideExtractFileDrive(Name).empty()) return Name;
  const std::u16string Full = WideExpandFileName(Name);
  return Full.empty() ? Name : Full;
}

// ": <the loader's reason>" when the format's library failed to load, else
// the hint that it is missing.
std::string LibraryFailure(const std::string& Ext) {
  std::string Reason;
  if (Ext == ".mp3") Reason = CodecLibraryLoadError(ftMP3);
  else if (Ext == ".ape") Reason = CodecLibraryLoadError(ftAPE);
  else if (Ext == ".flac") Reason = CodecLibraryLoadError(ftFLAC);
  return Reason.empty() ? " (codec library missing?)" : ": " + Reason;
}

}  // namespace

TCliSession::TCliSession(TCliOptions Options) : FOptions(std::move(Options)) {}

TCliSession::~TCliSession() {
  platform::RemoveMessages(this);
  platform::SetMessageBoxAnswerer(nullptr);
}

int TCliSession::Run() {
  const bool Live = platform::IsTerminal(platform::TStdStream::Error) && !FOptions.Json;
  FReport = std::make_unique<TCliReport>(std::cout, std::cerr, Live, FOptions.Json, platform::TerminalColumns());
  FAnswerer = std::make_shared<TCliAnswerer>(
      platform::IsTerminal(platform::TStdStream::Input) && platform::IsTerminal(platform::TStdStream::Error),
      [this] { FReport->Suspend(); }, [this] { FReport->Resume(); });
  platform::SetMessageBoxAnswerer(FAnswerer);

  FManager = std::make_unique<TTaskManager>();
  FManager->FMainForm = this;
  FManager->FOnTaskChanged = [this](int32_t Value, uint8_t Kind) { OnTaskChanged(Value, Kind); };

  const int Prepared = Prepare();
  const int Status = Prepared >= 0 ? Prepared : Convert();
  Finish();
  return Status;
}

// -1 to go on with the conversion, else the exit status.
int TCliSession::Prepare() {
  if (!ChooseFormat() || !ApplyParameters()) return ecUsage;
  if (FOptions.ListQualities) {
    ListQualities();
    return ecAllSucceeded;
  }
  if (!ChooseTargetFolder()) return ecUsage;
  FManager->FExistPolicy = static_cast<uint8_t>(FOptions.ExistPolicy);
  FManager->FPriority = static_cast<uint8_t>(FOptions.Priority);
  AddSources();
  FManager->ResetAll();
  if (FManager->PendingCount() > 0 && !IsPlayerLibraryAvailable())
    FReport->Notice(u"the player library could not be loaded, no source can be decoded: " +
                    Wide(PlayerLibraryLoadError()));
  if (FManager->PendingCount() == 0) {
    FReport->Notice(u"没有需要转换的任务，请添加后重试。  ");
    return ecSomeFailed;
  }
  return -1;
}

bool TCliSession::ChooseFormat() {
  if (!FOptions.Format.empty()) {
    if (UseFormat("." + FOptions.Format)) return true;
    UsageError("the " + FOptions.Format + " encoder is not available" +
               LibraryFailure("." + FOptions.Format));
    return false;
  }
  for (const char* Ext : kFormatOrder) {
    if (UseFormat(Ext)) return true;
  }
  UsageError("no target format is available");
  return false;
}

// False when the format's encoder or parameter object is missing.
bool TCliSession::UseFormat(const std::string& Ext) {
  const TParamManager& Params = *FManager->FParamManager;
  if (!Params.IsFormatAvailable(Ext) || !(FParam = Params.FindByExtension(Ext))) return false;
  FTargetExt = Wide(Ext);
  return true;
}

// The advanced settings first, then the quality index into the list they
// produce, as the window's dialog and quality box do.
bool TCliSession::ApplyParameters() {
  if (auto* Mp3 = dynamic_cast<TMp3Param*>(FParam)) {
    if (FOptions.Mp3BitRateMode) Mp3->FBitRateMode = static_cast<uint8_t>(*FOptions.Mp3BitRateMode);
    if (FOptions.Mp3ChannelMode) Mp3->FMode = static_cast<uint8_t>(*FOptions.Mp3ChannelMode);
  }
  if (auto* Ape = dynamic_cast<TApeParam*>(FParam); Ape && FOptions.ApeLevel) {
    Ape->FQuality = static_cast<uint8_t>(*FOptions.ApeLevel);
  }
  FParam->Changed();
  if (FOptions.Quality) {
    const int Count = static_cast<int>(FParam->FQualityList.size());
    if (*FOptions.Quality >= Count) {
      UsageError("quality " + std::to_string(*FOptions.Quality) + " is not in the list (0.." +
                 std::to_string(Count - 1) + "); see --list-qualities");
      return false;
    }
    StoreQualityIndex(*FParam, *FOptions.Quality);
  }
  FParam->FDelAftSucc = FOptions.DeleteSource ? 1 : 0;
  FParam->FInsAftSucc = FOptions.AddToPlaylist ? 1 : 0;
  return true;
}

void TCliSession::ListQualities() const {
  const int Selected = SelectedQualityIndex(*FParam);
  const auto& List = FParam->FQualityList;
  if (List.empty()) std::cout << "没有相关描述\n";
  for (size_t I = 0; I < List.size(); ++I) {
    std::cout << I << ": " << FromAnsi(List[I]) << (static_cast<int>(I) == Selected ? "  *" : "") << "\n";
  }
}

bool TCliSession::ChooseTargetFolder() {
  std::u16string Text = FOptions.Output ? Wide(*FOptions.Output) : FManager->DestPath();
  // A folder typed relative to the working folder means that folder.
  if (FOptions.Output) Text = AbsoluteUnlessDrive(Text);
  const TTargetFolderCheck Check = CheckTargetFolder(Text);
  if (!Check.Ok) {
    std::cerr << platform::WideToUtf8(Check.Caption) << ": " << platform::WideToUtf8(Check.Message) << "\n";
    return false;
  }
  if (Check.Path != FManager->DestPath()) FManager->SetDestPath(Check.Path);
  return true;
}

void TCliSession::AddSources() {
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(FTargetExt);
  for (const std::string& Source : FOptions.Sources) {
    const std::u16string Path = AbsoluteUnlessDrive(Wide(Source));
    try {
      if (WideDirectoryExists(Path)) Adder.AddFolder(Path);
      else Adder.AddSources({Path}, TSourceAdder::ModeUser);
    } catch (const std::exception&) {
      // The refusal, with the error text, is recorded by the adder.
    }
  }
  for (const TRefusedSource& Refused : Adder.Refused()) {
    FAnyRefused = true;
    std::u16string Line = u"跳过 " + Refused.Path;
    if (Refused.Track > 0) Line += u" (track " + Wide(std::to_string(Refused.Track)) + u")";
    Line += u": " + SourceRefusalText(Refused.Reason);
    if (!Refused.TargetName.empty()) Line += u" [" + Refused.TargetName + u"]";
    if (!Refused.Detail.empty()) Line += u" " + Refused.Detail;
    FReport->Notice(Line);
  }
}

int TCliSession::Convert() {
  FManager->StartConvert();
  FReport->Totals(0, FManager->FTotalCount);
  platform::RunMessageLoop();
  // After a stop the workers still end their tasks (code 11, partial
  // targets deleted); Shutdown waits for them.
  FManager->FOnTaskChanged = nullptr;
  FManager->Shutdown();
  if (FInterrupts < 2) ReportRemaining();
  FReport->Summary(FManager->GetSummary());
  // Counted against the run's total, not the list: a task whose source was
  // deleted after its success has left the list.
  const bool AllSucceeded =
      FManager->FSucceededCount == FManager->FTotalCount && !FAnyRefused && FInterrupts == 0;
  return AllSucceeded ? ecAllSucceeded : ecSomeFailed;
}

void TCliSession::Finish() {
  if (!FManager) return;
  FManager->Shutdown();
  try {
    FManager->SaveConvertedList(platform::ProgramDataDir() + u"encode.log");
  } catch (const std::exception& E) {
    std::cerr << "encode.log: " << E.what() << "\n";
  }
  if (FOptions.Save) {
    FManager->SaveSettings();
    try {
      FParam->SaveToFile();
    } catch (const std::exception& E) {
      std::cerr << FromAnsi(E.what()) << "\n";
    }
  }
  FManager.reset();
}

void TCliSession::Interrupt(int Count) { platform::PostMessage(this, WM_CLI_INTERRUPT, Count, 0); }

intptr_t TCliSession::HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (Msg == WM_CLI_INTERRUPT) {
    FInterrupts = static_cast<int>(WParam);
    if (FInterrupts == 1) FReport->Notice(u"正在停止… (Ctrl+C again to quit at once)");
    // Stop as the window's Stop does; a second interrupt also drops any
    // open question so that nothing waits for an answer.
    FManager->StopConvert();
    if (FInterrupts >= 2) {
      for (const auto& Box : platform::OpenMessageBoxes()) platform::CloseMessageBox(Box->Caption());
    }
    platform::QuitMessageLoop();
    return 0;
  }
  if (Msg != platform::WM_ENCODE_NOTIFY) return 0;
  const auto Kind = static_cast<uint8_t>(WParam);
  const auto Id = static_cast<int32_t>(LParam);
  if (Kind == nkProgress) {
    if (TTaskItem* Task = FManager->FindTask(Id); Task && Task->FState == tsConverting) {
      FReport->Progress(Id, Task->FTargetName, Task->FProgress.load());
    }
  } else if (Kind == nkPlaylistQueued) {
    FlushPlaylistQueue();
  }
  return 0;
}

void TCliSession::OnTaskChanged(int32_t Value, uint8_t Kind) {
  if (Kind == nkChanged) {
    ReportIfFinished(Value);
  } else if (Kind == nkRunning && !FManager->IsRunning()) {
    platform::QuitMessageLoop();
  }
}

void TCliSession::ReportIfFinished(int32_t Id) {
  TTaskItem* Task = FManager->FindTask(Id);
  if (!Task) return;
  if (Task->FState == tsConverting) {
    FReport->Progress(Id, Task->FTargetName, Task->FProgress.load());
    return;
  }
  if (Task->FState != tsDone && Task->FState != tsFailed) return;
  if (!FReported.insert(Id).second) return;
  TFinishedTask Finished;
  Finished.Source = Task->FSource;
  Finished.Target = WideIncludeTrailingBackslash(FManager->DestPath()) + Task->FTargetName;
  Finished.Succeeded = Task->FState == tsDone;
  Finished.Result = Task->FResult.load();
  Finished.ResultText = TaskResultText(Finished.Result);
  Finished.Detail = Task->FDetail;
  FReport->Finished(Id, Finished);
  FReport->Totals(FManager->FFinishedCount, FManager->FTotalCount);
}

// Tasks that ended while the manager was shutting down (a stop), when the
// change callback was already gone, are reported from the list itself.
void TCliSession::ReportRemaining() {
  for (int32_t I = 0; I < FManager->TaskCount(); ++I) {
    if (TTaskItem* Task = FManager->GetTask(I)) ReportIfFinished(Task->FId);
  }
}

void TCliSession::FlushPlaylistQueue() {
  auto& Queue = FManager->FPlaylistQueue;
  while (!Queue.empty()) {
    const std::u16string Path = Queue.front();
    Queue.erase(Queue.begin());
    if (WideFileExists(Path) && !LaunchPlayer(Path, TPlayerMode::Playlist)) {
      FReport->Notice(u"播放: 无法添加播放列表 " + Path);
    }
  }
}

void TCliSession::UsageError(const std::string& Text) { std::cerr << "morvo-convert: " << Text << "\n"; }
