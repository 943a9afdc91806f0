// The interfaces between the engine and the codecs: format numbering, the
// PCM format record, the decoder's info record, interface and class
// identifiers, the interfaces slot by slot, and the entry points of the two
// run-time libraries.
//
// This header is shared by the engine and the two run-time libraries
// (libcodecs.so, libLxPlayer.so): objects cross those library boundaries
// only through the interfaces below. It depends on nothing but the COM
// helper (platform/uCom.h), which is header-only.
#pragma once

#include <cstdint>

#include "platform/uCom.h"

// ---------------------------------------------------------------------------
// Format types and the PCM format record

using TFormatType = uint8_t;
constexpr TFormatType ftMP3 = 0;
constexpr TFormatType ftAPE = 1;
constexpr TFormatType ftWAV = 2;
constexpr TFormatType ftFLAC = 3;

constexpr uint16_t WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
// The platform's 18-byte PCM description, filled by the worker; an encoder
// copies it in Init and keeps no pointer.
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// What a decoder reports after a successful Open (32 bytes).
//
// The two words after Bitrate were left unread by the system, so a player
// library may put anything there. Ours fills them with facts beyond the
// format, each word marked by DecoderInfoTag in its high 16 bits; a word
// without the mark means "not known" (see DecoderInfoWord).
struct TDecoderInfo {
  int32_t BitsPerSample;
  int32_t Channels;
  int32_t SampleRate;
  int32_t Bitrate;    // of the source, kbit/s
  int32_t Flags;      // tag | dfXxx bits, from Open on
  int32_t ReadError;  // tag | drXxx, why the last negative Read failed (GetInfo after it)
  int64_t Duration;   // 100-ns units
};
static_assert(sizeof(TDecoderInfo) == 32);

constexpr int32_t DecoderInfoTag = 0x4D560000;  // "MV" in the high half
// Flags: the codec reproduces its input exactly (PCM, FLAC, ALAC, WavPack,
// TAK, TTA, Monkey's Audio ...).
constexpr int32_t dfLosslessCodec = 0x1;
// Flags: the container states the length in samples (WAV/AIFF data size,
// FLAC and APE sample counts); a stream that ends clearly short of it, or
// holds undecodable data, makes Read fail instead of ending.
constexpr int32_t dfStatedLength = 0x2;
// ReadError: 0 none, or why decoding stopped.
constexpr int32_t drEndsShort = 1;   // the data ends before the stated length
constexpr int32_t drDamaged = 2;     // undecodable data inside the stream
constexpr int32_t drReadFailed = 3;  // reading or decoding failed otherwise

// The value of a marked word, or 0 when the library did not mark it.
inline int32_t DecoderInfoWord(int32_t Word) {
  return (Word & static_cast<int32_t>(0xFFFF0000u)) == DecoderInfoTag ? (Word & 0xFFFF) : 0;
}

// ---------------------------------------------------------------------------
// Interface identifiers

constexpr TGUID IID_IEncoderCallback{
    0x0661CE51, 0x2574, 0x4049, {0x96, 0x0E, 0x91, 0xA5, 0x2A, 0xDB, 0x19, 0xA9}};
constexpr TGUID IID_IEncoder{
    0x05E71BEF, 0x302A, 0x4E5B, {0x88, 0x7A, 0x1A, 0x03, 0xFA, 0x39, 0x0E, 0xC1}};
constexpr TGUID IID_ILameStreamEncoder{
    0x1D3F6DBD, 0x1240, 0x4FA3, {0xBE, 0x50, 0x3C, 0xF7, 0x20, 0x62, 0x29, 0xD8}};
constexpr TGUID IID_IApeEncoderParam{
    0xCA2966F6, 0x54AC, 0x4485, {0xA6, 0x3F, 0xE1, 0x7C, 0x29, 0x1B, 0x7D, 0xE6}};
constexpr TGUID IID_IFlacEncoderParam{
    0x77C39FAE, 0x9EED, 0x4030, {0x8E, 0xFB, 0xAC, 0xF2, 0x91, 0x53, 0xA3, 0x88}};
constexpr TGUID IID_IWavEncoderParam{
    0x9449596D, 0xFA53, 0x40F3, {0x9C, 0xE9, 0x25, 0x7F, 0x93, 0x7E, 0x53, 0x2B}};
