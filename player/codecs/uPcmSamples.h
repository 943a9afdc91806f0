// Unpacking of the integer PCM that the worker hands to an encoder.
#pragma once

#include <cstddef>
#include <cstdint>

// True for the sample widths the worker can deliver: 8 (unsigned), 16, 24
// (packed in three bytes) and 32 bits, all little-endian.
bool IsSupportedPcmWidth(int Bits);

// Unpacks Count interleaved samples of Bits width from Source into signed,
// right-justified 32-bit values (an 8-bit byte 128 becomes 0).
void UnpackPcm(const uint8_t* Source, size_t Count, int Bits, int32_t* Dest);

// Shifts right-justified samples of Bits width up to the full 32-bit range.
void ScaleToInt32(int32_t* Samples, size_t Count, int Bits);
