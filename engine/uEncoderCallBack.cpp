#include "engine/uEncoderCallBack.h"

#include <new>

TEncoderCallBack::TEncoderCallBack(const std::u16string& Path) {
  FStream = platform::CreateFileW(Path, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                  platform::TDisposition::CreateAlways);
}

TEncoderCallBack::TEncoderCallBack(platform::THandle Stream) : FStream(Stream) {}

TEncoderCallBack::~TEncoderCallBack() { Close(); }

void TEncoderCallBack::Close() {
  if (!HasFile()) return;
  Flush();
  platform::CloseHandle(FStream);
  FStream = platform::INVALID_HANDLE_VALUE;
}

HRESULT MORVO_STDCALL TEncoderCallBack::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  return iid == IID_IUnknown || iid == IID_IEncoderCallback ? Answer<IEncoderCallback>(obj)
                                                            : Refuse(obj);
}

int32_t MORVO_STDCALL TEncoderCallBack::Read(void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) return -1;
  if (Count <= 0) return 0;
  // What is read back must be what was written.
  if (!Flush()) return -1;
  // FileRead goes on until Count bytes or the end of the file.
  return platform::FileRead(FStream, Buffer, Count) < 0 ? -1 : 0;
}

void TEncoderCallBack::NoteWriteFailure() {
  if (!FWriteFailed && HasFile()) FWriteError = platform::LastSystemReason();
  FWriteFailed = true;
}

bool TEncoderCallBack::WriteThrough(const void* Buffer, int64_t Count) {
  // FileWrite goes on until every byte is written or the file refuses more.
  if (platform::FileWrite(FStream, Buffer, Count) == Count) return true;
  NoteWriteFailure();
  return false;
}

bool TEncoderCallBack::Flush() {
  if (FPending.empty()) return true;
  const bool written = WriteThrough(FPending.data(), static_cast<int64_t>(FPending.size()));
  // Bytes the file refused are lost either way: the task fails on them.
  FPending.clear();
  return written;
}

int32_t MORVO_STDCALL TEncoderCallBack::Write(const void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) {
    NoteWriteFailure();
    return -1;
  }
  if (Count <= 0) return 0;
  const auto* bytes = static_cast<const uint8_t*>(Buffer);
  const auto count = static_cast<size_t>(Count);
  if (FPending.size() + count > BufferSize && !Flush()) return -1;
  if (count >= BufferSize) return WriteThrough(bytes, Count) ? 0 : -1;
  try {
    FPending.reserve(BufferSize);
    FPending.insert(FPending.end(), bytes, bytes + count);
  } catch (const std::bad_alloc&) {
    // Without room for the buffer the bytes go as they come.
    return WriteThrough(bytes, Count) ? 0 : -1;
  }
  return 0;
}

int32_t MORVO_STDCALL TEncoderCallBack::Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) {
  if (!HasFile()) return -1;
  const int origin = Origin & 0xFFFF;
  if (origin == 1 && Offset == 0) {
    // Where the next byte goes (encoders ask often): the gathered bytes
    // can stay where they are.
    const int64_t position = platform::FileSeek(FStream, 0, 1);
    if (position < 0) return -1;
    if (NewPosition) *NewPosition = position + static_cast<int64_t>(FPending.size());
    return 0;
  }
  // A failed flush is already noted as a failed write; the move still
  // happens, so the encoder's idea of the position stays true.
  Flush();
  // The whole 64-bit offset is honoured, so targets beyond 2 GiB can be
  // patched (a WAV or FLAC header written last).
  const int64_t position = platform::FileSeek(FStream, Offset, origin);
  if (position < 0) return -1;
  if (NewPosition) *NewPosition = position;
  return 0;
}
