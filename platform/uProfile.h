// INI files with the semantics of the Windows private-profile functions:
// sections and keys case-insensitive; a missing file, section or key gives
// the caller's default; values are 8-bit text in the system code page.
// Lines may end in CR LF, LF or CR. Each write updates one key in place,
// keeps everything else of the file (line ends included) and replaces the
// file atomically; a writable file in a folder that takes no new files is
// rewritten in place instead. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Reads at most 2047 bytes of the value.
std::string GetPrivateProfileString(const std::string& Section, const std::string& Key,
                                    const std::string& Default, const std::u16string& FileName);
// "0x"/"0X" values are hexadecimal; a value that is not a number gives Default.
int32_t GetPrivateProfileInt(const std::string& Section, const std::string& Key, int32_t Default,
                             const std::u16string& FileName);
// False when the file cannot be written (nothing of it is changed then).
bool WritePrivateProfileString(const std::string& Section, const std::string& Key,
                               const std::string& Value, const std::u16string& FileName);

}  // namespace platform
