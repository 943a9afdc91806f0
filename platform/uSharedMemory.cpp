#include "platform/uSharedMemory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/uCodePage.h"
#include "platform/uEnvironment.h"

namespace platform {

namespace {

std::unique_ptr<TSharedMemory> MapDescriptor(int Fd, size_t Size, bool Created,
                                             std::unique_ptr<TSharedMemory> (*Make)(uint8_t*,
                                                                                    size_t, bool)) {
  void* Data = mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
  close(Fd);
  if (Data == MAP_FAILED) return nullptr;
  return Make(static_cast<uint8_t*>(Data), Size, Created);
}

bool StorageHolds(int Fd, size_t Size) {
  struct stat St;
  return fstat(Fd, &St) == 0 && static_cast<size_t>(St.st_size) >= Size;
}

}  // namespace

std::string TSharedMemory::ObjectName(const std::u16string& Name) {
  std::u16string_view Short = Name;
  for (std::u16string_view Prefix : {u"Local\\", u"Global\\"})
    if (Short.substr(0, Prefix.size()) == Prefix) Short.remove_prefix(Prefix.size());
  std::string Object = "/" + WideToUtf8(Short) + "." + std::to_string(getuid());
  if (const std::string Namespace = EnvValue("MORVO_SHM_NAMESPACE"); !Namespace.empty())
    Object += "." + Namespace;
  for (size_t I = 1; I < Object.size(); ++I)
    if (Object[I] == '/') Object[I] = '_';  // one path component only
  return Object;
}

std::unique_ptr<TSharedMemory> TSharedMemory::CreateOrOpen(const std::u16string& Name,
                                                           size_t Size) {
  if (Size == 0) return nullptr;
  const std::string Object = ObjectName(Name);
  bool Created = true;
  int Fd = shm_open(Object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (Fd < 0 && errno == EEXIST) {
    Created = false;
    Fd = shm_open(Object.c_str(), O_RDWR, 0600);
  }
  if (Fd < 0) return nullptr;
  // A fresh block is zero-filled by ftruncate; an existing smaller one grows
  // (also covers an opener that races the creator before its ftruncate).
  if (!StorageHolds(Fd, Size) && ftruncate(Fd, static_cast<off_t>(Size)) != 0) {
    close(Fd);
    return nullptr;
  }
  return MapDescriptor(Fd, Size, Created, [](uint8_t* D, size_t S, bool C) {
    return std::unique_ptr<TSharedMemory>(new TSharedMemory(D, S, C));
  });
}

std::unique_ptr<TSharedMemory> TSharedMemory::OpenExisting(const std::u16string& Name,
                                                           size_t Size) {
  if (Size == 0) return nullptr;
  const int Fd = shm_open(ObjectName(Name).c_str(), O_RDWR, 0600);
  if (Fd < 0) return nullptr;
  if (!StorageHolds(Fd, Size)) {  // mapping past the end would fault on access
    close(Fd);
    return nullptr;
  }
  return MapDescriptor(Fd, Size, false, [](uint8_t* D, size_t S, bool C) {
    return std::unique_ptr<TSharedMemory>(new TSharedMemory(D, S, C));
  });
}

bool TSharedMemory::Exists(const std::u16string& Name) {
  const int Fd = shm_open(ObjectName(Name).c_str(), O_RDONLY, 0600);
  if (Fd < 0) return errno != ENOENT;  // there, but not ours to open
  close(Fd);
  return true;
}

bool TSharedMemory::Remove(const std::u16string& Name) {
  return shm_unlink(ObjectName(Name).c_str()) == 0;
}

TSharedMemory::~TSharedMemory() {
  if (FData) munmap(FData, FSize);
}

}  // namespace platform
