// The output object handed to an encoder: the encoder writes the target file
// through it. Writes are gathered in a buffer and reach the file in large
// blocks (encoders write a few kilobytes at a time); the buffer goes to the
// file before any read, any move of the position and at Close, so the
// encoder sees a plain file.
//
// Ownership and threading: reference-counted. The worker creates it while it
// prepares a task (on the task's new temporary file), the encoder
// keeps a reference from Init on, and the worker closes the file with Close
// once the encoder is done (else it is closed when the last reference goes).
// Read, Write, Seek and Close are called only on that worker's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

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

  // Bytes gathered before they go to the file in one write.
  static constexpr size_t BufferSize = 512 * 1024;

  // Whether the file is (still) open.
  bool HasFile() const { return FStream != platform::INVALID_HANDLE_VALUE; }
  // Writes what is gathered and closes the file; from then on the object
  // answers -1. Before the file is judged, read by name or renamed.
  void Close();
  // Whether a Write failed or wrote less than asked (a full disk, no file),
  // also when the failure showed only when gathered bytes went out later.
  bool WriteFailed() const { return FWriteFailed; }
  // The system's reason for the first failed Write ("No space left on
  // device"), empty when none.
  const std::string& WriteError() const { return FWriteError; }

private:
  ~TEncoderCallBack() override;
  void NoteWriteFailure();
  bool WriteThrough(const void* Buffer, int64_t Count);
  // Sends the gathered bytes to the file; false when it refused some.
  bool Flush();
  platform::THandle FStream = platform::INVALID_HANDLE_VALUE;
  std::vector<uint8_t> FPending;  // written, not yet in the file
  bool FWriteFailed = false;
  std::string FWriteError;
};
