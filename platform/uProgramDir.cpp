#include "platform/uProgramDir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/uCodePage.h"

namespace platform {

namespace {

std::string WithTrailingSlash(std::string Dir) {
  if (Dir.empty() || Dir.back() != '/') Dir += '/';
  return Dir;
}

std::string EnvValue(const char* Name) {
  const char* Value = std::getenv(Name);
  return Value ? std::string(Value) : std::string();
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

std::u16string ProgramDataDir() {
  const std::string Override = EnvValue("MORVO_PROGRAM_DIR");
  if (!Override.empty()) return PathToWide(WithTrailingSlash(Override));
  return ExecutableDir();
}

std::u16string HomeDir() {
  std::string Home = EnvValue("HOME");
  if (Home.empty()) {
    if (const passwd* Entry = getpwuid(getuid())) Home = Entry->pw_dir ? Entry->pw_dir : "";
  }
  if (Home.empty()) Home = "/tmp";
  return PathToWide(WithTrailingSlash(Home));
}

std::u16string UserConfigDir() {
  const std::string Xdg = EnvValue("XDG_CONFIG_HOME");
  if (!Xdg.empty()) return PathToWide(WithTrailingSlash(Xdg));
  return HomeDir() + u".config/";
}

}  // namespace platform
