#include "infra/uExeInterface.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "platform/uSharedMemory.h"

namespace {

const char16_t BlockName[] = u"Local\\MorvoExeInterface";

std::mutex BlockMutex;
std::unique_ptr<platform::TSharedMemory> Block;  // the mapping, kept for the process lifetime

}  // namespace

bool ReadExeInterface(ExeInterfaceBlock& Out) {
  std::lock_guard<std::mutex> Lock(BlockMutex);
  if (!Block) {
    // Default security: this platform has no low-integrity attributes
    // (LowIntegritySecurityAttributes is always null); the block is mode 0600.
    Block = platform::TSharedMemory::CreateOrOpen(BlockName, ExeInterfaceSize);
    if (!Block) return false;
  }
  std::memcpy(Out.Bytes, Block->Data(), ExeInterfaceSize);
  return true;
}

bool ExeInterfaceLogSwitchOn() {
  ExeInterfaceBlock Copy{};
  return ReadExeInterface(Copy) && Copy.Bytes[ExeInterfaceLogSwitch] != 0;
}

void FinalizeExeInterface() {
  std::lock_guard<std::mutex> Lock(BlockMutex);
  Block.reset();
}
