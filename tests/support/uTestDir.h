// Test folders and files, and environment variables for one scope.
#pragma once

#include <filesystem>
#include <string>

#include "platform/uCodePage.h"
#include "tests/support/uScopedEnv.h"
#include "tests/support/uTempDir.h"
#include "tests/support/uTestFiles.h"

using TTestDir = morvotest::TTempDir;
using morvotest::ReadBytes;
using morvotest::TScopedEnv;
using morvotest::WriteBytes;

// A path as the platform's wide file functions take it.
inline std::u16string WidePath(const std::filesystem::path& Path) {
  return platform::Utf8ToWide(Path.string());
}
