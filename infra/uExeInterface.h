// Reader of the player's interface block "Local\MorvoExeInterface" (1601
// bytes; byte 1592 is the file-log switch). The block is created or opened
// on the first read and kept until FinalizeExeInterface. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t ExeInterfaceSize = 1601;
constexpr size_t ExeInterfaceLogSwitch = 1592;

struct ExeInterfaceBlock {
  uint8_t Bytes[ExeInterfaceSize];
};
static_assert(sizeof(ExeInterfaceBlock) == ExeInterfaceSize);

// Copies the whole block into Block; false (Block untouched) when the block
// cannot be created or mapped.
bool ReadExeInterface(ExeInterfaceBlock& Block);
// Reads the block afresh; off when it cannot be read.
bool ExeInterfaceLogSwitchOn();
// Unit end: lets go of the block.
void FinalizeExeInterface();
