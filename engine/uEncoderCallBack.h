// The output object handed to an encoder: the encoder writes the target file
// through it.
//
// Ownership and threading: reference-counted. The worker creates it while it
// prepares a task (on the task's new temporary file), the encoder
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
  // Takes over Stream, a file open for reading and writing; it is closed
  // with the object. INVALID_HANDLE_VALUE makes an object without a file.
  explicit TEncoderCallBack(platform::THandle Stream);

  HRESULT MORVO_STDCALL QueryInterface(const TGUID& iid, void** obj) override;

  int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) override;
  int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) override;

  bool HasFile() const { return FStream != platform::INVALID_HANDLE_VALUE; }
  // Whether a Write failed or wrote less than asked (a full disk, no file).
  bool WriteFailed() const { return FWriteFailed; }
  // The system's reason for the first failed Write ("No space left on
  // device"), empty when none.
  const std::string& WriteError() const { return FWriteError; }

private:
  ~TEncoderCallBack() override;
  void NoteWriteFailure();
  platform::THandle FStream = platform::INVALID_HANDLE_VALUE;
  bool FWriteFailed = false;
  std::string FWriteError;
};
