// Moving a file to the desktop's trash (freedesktop.org Trash through GIO).
// Thread-safe; blocks until the file system is done.
#pragma once

#include <string>

namespace platform {

// False (and the reason in Error, when given) if the file was not moved.
bool MoveToTrash(const std::u16string& FileName, std::string* Error = nullptr);

}  // namespace platform
