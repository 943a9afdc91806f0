// QString and the system's wide strings (UTF-16) into each other, unit for
// unit: no code-page conversion, so any path comes back as it went in.
// Plain functions, any thread.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace platform::qt {

inline QString ToQString(std::u16string_view Text) {
  return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

inline std::u16string ToWide(const QString& Text) {
  return std::u16string(reinterpret_cast<const char16_t*>(Text.utf16()),
                        static_cast<size_t>(Text.size()));
}

// Message-box and label texts break lines with CR LF; Qt wants LF.
inline QString ToDisplayText(std::u16string_view Text) {
  QString Result = ToQString(Text);
  Result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return Result;
}

}  // namespace platform::qt
