#include "uUtf16Path.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

std::optional<std::string> Utf16PathToUtf8(const char16_t* Path) {
  if (!Path) return std::nullopt;
  size_t units = 0;
  while (Path[units] != 0) ++units;

  iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  // Every UTF-16 unit becomes at most three UTF-8 bytes.
  std::vector<char> out(units * 3 + 1);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(Path));
  size_t inLeft = units * sizeof(char16_t);
  char* outPtr = out.data();
  size_t outLeft = out.size();
  const size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
  return std::string(out.data(), outPtr);
}
