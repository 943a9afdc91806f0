#include "codecs/uEncodeIntf.h"

#include <atomic>
#include <mutex>
#include <string>

#include "codecs/uDataExchange.h"
#include "codecs/uEncodeImple.h"
#include "platform/uCodePage.h"
#include "platform/uDynLib.h"

namespace {

// One counted load of a library file.
struct TCountedLibrary {
  int32_t UseCount = 0;
  platform::TLibHandle Module = nullptr;
};

struct TCodecLibrary : TCountedLibrary {
  // Read by CreateEncoder on worker threads without the lock.
  std::atomic<TDllGetClassObject> GetClassObject{nullptr};
};

struct TCpuControlLibrary : TCountedLibrary {
  std::atomic<TLxPlayerCreateCpuControl> CreateControl{nullptr};
};

// One lock for the codec loads and the CPU-control load. It is never freed,
// so that a late release during process exit still finds it.
std::recursive_mutex& LibraryLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}

TCodecLibrary GCodecLibraries[4]; // index = format type; 2 (WAV) unused
TCpuControlLibrary GCpuControl;

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

void UnloadCodecLibrary(TCodecLibrary& Library) {
  Library.GetClassObject = nullptr;
  platform::FreeLibrary(Library.Module);
  Library.Module = nullptr;
}

void UnloadCpuControlLibrary() {
  GCpuControl.CreateControl = nullptr;
  platform::FreeLibrary(GCpuControl.Module);
  GCpuControl.Module = nullptr;
}

template <class T> void ReleaseOutput(T*& Output) {
  if (Output)
    Output->Release();
  Output = nullptr;
}

void CreateLibraryEncoder(TFormatType FormatType, IEncoder*& Encoder, IUnknown*& Param) {
  const TDllGetClassObject getClassObject = GCodecLibraries[FormatType].GetClassObject;
  if (!getClassObject)
    return;
  // An out pointer that comes with a failure code is not trusted.
  void* factoryOut = nullptr;
  if (!Succeeded(getClassObject(CodecClassId(FormatType), IID_IClassFactory, &factoryOut)))
    return;
  TComPtr<IClassFactory> factory(static_cast<IClassFactory*>(factoryOut));
  if (!factory)
    return;
  void* encoderOut = nullptr;
  if (!Succeeded(factory->CreateInstance(nullptr, IID_IEncoder, &encoderOut)))
    return;
  Encoder = static_cast<IEncoder*>(encoderOut);
  if (!Encoder)
    return;
  void* paramOut = nullptr;
  if (!Succeeded(Encoder->QueryInterface(CodecParamInterfaceId(FormatType), &paramOut)))
    return;
  Param = static_cast<IUnknown*>(paramOut);
}

} // namespace

bool LoadCodecLibrary(TFormatType FormatType) {
  if (FormatType == ftWAV)
    return true; // built in; nothing to count
  if (!IsCountedCodecType(FormatType))
    return false;
  std::lock_guard guard(LibraryLock());
  TCodecLibrary& library = GCodecLibraries[FormatType];
  ++library.UseCount; // also when the load below fails; the release undoes it
  if (!library.Module) {
    library.Module = platform::LoadLibraryA(PlayerLibraryPath("codecs.dll"));
    if (library.Module) {
      library.GetClassObject = reinterpret_cast<TDllGetClassObject>(
          platform::GetProcAddress(library.Module, "DllGetClassObject"));
      if (!library.GetClassObject)
        UnloadCodecLibrary(library);
    }
  }
  return library.Module != nullptr;
}

void ReleaseCodecLibrary(TFormatType FormatType) {
  if (!IsCountedCodecType(FormatType))
    return;
  std::lock_guard guard(LibraryLock());
  TCodecLibrary& library = GCodecLibraries[FormatType];
  if (library.UseCount > 0)
    --library.UseCount;
  if (library.Module && library.UseCount == 0)
    UnloadCodecLibrary(library);
}

int32_t CodecLibraryUseCount(TFormatType FormatType) {
  if (!IsCountedCodecType(FormatType))
    return 0;
  std::lock_guard guard(LibraryLock());
  return GCodecLibraries[FormatType].UseCount;
}

bool IsCodecLibraryLoaded(TFormatType FormatType) {
  if (!IsCountedCodecType(FormatType))
    return false;
  std::lock_guard guard(LibraryLock());
  return GCodecLibraries[FormatType].Module != nullptr;
}

bool LoadCpuControlLibrary() {
  std::lock_guard guard(LibraryLock());
  ++GCpuControl.UseCount;
  if (!GCpuControl.Module) {
    GCpuControl.Module = platform::LoadLibraryA(PlayerLibraryPath("LxPlayer.dll"));
    if (GCpuControl.Module) {
      GCpuControl.CreateControl = reinterpret_cast<TLxPlayerCreateCpuControl>(
          platform::GetProcAddressByOrdinal(GCpuControl.Module, 6));
      if (!GCpuControl.CreateControl)
        UnloadCpuControlLibrary();
    }
  }
  return GCpuControl.Module != nullptr;
}

void ReleaseCpuControlLibrary() {
  std::lock_guard guard(LibraryLock());
  if (GCpuControl.UseCount > 0)
    --GCpuControl.UseCount;
  if (GCpuControl.Module && GCpuControl.UseCount == 0)
    UnloadCpuControlLibrary();
}

TLxPlayerCreateCpuControl CpuControlFactory() {
  return GCpuControl.CreateControl;
}

int32_t CpuControlLibraryUseCount() {
  std::lock_guard guard(LibraryLock());
  return GCpuControl.UseCount;
}

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
    while (CodecLibraryUseCount(type) > 0)
      ReleaseCodecLibrary(type);
  while (CpuControlLibraryUseCount() > 0)
    ReleaseCpuControlLibrary();
}
