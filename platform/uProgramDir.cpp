#include "platform/uProgramDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/uCodePage.h"
#include "platform/uEnvironment.h"

namespace platform {

namespace {

std::string WithTrailingSlash(std::string Dir) {
  if (Dir.empty() || Dir.back() != '/') Dir += '/';
  return Dir;
}

std::string NativeExecutablePath() {
  std::string Buffer(4096, '\0');
  const ssize_t Len = readlink("/proc/self/exe", Buffer.data(), Buffer.size());
  if (Len <= 0) return {};
  Buffer.resize(static_cast<size_t>(Len));
  return Buffer;
}

}  // namespace

std::u16string ExecutablePath() { return PathToWide(NativeExecutablePath()); }

std::u16string ExecutableDir() {
  const std::string Path = NativeExecutablePath();
  return PathToWide(Path.substr(0, Path.rfind('/') + 1));
}

// A copy run from a folder it may write to (a portable copy, the build
// tree) keeps its files beside itself. An installed program may not write
// there; nor does root write into the package manager's /usr.
bool MayKeepFilesBesideExecutable(const std::string& Folder) {
  if (Folder.rfind("/usr/", 0) == 0) return false;
  return access(Folder.c_str(), W_OK) == 0;
}

std::u16string ProgramDataDir() {
  const std::string Override = EnvValue("MORVO_PROGRAM_DIR");
  if (!Override.empty()) return PathToWide(WithTrailingSlash(Override));
  std::u16string Beside = ExecutableDir();
  if (MayKeepFilesBesideExecutable(WideToPath(Beside))) return Beside;
  std::u16string Config = UserConfigDir() + u"Morvo/";
  std::error_code Ignored;  // a folder that cannot be made fails the first write instead
  std::filesystem::create_directories(WideToPath(Config), Ignored);
  return Config;
}

std::u16string HomeDir() {
  std::string Home = EnvValue("HOME");
  if (Home.empty()) {
    passwd Entry{};
    passwd* Found = nullptr;
    std::string Buffer(16384, '\0');
    if (getpwuid_r(getuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found &&
        Found->pw_dir)
      Home = Found->pw_dir;
  }
  if (Home.empty()) Home = "/tmp";
  return PathToWide(WithTrailingSlash(Home));
}

std::u16string UserConfigDir() {
  const std::string Xdg = EnvValue("XDG_CONFIG_HOME");
  if (!Xdg.empty()) return PathToWide(WithTrailingSlash(Xdg));
  return HomeDir() + u".config/";
}

// Linux keeps them NUL-separated in /proc; they are UTF-8 here.
std::vector<std::u16string> ProcessArguments() {
  std::ifstream In("/proc/self/cmdline", std::ios::binary);
  const std::string Raw((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  std::vector<std::u16string> Arguments;
  size_t Start = Raw.find('\0');
  while (Start != std::string::npos && Start + 1 < Raw.size()) {
    const size_t End = Raw.find('\0', Start + 1);
    Arguments.push_back(PathToWide(Raw.substr(Start + 1, End - Start - 1)));
    Start = End;
  }
  return Arguments;
}

}  // namespace platform