constexpr TGUID IID_IDecoderTags{
    0x6023E48D, 0x1BD0, 0x49B0, {0x9D, 0xC3, 0x14, 0xB1, 0x94, 0x5D, 0x7C, 0x28}};

// Class identifiers of the codec library's encoders.
constexpr TGUID CLSID_Mp3Encoder{
    0x9AB17DD0, 0xC99A, 0x4E6A, {0x99, 0x07, 0xC4, 0x6E, 0x3C, 0xE8, 0x0A, 0x5B}};
constexpr TGUID CLSID_ApeEncoder{
    0xD08E4924, 0x9293, 0x40C8, {0xA5, 0x92, 0x8C, 0xD4, 0x43, 0xFA, 0x67, 0x3B}};
constexpr TGUID CLSID_FlacEncoder{
    0x78AB4B7D, 0x0ED7, 0x4100, {0xB8, 0xB9, 0x05, 0x4E, 0x92, 0xA0, 0x43, 0xF4}};

// ---------------------------------------------------------------------------
// Interfaces

// The encoder's only way to the target file. Implemented by the engine's
// output object; called on the worker thread that drives the encoder.
struct IEncoderCallback : IUnknown {
  // 0 on success; -1 when no file is open or Buffer is null.
  virtual int32_t MORVO_STDCALL Read(void* Buffer, int32_t Count) = 0;
  // Writes at the current position. 0 on success; -1 as Read.
  virtual int32_t MORVO_STDCALL Write(const void* Buffer, int32_t Count) = 0;
  // Origin 0 start, 1 current, 2 end; NewPosition may be null.
  virtual int32_t MORVO_STDCALL Seek(int64_t Offset, int32_t Origin, int64_t* NewPosition) = 0;
};

