// Whether two names reach one file, and what a folder's file system allows
// in a name. Built on GetFileIdentity (uFileIO.h): the device and inode a
// name reaches after links, so "dir/./a.wav", "x/../dir/a.wav", a name
// through a linked folder, a hard link and a bind mount of the same file are
// one file, while "A.wav" and "a.wav" are two wherever the file system tells
// letter case apart. Path text never decides this.
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/uFileIO.h"

namespace platform {

// An identity, or none when the name reached nothing.
using TMaybeIdentity = std::optional<TFileIdentity>;

// The identity of the file Name reaches; none (last error set) otherwise.
TMaybeIdentity FileIdentity(const std::u16string& Name);
// The identity of an open file, even after it was renamed.
TMaybeIdentity HandleIdentity(THandle Handle);
// Both known and the same file: two names that reach nothing are not one.
inline bool IsSameFile(const TMaybeIdentity& A, const TMaybeIdentity& B) {
  return A && B && *A == *B;
}
// True only when both names reach the same existing file.
bool SameFile(const std::u16string& A, const std::u16string& B);

// The longest file name, in bytes, that the file system holding Folder
// takes (NAME_MAX of that folder); 255 when it cannot be asked.
int32_t MaxFileNameBytes(const std::u16string& Folder);

}  // namespace platform
