#include "platform/uShell.h"

#include <gio/gio.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "platform/uCodePage.h"

extern char** environ;

namespace platform {

bool LaunchProgram(const std::u16string& Program, const std::vector<std::u16string>& Args) {
  // The arguments are file names or plain words: both keep their bytes.
  std::vector<std::string> Text{WideToPath(Program)};
  Text.reserve(Args.size() + 1);
  for (const auto& Arg : Args)
    Text.push_back(WideToPath(Arg));
  std::vector<char*> Argv;
  Argv.reserve(Text.size() + 1);
  for (auto& T : Text)
    Argv.push_back(T.data());
  Argv.push_back(nullptr);
  pid_t Child = 0;
  if (posix_spawn(&Child, Argv[0], nullptr, nullptr, Argv.data(), environ) != 0) return false;
  // Reap the child whenever it ends, so that no zombie stays behind.
  std::thread([Child] { waitpid(Child, nullptr, 0); }).detach();
  return true;
}

bool OpenWithDefaultApplication(const std::u16string& Path) {
  GFile* File = g_file_new_for_path(WideToPath(Path).c_str());
  gchar* Uri = g_file_get_uri(File);
  GError* Error = nullptr;
  const bool Launched = g_app_info_launch_default_for_uri(Uri, nullptr, &Error) != FALSE;
  if (Error) g_error_free(Error);
  g_free(Uri);
  g_object_unref(File);
  return Launched;
}

bool ShowItemInFileManager(const std::u16string& Path) {
  // A session bus that is not there must not hold the caller for long; a
  // file manager started by the bus for this call may take a moment.
  constexpr int CallTimeoutMs = 5000;
  GError* Error = nullptr;
  GDBusConnection* Bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &Error);
  if (!Bus) {
    if (Error) g_error_free(Error);
    return false;
  }
  GFile* File = g_file_new_for_path(WideToPath(Path).c_str());
  gchar* Uri = g_file_get_uri(File);
  const gchar* Uris[] = {Uri, nullptr};
  GVariant* Reply = g_dbus_connection_call_sync(
      Bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
      "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", Uris, ""), nullptr,
      G_DBUS_CALL_FLAGS_NONE, CallTimeoutMs, nullptr, &Error);
  const bool Shown = Reply != nullptr;
  if (Reply) g_variant_unref(Reply);
  if (Error) g_error_free(Error);
  g_free(Uri);
  g_object_unref(File);
  g_object_unref(Bus);
  return Shown;
}

}  // namespace platform
