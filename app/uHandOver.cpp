#include "app/uHandOver.h"

#include <cstdlib>
#include <cstring>

#include "infra/uLxFileUtils.h"
#include "infra/uMessages.h"
#include "platform/uEnvironment.h"
#include "platform/uHandOverSocket.h"
#include "platform/uSharedMemory.h"
#include "platform/uThreads.h"
#include "text/LxCmdStream.h"

const char16_t* const SingleInstanceMappingName = u"MorvoEncoderMappingFile";

namespace {

constexpr size_t MappingSize = 4;
// How long a start waits for a running instance to answer at all.
constexpr uint32_t AnswerTimeoutMs = 2000;
// How long a second start waits for its path to be added: the running
// instance may be busy, but a hung one must not keep the player's call
// waiting for ever.
constexpr uint32_t HandledTimeoutMs = 30000;

uint32_t ReadPid(const platform::TSharedMemory& Mapping) {
  uint32_t Pid = 0;
  std::memcpy(&Pid, Mapping.Data(), sizeof(Pid));
  return Pid;
}

void WritePid(platform::TSharedMemory& Mapping, uint32_t Pid) {
  std::memcpy(Mapping.Data(), &Pid, sizeof(Pid));
}

// The token a desktop gives a started program so that the window it raises
// may take the focus (Wayland's activation, X11's startup notification).
std::string ActivationToken() {
  for (const char* Name : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"})
    if (std::string Value = platform::EnvValue(Name); !Value.empty()) return Value;
  return {};
}

}  // namespace

bool GetConvertParam(std::u16string& Path) {
  Path.clear();
  if (WideParamCount() < 2 || WideUpperAscii(WideParamStr(1)) != u"/ENCODECONVERT") return false;
  Path = WideParamStr(2);
  return true;
}

bool MakeHandOverPayload(const std::u16string& Path, std::vector<uint8_t>& Payload) {
  Payload.assign(platform::HandOverMaxPayload, 0);
  TCmdStream Stream;
  Stream.BeginWrite(Payload.data(), static_cast<int32_t>(Payload.size()));
  const bool Written = Stream.WriteWideString(Path);
  Payload.resize(static_cast<size_t>(Stream.Size()));
  return Written;
}

std::vector<std::u16string> ReadHandOverPayload(const void* Data, size_t Size) {
  std::vector<std::u16string> Paths;
  TCmdStream Stream;
  Stream.BeginRead(Data, static_cast<int32_t>(Size));
  while (Stream.Position() < Stream.Size()) {
    std::u16string S;
    Stream.ReadWideString(S);
    if (!S.empty()) Paths.push_back(S);
  }
  return Paths;
}

THandOverResult HandOverToRunningInstance(uint32_t Pid) {
  std::u16string Path;
  if (!GetConvertParam(Path)) return THandOverResult::NothingToHand;
  std::vector<uint8_t> Payload;
  if (!MakeHandOverPayload(Path, Payload)) return THandOverResult::PathTooLong;
  platform::THandOverClient Client;
  const bool Handled =
      Client.Connect(Pid, AnswerTimeoutMs) &&
      Client.SendCopyData(Payload.data(), static_cast<uint32_t>(Payload.size()), HandledTimeoutMs);
  return Handled ? THandOverResult::Handled : THandOverResult::Failed;
}

bool RestoreRunningInstance(uint32_t Pid) {
  platform::THandOverClient Client;
  return Client.Connect(Pid, AnswerTimeoutMs) && Client.PostRestore(ActivationToken());
}

std::u16string PathTooLongText(const std::u16string& Path) {
  return Tr(u"文件路径超过255个字符，无法交给正在运行的格式转换工具：") + u"\r\n" + Path;
}

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance() { Release(); }

TSingleInstance::TRole TSingleInstance::Claim() {
  if (platform::TSharedMemory::Exists(SingleInstanceMappingName)) {
    auto View = platform::TSharedMemory::OpenExisting(SingleInstanceMappingName, MappingSize);
    if (!View) return TRole::Unusable;
    const uint32_t Pid = ReadPid(*View);
    if (Pid != 0 && Pid != platform::CurrentProcessId() &&
        platform::InstanceAnswers(Pid, AnswerTimeoutMs)) {
      FRunningPid = Pid;
      return TRole::Second;
    }
    // Left behind by an instance that died: this start takes it over.
  }
  FMapping = platform::TSharedMemory::CreateOrOpen(SingleInstanceMappingName, MappingSize);
  if (!FMapping) return TRole::Unusable;
  WritePid(*FMapping, 0);
  return TRole::First;
}

void TSingleInstance::Publish(uint32_t Pid) {
  if (!FMapping) return;
  WritePid(*FMapping, Pid);
  FPublishedPid = Pid;
}

void TSingleInstance::Release() {
  if (!FMapping) return;
  // A later instance may have taken the mapping over (this one hung): its
  // name then stays for that one.
  const bool Ours = FPublishedPid != 0 && ReadPid(*FMapping) == FPublishedPid;
  FMapping.reset();
  if (Ours) platform::TSharedMemory::Remove(SingleInstanceMappingName);
  FPublishedPid = 0;
}
