// The output object of an encoder test: an IEncoderCallback over a real
// file, as the engine's output object stands on one. It lives on the test's
// stack and must outlive every encoder that holds it: Release only counts,
// so that a test can check that the references come back (RefCount).
// Failures of the target disk are staged with FailWritesAfter/FailSeeks.
// One thread at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "codecs/uEncodeIntf.h"

namespace morvotest {

class TFileCallback final : public IEncoderCallback {
public:
  // Creates (or empties) Path; throws when it cannot.
  explicit TFileCallback(const std::filesystem::path& Path)
      : FFile(std::fopen(Path.c_str(), "w+b")) {
    if (!FFile) throw std::runtime_error("cannot create " + Path.string());
  }
  ~TFileCallback() { Close(); }
  TFileCallback(const TFileCallback&) = delete;
  TFileCallback& operator=(const TFileCallback&) = delete;

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override {
    if (!obj) return E_POINTER;
    *obj = nullptr;
    if (!(iid == IID_IUnknown || iid == IID_IEncoderCallback)) return E_NOINTERFACE;
    *obj = static_cast<IEncoderCallback*>(this);
    AddRef();
    return S_OK;
  }
  uint32_t MORVO_STDCALL AddRef() override { return ++FRefCount; }
  uint32_t MORVO_STDCALL Release() override { return --FRefCount; }

  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) override {
    if (!FFile || !Buffer) return -1;
    if (Count <= 0) return 0;
    std::fread(Buffer, 1, size_t(Count), FFile);
    return 0;
  }
  int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) override {
    if (!FFile || !Buffer) return -1;
    if (Count <= 0) return 0;
    if (FWriteBudget >= 0) {
      if (Count > FWriteBudget) return -1;
      FWriteBudget -= Count;
    }
    return std::fwrite(Buffer, 1, size_t(Count), FFile) == size_t(Count) ? 0 : -1;
  }
  int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) override {
    if (!FFile || FSeeksFail) return -1;
    static constexpr int Whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (Origin < 0 || Origin > 2 || fseeko(FFile, off_t(Offset), Whence[Origin]) != 0) return -1;
    if (NewPosition) *NewPosition = ftello(FFile);
    return 0;
  }

  // Writes beyond Bytes more fail, as on a full disk.
  void FailWritesAfter(int64_t Bytes) { FWriteBudget = Bytes; }
  void FailSeeks() { FSeeksFail = true; }
  // Closes the file (later calls fail); the test then reads what was written.
  void Close() {
    if (FFile) std::fclose(FFile);
    FFile = nullptr;
  }
  uint32_t RefCount() const { return FRefCount; }

private:
  std::FILE* FFile = nullptr;
  uint32_t FRefCount = 1;     // the test's own
  int64_t FWriteBudget = -1;  // -1: unlimited
  bool FSeeksFail = false;
};

}  // namespace morvotest
