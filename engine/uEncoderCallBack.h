// The output object handed to an encoder: the encoder writes the target file
// through it.
//
// Ownership and threading: reference-counted. The worker creates it while it
// prepares a task (this creates or truncates the target file), the encoder
// keeps a reference from Init on, and the file is closed when the last
// reference goes. Read, Write and Seek are called only by the encoder of one
// task on that worker's thread.
#pragma once

#include <atomic>
#include <string>

#include "codecs/uEncodeIntf.h"
#include "platform/uFileIO.h"

class TEncoderCallBack final : public TComObject<IEncoderCallback> {
public:
  // Creates Path (replacing any file), read and write access, no sharing.
  // When that fails the object exists without a file and answers -1.
  explicit TEncoderCallBack(const std::u16string& Path);

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;

  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) override;

  bool HasFile() const { return FStream != platform::INVALID_HANDLE_VALUE; }
  // Whether a Write failed or wrote less than asked (a full disk, no file).
  bool WriteFailed() const { return FWriteFailed; }

private:
  ~TEncoderCallBack() override;
  platform::THandle FStream = platform::INVALID_HANDLE_VALUE;
  bool FWriteFailed = false;
};
