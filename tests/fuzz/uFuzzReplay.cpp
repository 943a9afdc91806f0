// The main of a fuzz target in builds without libFuzzer: feeds each file
// named on the command line (each file of a folder, in name order) to the
// target once, so that every seed and every input that once broke a target
// is run by CTest in every build. A finding aborts the process.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/fuzz/uFuzzSupport.h"

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& Arg) {
  if (!std::filesystem::is_directory(Arg)) return {Arg};
  std::vector<std::filesystem::path> Files;
  for (const auto& Entry : std::filesystem::directory_iterator(Arg))
    if (Entry.is_regular_file()) Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

}  // namespace

int main(int Argc, char** Argv) {
  size_t Runs = 0;
  for (int I = 1; I < Argc; ++I) {
    const std::filesystem::path Arg(Argv[I]);
    if (!std::filesystem::exists(Arg)) {
      std::fprintf(stderr, "no such input: %s\n", Argv[I]);
      return 2;
    }
    for (const auto& File : InputsOf(Arg)) {
      std::ifstream In(File, std::ios::binary);
      const std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(In)),
                                       std::istreambuf_iterator<char>());
      std::fprintf(stderr, "%s\n", File.c_str());
      LLVMFuzzerTestOneInput(Bytes.data(), Bytes.size());
      ++Runs;
    }
  }
  std::fprintf(stderr, "%zu inputs ran\n", Runs);
  // A replay that ran nothing has lost its corpus.
  return Runs > 0 ? 0 : 1;
}
