#include "cli/uCliSession.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "app/uCdDrives.h"
#include "app/uCdRipReport.h"
#include "app/uPlayerLaunch.h"
#include "app/uQualityChoice.h"
#include "app/uSourceAdding.h"
#include "app/uTargetFolder.h"
#include "cli/uCliAnswerer.h"
#include "codecs/uDecoderEx.h"
#include "codecs/uEncodeIntf.h"
#include "codecs/uLxPlayerDllExport.h"
#include "engine/uEncodeWorker.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "params/uEncodeParam.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uConsole.h"
#include "platform/uMessageBox.h"
#include "platform/uProgramDir.h"

namespace {

constexpr uint32_t WM_CLI_INTERRUPT = platform::WM_USER + 2200;

int64_t FileSizeOrUnknown(const std::u16string& Name) {
  std::error_code Failed;
  const auto Size = std::filesystem::file_size(platform::WideToPath(Name), Failed);
  return Failed ? -1 : static_cast<int64_t>(Size);
}

// The window's order of preference for the default format.
const char* const kFormatOrder[] = {".mp3", ".ape", ".wav", ".flac"};

std::u16string Wide(const std::string& Utf8) { return platform::Utf8ToWide(Utf8); }
std::string FromAnsi(const std::string& Ansi) {
  return platform::WideToUtf8(platform::AnsiToWide(Ansi));
}
// A file or folder named on the command line: its bytes as they are, also
// when they are not UTF-8.
std::u16string PathArgument(const std::string& Bytes) { return platform::PathToWide(Bytes); }

// Names relative to the working folder are made absolute; a name with a
// drive part ("X:", a UNC name) or a blank one is left for the checks to
// judge.
std::u16string AbsoluteUnlessDrive(const std::u16string& Name) {
  if (WideTrim(Name).empty() || !WideExtractFileDrive(Name).empty()) return Name;
  const std::u16string Full = WideExpandFileName(Name);
  return Full.empty() ? Name : Full;
}

// ": <the loader's reason>" when the format's library failed to load, else
// the hint that it is missing.
std::string LibraryFailure(const std::string& Ext) {
  std::string Reason;
  if (Ext == ".mp3")
    Reason = CodecLibraryLoadError(ftMP3);
  else if (Ext == ".ape")
    Reason = CodecLibraryLoadError(ftAPE);
  else if (Ext == ".flac")
    Reason = CodecLibraryLoadError(ftFLAC);
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
  FReport = std::make_unique<TCliReport>(std::cout, std::cerr, Live, FOptions.Json,
                                         platform::TerminalColumns(), FOptions.Quiet);
  FAnswerer = std::make_shared<TCliAnswerer>(
      platform::IsTerminal(platform::TStdStream::Input) &&
          platform::IsTerminal(platform::TStdStream::Error),
      [this] { FReport->Suspend(); }, [this] { FReport->Resume(); });
  platform::SetMessageBoxAnswerer(FAnswerer);

  FManager = std::make_unique<TTaskManager>();
  FManager->FMainForm = this;
  FManager->FOnTaskChanged = [this](int32_t Value, uint8_t Kind) { OnTaskChanged(Value, Kind); };

  int Status = Prepare();
  // An interrupt that came while the sources were added.
  platform::ProcessMessages();
  if (Status < 0)
    Status = Convert();
  else if (FInterrupt)
    Status = platform::InterruptExitStatus(*FInterrupt);
  Finish();
  return Status;
}

// -1 to go on with the conversion, else the exit status.
int TCliSession::Prepare() {
  if (FOptions.ListDrives) {
    ListDrives();
    return ecAllSucceeded;
  }
  if (OnlyEject()) {
    EjectCdDrives();
    return ecAllSucceeded;
  }
  if (!ChooseFormat() || !ApplyParameters()) return ecUsage;
  if (FOptions.ListQualities) {
    ListQualities();
    return ecAllSucceeded;
  }
  if (!ChooseTargetFolder()) return ecUsage;
  FManager->FExistPolicy = static_cast<uint8_t>(FOptions.ExistPolicy);
  FManager->FPriority = static_cast<uint8_t>(FOptions.Priority);
  if (FOptions.WriteTags) FManager->FWriteTags = *FOptions.WriteTags;
  AddSources();
  FManager->ResetAll();
  if (FManager->PendingCount() > 0 && !IsPlayerLibraryAvailable())
    FReport->Notice(u"the player library could not be loaded, no source can be decoded: " +
                    Wide(PlayerLibraryLoadError()));
  if (FManager->PendingCount() == 0) {
    FReport->Notice(Tr(u"没有需要转换的任务，请添加后重试。  "));
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
  if (List.empty()) std::cout << Tr("没有相关描述") << "\n";
  for (size_t I = 0; I < List.size(); ++I) {
    std::cout << I << ": " << FromAnsi(List[I]) << (static_cast<int>(I) == Selected ? "  *" : "")
              << "\n";
  }
}

bool TCliSession::ChooseTargetFolder() {
  std::u16string Text = FOptions.Output ? PathArgument(*FOptions.Output) : FManager->DestPath();
  // A folder typed relative to the working folder means that folder.
  if (FOptions.Output) Text = AbsoluteUnlessDrive(Text);
  const TTargetFolderCheck Check = CheckTargetFolder(Text);
  if (!Check.Ok) {
    std::cerr << platform::WideToUtf8(Check.Caption) << ": " << platform::WideToUtf8(Check.Message)
              << "\n";
    return false;
  }
  if (Check.Path != FManager->DestPath()) FManager->SetDestPath(Check.Path);
  return true;
}

namespace {

// One add of Files, as a choice of several files in the window is. A cue
// sheet that cannot be read ends an add (its refusal is recorded); the files
// after it are added all the same.
void AddFiles(TSourceAdder& Adder, std::vector<std::u16string> Files) {
  while (!Files.empty()) {
    try {
      Adder.AddSources(Files, TSourceAdder::ModeUser);
      return;
    } catch (const std::exception&) {
      const auto Sheet = std::find(Files.begin(), Files.end(), Adder.Refused().back().Path);
      if (Sheet == Files.end()) return;
      Files.erase(Files.begin(), Sheet + 1);
    }
  }
}

}  // namespace

void TCliSession::ListDrives() const {
  const std::vector<TCdDriveState> Drives = ListCdDrives();
  if (Drives.empty()) std::cout << "no CD drive\n";
  for (const TCdDriveState& Drive : Drives) {
    std::cout << platform::WideToUtf8(Drive.Root) << "\t";
    if (!Drive.Ready) {
      std::cout << "not ready\n";
      continue;
    }
    std::cout << Drive.TrackCount << " tracks";
    if (!Drive.Performer.empty() || !Drive.Title.empty())
      std::cout << "\t" << platform::WideToUtf8(Drive.Performer + u" - " + Drive.Title);
    std::cout << "\n";
  }
}

bool TCliSession::OnlyEject() const {
  return FOptions.Eject && !FOptions.Cd && FOptions.Sources.empty() && !FOptions.ListQualities;
}

void TCliSession::AddSources() {
  TSourceAdder Adder(*FManager);
  Adder.SetTargetExt(FTargetExt);
  if (FOptions.Cd && ReadCdDrives(Adder) == 0) {
    FAnyRefused = true;
    FReport->Notice(Tr(u"没有就绪的光驱"));
  }
  // Files named next to each other are one add: an image and the sheet
  // that cuts it give the tracks only. A folder is scanned on its own.
  std::vector<std::u16string> Files;
  for (const std::string& Source : FOptions.Sources) {
    const std::u16string Path = AbsoluteUnlessDrive(PathArgument(Source));
    if (!WideDirectoryExists(Path)) {
      Files.push_back(Path);
      continue;
    }
    AddFiles(Adder, std::exchange(Files, {}));
    try {
      Adder.AddFolder(Path);
    } catch (const std::exception&) {
      // The refusal, with the error text, is recorded by the adder.
    }
  }
  AddFiles(Adder, Files);
  for (const TRefusedSource& Refused : Adder.Refused()) {
    FAnyRefused = true;
    std::u16string Line = FormatText(Tr(u"跳过 %s"), {Refused.Path});
    if (Refused.Track > 0) Line += u" (track " + Wide(std::to_string(Refused.Track)) + u")";
    Line += u": " + SourceRefusalText(Refused.Reason);
    if (!Refused.TargetName.empty()) Line += u" [" + Refused.TargetName + u"]";
    if (!Refused.Detail.empty()) Line += u" " + Refused.Detail;
    FReport->Notice(Line);
  }
}

int TCliSession::Convert() {
  FRipLog = std::make_unique<TCdRipLog>();
  FManager->FPcmTapFactory = FRipLog->TapFactory();
  if (!FInterrupt) {
    FManager->StartConvert();
    FReport->Totals(0, FManager->FTotalCount);
    platform::RunMessageLoop();
  }
  // After a first interrupt the loop has waited for the workers to end
  // their tasks (code 1 or 11, partial targets deleted); after a second one
  // Shutdown cuts them off.
  FManager->FOnTaskChanged = nullptr;
  FManager->Shutdown();
  ReportRemaining();
  WriteRipReports();
  FReport->Summary(FManager->GetSummary());
  if (FInterrupt) return platform::InterruptExitStatus(*FInterrupt);
  if (FOptions.Eject) EjectCdDrives();
  // Counted against the run's total, not the list: a task whose source was
  // deleted after its success has left the list.
  const bool AllSucceeded =
      FManager->FSucceededCount == FManager->FTotalCount && !FAnyRefused && !FSourceKept;
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

// One report per disc ripped, beside the targets.
void TCliSession::WriteRipReports() {
  for (const std::u16string& Path : FRipLog->WriteReports(FManager->DestPath())) {
    FReport->Notice(FormatText(Tr(u"抓轨报告: %s"), {Path}));
  }
}

void TCliSession::Interrupt(platform::TInterruptKind Kind, int Count) {
  platform::PostMessage(this, WM_CLI_INTERRUPT, static_cast<uintptr_t>(Count),
                        static_cast<intptr_t>(Kind));
}

intptr_t TCliSession::HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (Msg == WM_CLI_INTERRUPT) {
    OnInterrupt(static_cast<platform::TInterruptKind>(LParam), static_cast<int>(WParam));
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

// Stops as the window's Stop does; the loop goes on until the workers have
// ended their tasks, so that those are reported as the window shows them.
// A second interrupt also drops any open question and ends at once.
void TCliSession::OnInterrupt(platform::TInterruptKind Kind, int Count) {
  FInterrupts = Count;
  if (!FInterrupt) FInterrupt = Kind;
  if (FInterrupts == 1) FReport->Notice(Tr(u"正在停止… (Ctrl+C again to quit at once)"));
  FManager->StopConvert();
  if (FInterrupts >= 2) {
    for (const auto& Box : platform::OpenMessageBoxes())
      platform::CloseMessageBox(Box->Caption());
    platform::QuitMessageLoop();
    return;
  }
  QuitWhenIdle();
}

void TCliSession::QuitWhenIdle() {
  if (FManager->WorkersIdle()) platform::QuitMessageLoop();
}

void TCliSession::OnTaskChanged(int32_t Value, uint8_t Kind) {
  if (Kind == nkChanged) ReportIfFinished(Value);
  if (Kind == nkChanged || Kind == nkRunning) QuitWhenIdle();
}

void TCliSession::ReportIfFinished(int32_t Id) {
  TTaskItem* Task = FManager->FindTask(Id);
  if (!Task) return;
  if (Task->FState == tsConverting) {
    FReport->Progress(Id, Task->FTargetName, Task->FProgress.load());
    return;
  }
  if (Task->FState != tsDone && Task->FState != tsFailed) return;
  // A whole file's source that is still there after its success could not
  // go to the trash (the task says why).
  if (Task->FState == tsDone && FOptions.DeleteSource && Task->FKind == tkWholeFile &&
      WideFileExists(Task->FSource))
    FSourceKept = true;
  Report(*Task, Task->FState == tsDone ? TTaskOutcome::Done : TTaskOutcome::Failed);
  FReport->Totals(FManager->FFinishedCount, FManager->FTotalCount);
}

// Once the workers are gone: the tasks that ended meanwhile, those cut off
// while converting and those a stop kept from starting.
void TCliSession::ReportRemaining() {
  for (int32_t I = 0; I < FManager->TaskCount(); ++I) {
    const TTaskItem* Task = FManager->GetTask(I);
    if (!Task || FReported.contains(Task->FId)) continue;
    switch (Task->FState) {
    case tsDone:
      Report(*Task, TTaskOutcome::Done);
      break;
    case tsFailed:
      Report(*Task, TTaskOutcome::Failed);
      break;
    case tsConverting:
      Report(*Task, TTaskOutcome::Stopped);
      break;
    default:
      Report(*Task, TTaskOutcome::Waiting);
      break;
    }
  }
}

void TCliSession::Report(const TTaskItem& Task, TTaskOutcome Outcome) {
  if (!FReported.insert(Task.FId).second) return;
  TFinishedTask Finished;
  Finished.Source = Task.FSource;
  Finished.Target = WideIncludeTrailingBackslash(FManager->DestPath()) + Task.FTargetName;
  Finished.Outcome = Outcome;
  Finished.Result = Task.FResult.load();
  Finished.ResultText = TaskResultText(Finished.Result);
  Finished.Detail = Task.FDetail;
  if (Outcome == TTaskOutcome::Failed && Finished.Result == rcLowToHigh) {
    const std::u16string Hint = LowToHighHint(Task);
    Finished.Detail += (Finished.Detail.empty() || Hint.empty() ? u"" : u"; ") + Hint;
  }
  if (FOptions.Json) {
    if (Task.FAudioMs >= 0) Finished.Seconds = static_cast<double>(Task.FAudioMs) / 1000.0;
    Finished.SourceBytes = FileSizeOrUnknown(Task.FSource);
    if (Outcome == TTaskOutcome::Done) Finished.TargetBytes = FileSizeOrUnknown(Finished.Target);
  }
  FReport->Finished(Task.FId, Finished);
}

// What would work instead: the source's bitrate and the best quality of the
// current mode that it allows.
std::u16string TCliSession::LowToHighHint(const TTaskItem& Task) const {
  const auto* Mp3 =
      dynamic_cast<const TMp3Param*>(FManager->FParamManager->FindById(Task.FParamId));
  if (!Mp3) return {};
  TDecoderEx Decoder;
  if (!Decoder.Open(Task.FSource)) return {};
  const int32_t Kbps = Decoder.FInfo.Bitrate;
  std::string Hint = "source " + std::to_string(Kbps) + " kbps; ";
  const int Index = HighestAcceptedQualityIndex(*Mp3, Kbps);
  if (Index < 0 || static_cast<size_t>(Index) >= Mp3->FQualityList.size())
    Hint += "no " + std::string(Mp3->FBitRateMode == 1 ? "ABR" : "CBR") +
            " quality is that low, try --mp3-mode vbr";
  else
    Hint += "highest quality accepted: -q " + std::to_string(Index) + " (" +
            FromAnsi(Mp3->FQualityList[Index]) + ")";
  return Wide(Hint);
}

void TCliSession::FlushPlaylistQueue() {
  auto& Queue = FManager->FPlaylistQueue;
  while (!Queue.empty()) {
    const std::u16string Path = Queue.front();
    Queue.erase(Queue.begin());
    if (WideFileExists(Path) && !LaunchPlayer(Path, TPlayerMode::Playlist)) {
      FReport->Notice(FormatText(Tr(u"播放: 无法添加播放列表 %s"), {Path}));
    }
  }
}

void TCliSession::UsageError(const std::string& Text) {
  std::cerr << "morvo-convert: " << Text << "\n";
}
