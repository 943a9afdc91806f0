// The library's only export: DllGetClassObject with the class factories of
// the MP3, APE and FLAC encoders.
#include <new>

#include "interfaces/uCodecInterfaces.h"
#include "player/codecs/ape/uApeEncoderObject.h"
#include "player/codecs/uFlacEncoder.h"
#include "player/codecs/uLameEncoder.h"

namespace {

using TCreateEncoderFn = IEncoder* (*)();

// One factory per class identifier. Factories are made per request and
// counted like any object; any thread may use them.
class TEncoderFactory final : public TComObject<IClassFactory> {
public:
  explicit TEncoderFactory(TCreateEncoderFn Create) : FCreate(Create) {}

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) return Answer<IClassFactory>(obj);
    return Refuse(obj);
  }

  HRESULT MORVO_STDCALL CreateInstance(IUnknown* outer, const TGUID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IEncoder* encoder = FCreate();
    if (!encoder) return E_OUTOFMEMORY;
    // The new object's own reference goes; the caller keeps the queried one.
    const HRESULT hr = encoder->QueryInterface(iid, obj);
    encoder->Release();
    return hr;
  }
  // The library stays loaded as long as the system holds it; nothing to pin.
  HRESULT MORVO_STDCALL LockServer(int32_t) override { return S_OK; }

private:
  ~TEncoderFactory() override = default;

  TCreateEncoderFn FCreate;
};

TCreateEncoderFn EncoderMaker(const TGUID& ClassId) {
  if (ClassId == CLSID_Mp3Encoder) return &CreateLameEncoderObject;
  if (ClassId == CLSID_ApeEncoder) return &CreateApeEncoderObject;
  if (ClassId == CLSID_FlacEncoder) return &CreateFlacEncoderObject;
  return nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT
DllGetClassObject(const TGUID& ClassId, const TGUID& InterfaceId, void** Object) {
  if (!Object) return E_POINTER;
  *Object = nullptr;
  const TCreateEncoderFn create = EncoderMaker(ClassId);
  if (!create) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) TEncoderFactory(create);
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(InterfaceId, Object);
  factory->Release();
  return hr;
}
