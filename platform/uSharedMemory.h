// Named shared memory blocks (POSIX shm). The object name is "/" + the
// block's name without "Local\" + "." + the user id, so any process of the
// same user (tests included) can publish or read a block. Mode 0600.
// MORVO_SHM_NAMESPACE, when set, is appended as "." + its value, so that
// tests running side by side do not see each other's blocks.
// Thread-safe; a block object is owned by its creator and unmapped when
// destroyed (the name stays until Remove).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TSharedMemory {
public:
  // Creates the block or opens an existing one, read-write, at least Size
  // bytes, mapped whole. Null on failure.
  static std::unique_ptr<TSharedMemory> CreateOrOpen(const std::u16string& Name, size_t Size);
  // Opens an existing block only. Null when it does not exist or fails.
  static std::unique_ptr<TSharedMemory> OpenExisting(const std::u16string& Name, size_t Size);
  // Whether a block of this name exists (whatever its size).
  static bool Exists(const std::u16string& Name);
  // Removes the name (blocks outlive their users on this platform).
  static bool Remove(const std::u16string& Name);
  static std::string ObjectName(const std::u16string& Name);

  ~TSharedMemory();
  TSharedMemory(const TSharedMemory&) = delete;
  TSharedMemory& operator=(const TSharedMemory&) = delete;

  uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }
  bool Created() const { return FCreated; }  // this call made the block

private:
  TSharedMemory(uint8_t* Data, size_t Size, bool Created)
      : FData(Data), FSize(Size), FCreated(Created) {}
  uint8_t* FData;
  size_t FSize;
  bool FCreated;
};

}  // namespace platform
