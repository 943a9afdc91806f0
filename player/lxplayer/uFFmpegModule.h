// FFmpeg's decoder lives in a module of its own, libLxFFmpeg.so, beside the
// player library: FFmpeg's libraries take longer to load than a short
// conversion takes to run, and a plain WAV source, a Musepack file, a MIDI
// file or a CD track needs none of them. The module is loaded on the first
// source that needs it and stays loaded.
//
// The module and this library are built together by the same compiler: the
// module hands out a decoder of this library's own TSourceDecoder class,
// owned by the caller, and its exceptions reach TLxDecoder as any
// decoder's do.
#pragma once

#include <memory>
#include <string>

#include "uSourceDecoder.h"

// The module's entry point: a new decoder, or null when memory runs out.
extern "C" {
using TLxFFmpegNewDecoder = TSourceDecoder* (*)();
}
constexpr char kLxFFmpegNewDecoderName[] = "LxFFmpegNewDecoder";

// Any thread. A new FFmpeg decoder; null, with Reason, when the module
// cannot be loaded.
std::unique_ptr<TSourceDecoder> NewFFmpegDecoder(std::string& Reason);
