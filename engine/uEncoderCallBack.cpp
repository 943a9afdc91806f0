#include "engine/uEncoderCallBack.h"

TEncoderCallBack::TEncoderCallBack(const std::u16string& Path) {
  FStream = platform::CreateFileW(Path, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                  platform::TDisposition::CreateAlways);
}

TEncoderCallBack::TEncoderCallBack(platform::THandle Stream) : FStream(Stream) {}

TEncoderCallBack::~TEncoderCallBack() {
  if (HasFile()) platform::CloseHandle(FStream);
}

HRESULT MORVO_STDCALL TEncoderCallBack::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  return iid == IID_IUnknown || iid == IID_IEncoderCallback ? Answer<IEncoderCallback>(obj)
                                                            : Refuse(obj);
}

int32_t MORVO_STDCALL TEncoderCallBack::Read(void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) return -1;
  if (Count <= 0) return 0;
  // FileRead goes on until Count bytes or the end of the file.
  return platform::FileRead(FStream, Buffer, Count) < 0 ? -1 : 0;
}

void TEncoderCallBack::NoteWriteFailure() {
  if (!FWriteFailed && HasFile()) FWriteError = platform::LastSystemReason();
  FWriteFailed = true;
}

int32_t MORVO_STDCALL TEncoderCallBack::Write(const void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) {
    NoteWriteFailure();
    return -1;
  }
  if (Count <= 0) return 0;
  // FileWrite goes on until every byte is written or the file refuses more.
  if (platform::FileWrite(FStream, Buffer, Count) != Count) {
    NoteWriteFailure();
    return -1;
  }
  return 0;
}

int32_t MORVO_STDCALL TEncoderCallBack::Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) {
  if (!HasFile()) return -1;
  // The whole 64-bit offset is honoured, so targets beyond 2 GiB can be
  // patched (a WAV or FLAC header written last).
  const int64_t position = platform::FileSeek(FStream, Offset, Origin & 0xFFFF);
  if (position < 0) return -1;
  if (NewPosition) *NewPosition = position;
  return 0;
}
