// A small codec library for the loader tests, shaped like libcodecs.so:
// DllGetClassObject hands out a class factory for the MP3, APE and FLAC
// class identifiers; the encoder writes a marker, the raw PCM and the last
// parameter value through its callback. Built without the export when
// MORVO_TEST_NO_ENTRY is defined (a library the loader must refuse).
#include <cstdio>

#include "interfaces/uCodecInterfaces.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class TTestEncoder final
    : public TComObject<IEncoder, ILameStreamEncoder, IApeEncoderParam, IFlacEncoderParam> {
public:
  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (iid == IID_IUnknown || iid == IID_IEncoder) return Answer<IEncoder>(obj);
    if (iid == IID_ILameStreamEncoder) return Answer<ILameStreamEncoder>(obj);
    if (iid == IID_IApeEncoderParam) return Answer<IApeEncoderParam>(obj);
    if (iid == IID_IFlacEncoderParam) return Answer<IFlacEncoderParam>(obj);
    return Refuse(obj);
  }

  int32_t MORVO_STDCALL Init(IEncoderCallback* Callback, const WAVEFORMATEX*) override {
    if (!Callback) return -1;
    Callback->AddRef();
    FCallback = Callback;
    return FCallback->Write("TEST", 4);
  }
  int32_t MORVO_STDCALL Encode(const void* Buffer, int32_t ByteCount) override {
    return FCallback ? FCallback->Write(Buffer, ByteCount) : -1;
  }
  int32_t MORVO_STDCALL Finish() override {
    if (!FCallback) return -1;
    char text[32];
    const int n = std::snprintf(text, sizeof(text), "LEVEL=%d", int(FLevel));
    return FCallback->Write(text, n);
  }
  int32_t MORVO_STDCALL Reserved1(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved2(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved3(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved4(int32_t, int32_t) override { return 0; }

  // One method body serves the same slot of all parameter interfaces.
  int32_t MORVO_STDCALL SetBitrate(int32_t Kbps) override { return FLevel = Kbps, 0; }
  int32_t MORVO_STDCALL SetBitrateMode(int32_t) override { return 0; }
  int32_t MORVO_STDCALL SetVbrPreset(int32_t) override { return 0; }
  int32_t MORVO_STDCALL SetChannelMode(int32_t) override { return 0; }
  int32_t MORVO_STDCALL SetSampleCount(int32_t) override { return 0; }
  int32_t MORVO_STDCALL SetCompressionLevel(int32_t Level) override { return FLevel = Level, 0; }

private:
  ~TTestEncoder() override {
    if (FCallback) FCallback->Release();
  }
  IEncoderCallback* FCallback = nullptr;
  int32_t FLevel = -1;
};

class TTestFactory final : public TComObject<IClassFactory> {
public:
  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    return iid == IID_IUnknown || iid == IID_IClassFactory ? Answer<IClassFactory>(obj)
                                                           : Refuse(obj);
  }
  HRESULT MORVO_STDCALL CreateInstance(IUnknown* outer, const TGUID& iid, void** obj) override {
    *obj = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* encoder = new TTestEncoder;
    const HRESULT hr = encoder->QueryInterface(iid, obj);
    encoder->Release();
    return hr;
  }
  HRESULT MORVO_STDCALL LockServer(int32_t) override { return S_OK; }

private:
  ~TTestFactory() override = default;
};

}  // namespace

#ifndef MORVO_TEST_NO_ENTRY
EXPORT HRESULT DllGetClassObject(const TGUID& ClassId, const TGUID& InterfaceId, void** Object) {
  *Object = nullptr;
  if (!(ClassId == CLSID_Mp3Encoder || ClassId == CLSID_ApeEncoder || ClassId == CLSID_FlacEncoder))
    return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new TTestFactory;
  const HRESULT hr = factory->QueryInterface(InterfaceId, Object);
  factory->Release();
  return hr;
}
#else
EXPORT int NotTheClassObjectEntry() { return 0; }
#endif
