#include "codecs/uEncodeIntf.h"

#include <atomic>
#include <mutex>
#include <string>

#include "codecs/uDataExchange.h"
#include "codecs/uEncodeImple.h"
#include "infra/uLxLog.h"
#include "platform/uCodePage.h"
#include "platform/uDynLib.h"

namespace {

// One counted load of a library file and the one entry the system calls in
// it (read on worker threads without the lock).
struct TCountedLibrary {
  int32_t UseCount = 0;
  platform::TLibHandle Module = nullptr;
  std::atomic<void*> Entry{nullptr};
  std::string LoadError;  // why the last load failed; empty once loaded
};

// One lock for the codec loads and the CPU-control load. It is never freed,
// so that a late release during process exit still finds it.
std::recursive_mutex& LibraryLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

TCountedLibrary GCodecLibraries[4];  // index = format type; 2 (WAV) unused
TCountedLibrary GCpuControl;

bool IsCountedCodecType(TFormatType FormatType) {
  return FormatType == ftMP3 || FormatType == ftAPE || FormatType == ftFLAC;
}

const TGUID& CodecClassId(TFormatType FormatType) {
  switch (FormatType) {
  case ftMP3:
    return CLSID_Mp3Encoder;
  case ftAPE:
    return CLSID_ApeEncoder;
  default:
    return CLSID_FlacEncoder;
  }
}

const TGUID& CodecParamInterfaceId(TFormatType FormatType) {
  switch (FormatType) {
  case ftMP3:
    return IID_ILameStreamEncoder;
  case ftAPE:
    return IID_IApeEncoderParam;
  default:
    return IID_IFlacEncoderParam;
  }
}

// Player folder + Name for the platform's 8-bit library loader.
std::string PlayerLibraryPath(const char* Name) {
  return platform::WideToAnsi(GetPlayerInstallDir()) + Name;
}

void Unload(TCountedLibrary& Library) {
  Library.Entry = nullptr;
  platform::FreeLibrary(Library.Module);
  Library.Module = nullptr;
}

// Keeps the loader's reason for a failed load, and logs it: a user whose
// conversions find no encoder can then see why the library was refused.
void RecordLoadOutcome(TCountedLibrary& Library, const char* Name) {
  if (Library.Module) {
    Library.LoadError.clear();
    return;
  }
  Library.LoadError = platform::LastLibraryError();
  WriteLog(u"Loading " + platform::AnsiToWide(Name) + u" failed: " +
           platform::Utf8ToWide(Library.LoadError));
}

// Counts one use and loads Name from the player folder unless it is loaded;
// a library without the entry Resolve looks for is not kept.
bool LoadCounted(TCountedLibrary& Library, const char* Name,
                 void* (*Resolve)(platform::TLibHandle Module)) {
  std::lock_guard guard(LibraryLock());
  ++Library.UseCount;  // also when the load below fails; the release undoes it
  if (!Library.Module) {
    Library.Module = platform::LoadLibraryA(PlayerLibraryPath(Name));
    if (Library.Module) {
      Library.Entry = Resolve(Library.Module);
      if (!Library.Entry) Unload(Library);
    }
    RecordLoadOutcome(Library, Name);
  }
  return Library.Module != nullptr;
}

void ReleaseCounted(TCountedLibrary& Library) {
  std::lock_guard guard(LibraryLock());
  if (Library.UseCount > 0) --Library.UseCount;
  if (Library.Module && Library.UseCount == 0) Unload(Library);
}

int32_t UseCountOf(const TCountedLibrary& Library) {
  std::lock_guard guard(LibraryLock());
  return Library.UseCount;
}

// Program end: drops every counted use at once.
void ReleaseAll(TCountedLibrary& Library) {
  Library.UseCount = 0;
  if (Library.Module) Unload(Library);
}

template <class T> void ReleaseOutput(T*& Output) {
  if (Output) Output->Release();
  Output = nullptr;
}

void CreateLibraryEncoder(TFormatType FormatType, IEncoder*& Encoder, IUnknown*& Param) {
  const auto getClassObject =
      reinterpret_cast<TDllGetClassObject>(GCodecLibraries[FormatType].Entry.load());
  if (!getClassObject) return;
  // An out pointer that comes with a failure code is not trusted.
  void* factoryOut = nullptr;
  if (!Succeeded(getClassObject(CodecClassId(FormatType), IID_IClassFactory, &factoryOut))) return;
  TComPtr<IClassFactory> factory(static_cast<IClassFactory*>(factoryOut));
  if (!factory) return;
  void* encoderOut = nullptr;
  if (!Succeeded(factory->CreateInstance(nullptr, IID_IEncoder, &encoderOut))) return;
  Encoder = static_cast<IEncoder*>(encoderOut);
  if (!Encoder) return;
  void* paramOut = nullptr;
  if (!Succeeded(Encoder->QueryInterface(CodecParamInterfaceId(FormatType), &paramOut))) return;
  Param = static_cast<IUnknown*>(paramOut);
}

}  // namespace

bool LoadCodecLibrary(TFormatType FormatType) {
  if (FormatType == ftWAV) return true;  // built in; nothing to count
  if (!IsCountedCodecType(FormatType)) return false;
  return LoadCounted(GCodecLibraries[FormatType], "codecs.dll", [](platform::TLibHandle Module) {
    return platform::GetProcAddress(Module, "DllGetClassObject");
  });
}

void ReleaseCodecLibrary(TFormatType FormatType) {
  if (IsCountedCodecType(FormatType)) ReleaseCounted(GCodecLibraries[FormatType]);
}

std::string CodecLibraryLoadError(TFormatType FormatType) {
  if (!IsCountedCodecType(FormatType)) return {};
  std::lock_guard guard(LibraryLock());
  return GCodecLibraries[FormatType].LoadError;
}

int32_t CodecLibraryUseCount(TFormatType FormatType) {
  return IsCountedCodecType(FormatType) ? UseCountOf(GCodecLibraries[FormatType]) : 0;
}

bool IsCodecLibraryLoaded(TFormatType FormatType) {
  if (!IsCountedCodecType(FormatType)) return false;
  std::lock_guard guard(LibraryLock());
  return GCodecLibraries[FormatType].Module != nullptr;
}

bool LoadCpuControlLibrary() {
  return LoadCounted(GCpuControl, "LxPlayer.dll", [](platform::TLibHandle Module) {
    return platform::GetProcAddressByOrdinal(Module, 6);
  });
}

void ReleaseCpuControlLibrary() { ReleaseCounted(GCpuControl); }

TLxPlayerCreateCpuControl CpuControlFactory() {
  return reinterpret_cast<TLxPlayerCreateCpuControl>(GCpuControl.Entry.load());
}

int32_t CpuControlLibraryUseCount() { return UseCountOf(GCpuControl); }

bool CreateEncoder(TFormatType FormatType, IEncoder*& Encoder, IUnknown*& Param) {
  ReleaseOutput(Encoder);
  ReleaseOutput(Param);
  if (IsCountedCodecType(FormatType)) {
    CreateLibraryEncoder(FormatType, Encoder, Param);
  } else if (FormatType == ftWAV) {
    Encoder = CreateWavEncoder();
    void* paramOut = nullptr;
    Encoder->QueryInterface(IID_IWavEncoderParam, &paramOut);
    Param = static_cast<IUnknown*>(paramOut);
  }
  return Param != nullptr;
}

void FinalizeCodecLibraries() {
  std::lock_guard guard(LibraryLock());
  for (TFormatType type : {ftAPE, ftFLAC, ftMP3})
    ReleaseAll(GCodecLibraries[type]);
  ReleaseAll(GCpuControl);
}
