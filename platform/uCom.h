// COM-style object basics shared by the system and the two run-time
// libraries: 16-byte GUIDs, result codes, IUnknown and IClassFactory, an
// owning interface pointer and the common body of an implementing object.
// Interfaces are abstract classes whose virtual slots come in the fixed
// order (QueryInterface, AddRef, Release first). The stdcall marker of the
// original platform is empty on x86-64.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#define MORVO_STDCALL

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

inline bool Succeeded(HRESULT hr) { return hr >= 0; }

struct TGUID {
  uint32_t D1;
  uint16_t D2;
  uint16_t D3;
  uint8_t D4[8];
};
static_assert(sizeof(TGUID) == 16);

inline bool operator==(const TGUID& a, const TGUID& b) {
  return std::memcmp(&a, &b, sizeof(TGUID)) == 0;
}

constexpr TGUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr TGUID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr TGUID IID_IClassFactory{
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Threading: reference counting must be thread-safe in every implementation;
// the other methods are called by one thread at a time unless an interface
// says otherwise.
struct IUnknown {
  virtual HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) = 0;
  virtual uint32_t MORVO_STDCALL AddRef() = 0;
  virtual uint32_t MORVO_STDCALL Release() = 0;

protected:
  ~IUnknown() = default;  // objects die through Release only
};

struct IClassFactory : IUnknown {
  virtual HRESULT MORVO_STDCALL CreateInstance(IUnknown* outer, const TGUID& iid, void** obj) = 0;
  virtual HRESULT MORVO_STDCALL LockServer(int32_t lock) = 0;
};

// Owns one reference to an interface; releases it when reset or destroyed.
template <class T> class TComPtr {
public:
  TComPtr() = default;
  explicit TComPtr(T* adopted) : FPtr(adopted) {}
  TComPtr(const TComPtr& other) : FPtr(other.FPtr) {
    if (FPtr) FPtr->AddRef();
  }
  TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(FPtr, other.FPtr);
    return *this;
  }
  ~TComPtr() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(FPtr, nullptr)) p->Release();
  }
  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  // Releases the current object and hands out the slot for an out-parameter.
  T** Put() {
    Reset();
    return &FPtr;
  }
  T* Detach() { return std::exchange(FPtr, nullptr); }

private:
  T* FPtr = nullptr;
};

// The common body of an object that implements TInterfaces: a thread-safe
// reference count whose last Release deletes the object, and a
// QueryInterface that answers IUnknown with the first interface. An object
// that answers more interfaces overrides QueryInterface and hands itself
// out with Answer. Created with new and one reference, which the creator
// owns; dies through Release only.
template <class... TInterfaces> class TComObject : public TInterfaces... {
public:
  TComObject(const TComObject&) = delete;
  TComObject& operator=(const TComObject&) = delete;

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    return iid == IID_IUnknown ? Answer<TFirstInterface>(obj) : Refuse(obj);
  }
  uint32_t MORVO_STDCALL AddRef() override { return FRefCount.fetch_add(1) + 1; }
  uint32_t MORVO_STDCALL Release() override {
    const uint32_t left = FRefCount.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
  }

protected:
  using TFirstInterface = std::tuple_element_t<0, std::tuple<TInterfaces...>>;

  TComObject() = default;
  virtual ~TComObject() = default;

  // Hands this object out as TInterface, with the reference that goes along.
  template <class TInterface> HRESULT Answer(void** obj) {
    *obj = static_cast<TInterface*>(this);
    AddRef();
    return S_OK;
  }
  static HRESULT Refuse(void** obj) {
    *obj = nullptr;
    return E_NOINTERFACE;
  }

private:
  std::atomic<uint32_t> FRefCount{1};
};
