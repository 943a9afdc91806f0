// QString and the system's wide strings (UTF-16) into each other, unit for
// unit: no code-page conversion, so any path comes back as it went in.
// Plain functions, any thread.
#pragma once

#include <QCoreApplication>
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

// A window text in the user's language (Qt's translation of Source, UTF-8,
// in Context), for the platform layer's wide-string calls: message boxes,
// captions. The translation files list these calls with translate's.
inline std::u16string WideText(const char* Context, const char* Source) {
  return ToWide(QCoreApplication::translate(Context, Source));
}

}  // namespace platform::qt
