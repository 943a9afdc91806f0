#include "tests/fuzz/uFuzzSupport.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <system_error>

#include "platform/uCodePage.h"

namespace morvofuzz {

void Check(bool Condition, const char* What) {
  if (Condition) return;
  std::fprintf(stderr, "fuzz property failed: %s\n", What);
  std::fflush(stderr);
  std::abort();
}

uint8_t TFuzzInput::Byte() { return FPos < FSize ? FData[FPos++] : 0; }

uint32_t TFuzzInput::Uint32() {
  uint32_t Value = 0;
  for (int I = 0; I < 4; ++I)
    Value |= uint32_t(Byte()) << (8 * I);
  return Value;
}

std::string TFuzzInput::String(size_t MaxLength) {
  std::string S;
  while (FPos < FSize && S.size() < MaxLength) {
    const char C = char(FData[FPos++]);
    if (C == '\0') break;
    S += C;
  }
  return S;
}

std::string_view TFuzzInput::Rest() {
  const std::string_view View(reinterpret_cast<const char*>(FData + FPos), FSize - FPos);
  FPos = FSize;
  return View;
}

namespace {

std::filesystem::path MemoryFileSystem() {
  std::error_code Error;
  if (std::filesystem::is_directory("/dev/shm", Error) && ::access("/dev/shm", W_OK) == 0)
    return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

struct TScratch {
  std::filesystem::path Dir;

  TScratch() {
    std::string Pattern = (MemoryFileSystem() / "morvo-fuzz-XXXXXX").string();
    Check(::mkdtemp(Pattern.data()) != nullptr, "scratch folder");
    Dir = Pattern;
    std::filesystem::create_directories(Dir / "config");
    const std::string Shm = "fuzz" + std::to_string(::getpid());
    ::setenv("MORVO_PROGRAM_DIR", Dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    ::setenv("MORVO_SHM_NAMESPACE", Shm.c_str(), 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_CTYPE");
    ::unsetenv("MORVO_ACP");
    ::setenv("LANG", "zh_CN.UTF-8", 1);
  }
  ~TScratch() {
    std::error_code Ignored;
    std::filesystem::remove_all(Dir, Ignored);
  }
};

}  // namespace

const std::filesystem::path& ScratchDir() {
  static const TScratch Scratch;
  return Scratch.Dir;
}

bool IniValueReadsBack(std::string_view Value) {
  const auto IsBlank = [](char C) { return C == ' ' || C == '\t'; };
  if (Value.size() > 2047 || !platform::IsValidUtf8(Value)) return false;
  // The writer refuses these.
  if (Value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  if (!Value.empty() && (IsBlank(Value.front()) || IsBlank(Value.back()))) return false;
  return !(Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') &&
           Value.back() == Value.front());
}

void WriteFile(const std::filesystem::path& File, std::string_view Bytes) {
  std::ofstream Out(File, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), std::streamsize(Bytes.size()));
  Out.close();
  Check(bool(Out), "writing a scratch file");
}

}  // namespace morvofuzz
