// The system's side of the codec interfaces: the counted loading of the
// codec library and of the player library for CPU control, and the encoder
// factory. The interfaces themselves live in interfaces/uCodecInterfaces.h.
#pragma once

#include <cstdint>
#include <string>

#include "interfaces/uCodecInterfaces.h"

// ---------------------------------------------------------------------------
// The system's side: counted library loads and the encoder factory.
// Loads and releases run on the main thread under one lock; CreateEncoder
// runs on worker threads.

bool LoadCodecLibrary(TFormatType FormatType);
void ReleaseCodecLibrary(TFormatType FormatType);
bool LoadCpuControlLibrary();
void ReleaseCpuControlLibrary();
// The ordinal-6 entry of the CPU-control load, null when not loaded.
TLxPlayerCreateCpuControl CpuControlFactory();

// Use count and load state of a format's codec library (diagnostics, tests).
int32_t CodecLibraryUseCount(TFormatType FormatType);
// Why the last load of a format's codec library failed (the loader's text:
// the file and dlopen's or dlsym's reason); empty when it loaded or was
// never tried. The failure is also logged.
std::string CodecLibraryLoadError(TFormatType FormatType);
bool IsCodecLibraryLoaded(TFormatType FormatType);
int32_t CpuControlLibraryUseCount();

// Releases what Encoder and Param hold, then makes the format's encoder and
// its parameter interface. True when Param was obtained. Param points at the
// format's parameter interface (ILameStreamEncoder, IApeEncoderParam,
// IWavEncoderParam, IFlacEncoderParam): static_cast it to that type. The
// caller owns one reference to each output. Never loads a library: types 0,
// 1 and 3 need an earlier LoadCodecLibrary. Any thread.
bool CreateEncoder(TFormatType FormatType, IEncoder*& Encoder, IUnknown*& Param);

// Program end: releases every counted load (APE, FLAC, MP3, then CPU control).
void FinalizeCodecLibraries();
