// Conversion of the system's zero-terminated UTF-16 paths to the UTF-8
// file names of this platform.
#pragma once

#include <optional>
#include <string>

// Nullopt for a null pointer or ill-formed UTF-16 (an unpaired surrogate).
std::optional<std::string> Utf16PathToUtf8(const char16_t* Path);
