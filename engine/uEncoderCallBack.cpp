#include "engine/uEncoderCallBack.h"

TEncoderCallBack::TEncoderCallBack(const std::u16string& Path) {
  FStream = platform::CreateFileW(Path, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                  platform::TDisposition::CreateAlways);
}

TEncoderCallBack::~TEncoderCallBack() {
  if (HasFile()) platform::CloseHandle(FStream);
}

HRESULT MORVO_STDCALL TEncoderCallBack::QueryInterface(const TGUID& iid, void** obj) {
  if (!obj) return E_POINTER;
  return iid == IID_IUnknown || iid == IID_IEncoderCallback ? Answer<IEncoderCallback>(obj) : Refuse(obj);
}

int32_t MORVO_STDCALL TEncoderCallBack::Read(void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) return -1;
  if (Count <= 0) return 0;
  int64_t done = 0;
  while (done < Count) {
    const int64_t got = platform::FileRead(FStream, static_cast<char*>(Buffer) + done, Count - done);
    if (got < 0) return -1;
    if (got == 0) break;  // end of file
    done += got;
  }
  return 0;
}

int32_t MORVO_STDCALL TEncoderCallBack::Write(const void* Buffer, int32_t Count) {
  if (!HasFile() || !Buffer) {
    FWriteFailed = true;
    return -1;
  }
  if (Count <= 0) return 0;
  int64_t done = 0;
  while (done < Count) {
    const int64_t put = platform::FileWrite(FStream, static_cast<const char*>(Buffer) + done, Count - done);
    if (put <= 0) {
      FWriteFailed = true;
      return -1;
    }
    done += put;
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
