// The APE encoder object of the codec library.
//
// Threading: AddRef and Release are thread-safe; all other methods are
// called by one worker thread at a time in the order parameter calls, Init
// once, Encode any number of times, Finish once, Release.
// Ownership: the creator owns the first reference; the object holds one
// reference to the output callback from Init until it is destroyed.
//
// Accepts integer PCM, 8, 16 or 24 bits, mono or stereo, any rate; 32-bit
// input only while every sample's low 8 bits are zero (it is stored as
// 24-bit; the Encode call that completes a sample frame which would lose
// bits fails). Memory is bounded by one frame (up to 1 179 648 blocks at
// level 5000). An input without a single sample makes Finish fail and
// leaves the output empty.
#pragma once

#include "interfaces/uCodecInterfaces.h"

// A new APE encoder with one reference, answering IEncoder and
// IApeEncoderParam; null when it cannot be made.
IEncoder* CreateApeEncoderObject();
