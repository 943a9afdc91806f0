// Unpacking of the integer PCM that the worker hands to an encoder.
#pragma once

#include <cstddef>
#include <cstdint>

// True for the sample widths the worker can deliver: 8 (unsigned), 16, 24
// (packed in three bytes) and 32 bits, all little-endian.
bool IsSupportedPcmWidth(int Bits);

// Unpacks Count interleaved samples of Bits width from Source into signed
// 32-bit values: right-justified (an 8-bit byte 128 becomes 0), or with
// FullScale shifted up to the full 32-bit range in the same pass.
void UnpackPcm(const uint8_t* Source, size_t Count, int Bits, int32_t* Dest,
               bool FullScale = false);
