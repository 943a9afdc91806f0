#include "platform/uTrash.h"

#include <gio/gio.h>

#include "platform/uCodePage.h"

namespace platform {

bool MoveToTrash(const std::u16string& FileName, std::string* Error) {
  const std::string Path = WideToPath(FileName);
  GFile* File = g_file_new_for_path(Path.c_str());
  GError* Failure = nullptr;
  const gboolean Moved = g_file_trash(File, nullptr, &Failure);
  if (!Moved && Error) *Error = Failure ? Failure->message : "unknown error";
  if (Failure) g_error_free(Failure);
  g_object_unref(File);
  return Moved;
}

}  // namespace platform
