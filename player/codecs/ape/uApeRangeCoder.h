// The entropy coder of file version 3990: a carry-less range coder with
// 32-bit code values, and the adaptive residual coder that drives it.
// A coder belongs to one frame encoder; nothing here is thread-safe, and
// separate objects may be used on separate threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ape {

// Appends its bytes to a caller's vector (the frame's logical bytes).
class TApeRangeCoder {
public:
  explicit TApeRangeCoder(std::vector<uint8_t>& Out) : FOut(Out) {}

  // Starts a new stream after what Out already holds.
  void Start();
  // One symbol of the fixed overflow table (0..63).
  void EncodeSymbol(uint32_t Symbol) {
    Normalize();
    const uint32_t q = FRange >> 16;
    FRange = q * (kSymbolTotal[Symbol + 1] - kSymbolTotal[Symbol]);
    FLow += q * kSymbolTotal[Symbol];
  }
  // A value 0..Total-1, every value equally likely.
  void EncodeUniform(uint32_t Value, uint32_t Total) {
    Normalize();
    FRange /= Total;
    FLow += FRange * Value;
  }
  // A raw 16-bit value.
  void EncodeDirect16(uint32_t Value) {
    Normalize();
    FRange >>= 16;
    FLow += FRange * Value;
  }
  // Flushes the pending bytes; the stream ends with three zero bytes, and
  // Out is cut to the bytes written.
  void Finish();

  // Makes sure the next codes of one residual have room without checks.
  void EnsureRoom() {
    if (FLimit - FCursor < kRoomPerValue) Grow(kRoomPerValue);
  }

  static const uint32_t kSymbolTotal[65];

private:
  void Normalize() {
    while (FRange <= kBottom)
      ShiftByte();
  }
  void ShiftByte() {
    if (FLow < (0xFFu << kShift) && FPending == 0) {
      // The common case: no carry can reach the held byte any more.
      *FCursor++ = static_cast<uint8_t>(FCache);
      FCache = FLow >> kShift;
    } else {
      ShiftByteSlow();
    }
    FLow = (FLow << 8) & (kTop - 1);
    FRange <<= 8;
  }
  void ShiftByteSlow();
  void Grow(size_t Bytes);

  static constexpr uint32_t kTop = 1u << 31;
  static constexpr uint32_t kBottom = 1u << 23;
  static constexpr uint32_t kShift = 23;
  // One residual codes at most 80 bits; a flush of held bytes checks itself.
  static constexpr ptrdiff_t kRoomPerValue = 16;

  std::vector<uint8_t>& FOut;
  uint8_t* FCursor = nullptr;
  uint8_t* FLimit = nullptr;
  uint32_t FLow = 0;
  uint32_t FRange = kTop;
  uint32_t FCache = 0;    // byte held back in case a carry reaches it
  uint32_t FPending = 0;  // 0xFF bytes held back behind the cache
};

// Codes signed residuals of one channel with an adaptive split point
// ("pivot") taken from a running sum of recent magnitudes.
class TApeResidualCoder {
public:
  void Reset() { FSum = kInitialSum; }
  void Encode(TApeRangeCoder& Coder, int32_t Residual) {
    // Fold the sign into the low bit: 0, 1, -1, 2, -2 ... -> 0, 1, 2, 3, 4 ...
    // (the zigzag code of the negated value, without a branch).
    const uint32_t negated = 0u - static_cast<uint32_t>(Residual);
    const uint32_t folded =
        (negated << 1) ^ static_cast<uint32_t>(static_cast<int32_t>(negated) >> 31);
    uint32_t pivot = FSum >> 5;
    if (pivot == 0) pivot = 1;
    FSum += (folded >> 1) + (folded & 1) - ((FSum + 16) >> 5);
    Coder.EnsureRoom();
    if (pivot < 65536) {
      const uint32_t overflow = folded / pivot;
      const uint32_t base = folded - overflow * pivot;
      EncodeOverflow(Coder, overflow);
      Coder.EncodeUniform(base, pivot);
    } else {
      EncodeWide(Coder, folded, pivot);
    }
  }

private:
  static void EncodeOverflow(TApeRangeCoder& Coder, uint32_t Overflow) {
    if (Overflow < kEscapeSymbol) {
      Coder.EncodeSymbol(Overflow);
    } else {
      Coder.EncodeSymbol(kEscapeSymbol);
      Coder.EncodeDirect16(Overflow >> 16);
      Coder.EncodeDirect16(Overflow & 0xFFFF);
    }
  }
  // Pivots of 2^16 and more: the base goes in two parts so that each total
  // stays below 2^16.
  static void EncodeWide(TApeRangeCoder& Coder, uint32_t Folded, uint32_t Pivot);

  static constexpr uint32_t kInitialSum = 16384;
  static constexpr uint32_t kEscapeSymbol = 63;
  uint32_t FSum = kInitialSum;
};

}  // namespace ape
