// What the fuzz targets share: a property check that stops the process
// (libFuzzer and the corpus replay both report an abort as a finding), a
// reader that takes the choices of a target from the front of its input,
// and a private scratch folder with an environment that keeps a run away
// from the user's player and configuration.
//
// Each target defines LLVMFuzzerTestOneInput; libFuzzer calls it in fuzzing
// builds, uFuzzReplay.cpp with every corpus file in ordinary builds. One
// thread at a time (libFuzzer's main thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace morvofuzz {

// Stops with What on stderr when Condition is false.
void Check(bool Condition, const char* What);
#define FUZZ_CHECK(Condition) ::morvofuzz::Check((Condition), #Condition " (" __FILE__ ")")

// Takes a target's choices from the front of its input; what is left is the
// payload. Reading past the end gives zeros, so every input is valid.
class TFuzzInput {
public:
  TFuzzInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}

  uint8_t Byte();
  uint32_t Uint32();
  // One of Count choices (Count > 0).
  size_t Pick(size_t Count) { return Byte() % Count; }
  // Up to MaxLength bytes, ended by a zero byte (not part of the string).
  std::string String(size_t MaxLength);
  std::string_view Rest();
  size_t Left() const { return FSize - FPos; }

private:
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
};

// Made once per process: a fresh folder on a memory file system where there
// is one (/dev/shm), removed when the process ends. It also serves as the
// program folder (MORVO_PROGRAM_DIR) and the configuration home
// (XDG_CONFIG_HOME, empty, so no player folder is registered); shared
// blocks get a namespace of this process, so that no player or test
// running beside the fuzzer can hand over its folder. The locale is UTF-8.
const std::filesystem::path& ScratchDir();

// True when an INI value written as Value is handed out by the reader as
// Value again: not longer than a read takes, without blanks or tabs around
// it, not enclosed in quotes, valid UTF-8 (the system code page here), and
// without the line breaks and zero bytes that the writer refuses.
bool IniValueReadsBack(std::string_view Value);

// Replaces File with Bytes; stops the process when it cannot.
void WriteFile(const std::filesystem::path& File, std::string_view Bytes);

}  // namespace morvofuzz
