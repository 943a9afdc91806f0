// COM-style object basics shared by the system and the two run-time
// libraries: 16-byte GUIDs, result codes, IUnknown and IClassFactory.
// Interfaces are abstract classes whose virtual slots come in the fixed
// order (QueryInterface, AddRef, Release first). The stdcall marker of the
// original platform is empty on x86-64.
#pragma once

#include <cstdint>
#include <cstring>
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

inline bool operator==(const TGUID& a, const TGUID& b) { return std::memcmp(&a, &b, sizeof(TGUID)) == 0; }

constexpr TGUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr TGUID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr TGUID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

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
template <class T>
class TComPtr {
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
