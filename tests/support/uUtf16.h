// UTF-16 text as the bytes of a file and back, through the platform's own
// conversions. Plain functions, safe on any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/uCodePage.h"

namespace morvotest {

// Text in UTF-16 of the given byte order, without a byte-order mark.
inline std::string Utf16Bytes(std::u16string_view Text, bool BigEndian) {
  return platform::WideToCharset(BigEndian ? "UTF-16BE" : "UTF-16LE", Text);
}

// Text with its byte-order mark, as a UTF-16 file starts.
inline std::string Utf16Le(std::u16string_view Text) {
  return "\xFF\xFE" + Utf16Bytes(Text, false);
}
inline std::string Utf16Be(std::u16string_view Text) { return "\xFE\xFF" + Utf16Bytes(Text, true); }

// UTF-16LE bytes as text; a byte-order mark stays in as U+FEFF.
inline std::u16string Utf16LeText(std::string_view Bytes) {
  return platform::CharsetToWide("UTF-16LE", Bytes);
}

}  // namespace morvotest