// Calling order every encoder relies on: parameter calls, Init once, Encode
// any number of times, Finish once whatever happened before, then Release.
// One worker thread at a time.
struct IEncoder : IUnknown {
  // 0 success; the encoder holds a reference to Callback from here on.
  virtual int32_t MORVO_STDCALL Init(IEncoderCallback* Callback, const WAVEFORMATEX* Format) = 0;
  // 0 or more success, negative failure.
  virtual int32_t MORVO_STDCALL Encode(const void* Buffer, int32_t ByteCount) = 0;
  virtual int32_t MORVO_STDCALL Finish() = 0;
  virtual int32_t MORVO_STDCALL Reserved1(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Reserved2(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Reserved3(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Reserved4(int32_t Value1, int32_t Value2) = 0;
};

// MP3 parameters; results are ignored by the caller.
struct ILameStreamEncoder : IUnknown {
  virtual int32_t MORVO_STDCALL SetBitrate(int32_t Kbps) = 0;
  virtual int32_t MORVO_STDCALL SetBitrateMode(int32_t Mode) = 0;  // 0 CBR, 1 ABR, 2 VBR
  virtual int32_t MORVO_STDCALL Reserved1(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL SetVbrPreset(int32_t Preset) = 0;  // 1000 and up
  virtual int32_t MORVO_STDCALL Reserved2(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL SetChannelMode(int32_t Mode) = 0;     // 0 stereo, 1 joint, 3 mono
  virtual int32_t MORVO_STDCALL SetSampleCount(int32_t Samples) = 0;  // per channel, expected
};

struct IApeEncoderParam : IUnknown {
  virtual int32_t MORVO_STDCALL SetCompressionLevel(int32_t Level) = 0;  // 1000 .. 5000
};

struct IFlacEncoderParam : IUnknown {
  virtual int32_t MORVO_STDCALL SetSampleCount(int32_t Samples) = 0;     // per channel, expected
  virtual int32_t MORVO_STDCALL SetCompressionLevel(int32_t Level) = 0;  // 0 .. 8
};

struct IWavEncoderParam : IUnknown {
  // Choice 1..4 select 8, 16, 24, 32 output bits; anything else FallbackBits.
  virtual void MORVO_STDCALL SetOutputBits(int32_t Choice, int32_t FallbackBits) = 0;
};

struct IThreadCpuUsageControl;

// The engine's progress object; the control object may call it from any
// thread.
struct IProgressCallback : IUnknown {
  virtual int64_t MORVO_STDCALL GetProgress(IThreadCpuUsageControl* Control) = 0;  // percent
};

// Made by the player library (ordinal 6). The system calls AttachThread,
// SetProgressCallback, SetCpuLimit, SetCpuLimitMode, Start in that order on
// the main thread; the object limits the attached thread's processor use.
struct IThreadCpuUsageControl : IUnknown {
  virtual int32_t MORVO_STDCALL AttachThread(uint32_t ThreadId) = 0;
  virtual int32_t MORVO_STDCALL SetProgressCallback(IProgressCallback* Callback) = 0;
  virtual int32_t MORVO_STDCALL SetCpuLimit(int32_t Percent) = 0;   // 100 or 30
  virtual int32_t MORVO_STDCALL SetCpuLimitMode(int32_t Mode) = 0;  // 1
  virtual int32_t MORVO_STDCALL Reserved1(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Reserved2(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Start() = 0;
  virtual int32_t MORVO_STDCALL Reserved3(int32_t Value) = 0;
  virtual int32_t MORVO_STDCALL Reserved4(int32_t Value) = 0;
};

// Made by the player library (ordinal 2). Open runs on the main thread;
// Read and Seek then run on one worker thread at a time.
struct IDecoderEx : IUnknown {
  // Boolean in the low byte: non-zero when the file can be decoded.
  virtual int32_t MORVO_STDCALL Open(const char16_t* FileName) = 0;
  virtual int32_t MORVO_STDCALL Seek(int64_t Position) = 0;  // 100-ns units
  virtual int32_t MORVO_STDCALL Reserved1() = 0;
  // Bytes delivered (whole samples); 0 at the end; negative on error.
  virtual int32_t MORVO_STDCALL Read(void* Buffer, int32_t Size) = 0;
  virtual int32_t MORVO_STDCALL GetInfo(TDecoderInfo* Info) = 0;
};

// Answered by the player library's decoders besides IDecoderEx: why the
// last Open failed (no SoundFont for a MIDI file, a damaged file, ...).
// Same thread rules as the decoder's.
constexpr TGUID IID_IDecoderFailureInfo{
    0xFD872DD7, 0x2B2D, 0x4817, {0xA4, 0x50, 0x91, 0xB3, 0xB1, 0xBC, 0x4A, 0x83}};
struct IDecoderFailureInfo : IUnknown {
  // Copies the reason into Buffer (UTF-16, zero-terminated, cut to fit
  // Capacity code units) and returns its whole length without the
  // terminator; 0 when the decoder knows no reason.
  virtual int32_t MORVO_STDCALL GetFailureReason(char16_t* Buffer, int32_t Capacity) = 0;
};

// Optional, asked of a decoder with QueryInterface once its Open succeeded:
// the metadata the decoder found in the opened source (the container's,
// then its audio stream's, as key/value text) and its attached picture.
// Lets the system carry tags of containers that no tag library reads.
// Called on the thread that reads the decoder.
struct IDecoderTags : IUnknown {
  virtual int32_t MORVO_STDCALL GetTagCount() = 0;
  // Copies the key (Part 0) or value (Part 1) of pair Index as UTF-16 into
  // Buffer, at most Capacity units and no terminator; returns its whole
  // length in units, -1 when there is no such pair.
  virtual int32_t MORVO_STDCALL GetTagText(int32_t Index, int32_t Part, char16_t* Buffer,
                                           int32_t Capacity) = 0;
  // Copies at most Capacity bytes of the attached picture into Buffer;
  // returns the picture's whole size, 0 when there is none.
  virtual int32_t MORVO_STDCALL GetPicture(void* Buffer, int32_t Capacity) = 0;
};

// ---------------------------------------------------------------------------
// Entry points of the two run-time libraries (C linkage)

// libLxPlayer.so: ordinal N is the symbol LxPlayerOrdinalN.
using TLxPlayerOrdinalVoid = int32_t (*)();                                       // ordinals 1, 3
using TLxPlayerCreateDecoder = int32_t (*)(IDecoderEx** Decoder);                 // ordinal 2
using TLxPlayerCreateCpuControl = int32_t (*)(IThreadCpuUsageControl** Control);  // ordinal 6

// libcodecs.so
using TDllGetClassObject = HRESULT (*)(const TGUID& ClassId, const TGUID& InterfaceId,
                                       void** Object);
