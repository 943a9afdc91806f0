// Text conversions between UTF-16 (the system's wide strings), UTF-8 and
// the "system ANSI code page" (MORVO_ACP, else the locale's charset), with
// the legacy-code-page fallback for 8-bit text that is not valid UTF-8.
// All functions are thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::string WideToUtf8(std::u16string_view Text);
// Invalid sequences become U+FFFD.
std::u16string Utf8ToWide(std::string_view Text);
bool IsValidUtf8(std::string_view Text);

// iconv charset name of a Windows code page number (936 -> "CP936",
// 65001 -> "UTF-8"); an iconv name is passed through.
std::string CodePageCharset(unsigned CodePage);
// iconv charset name of the system ANSI code page.
std::string AnsiCharset();
bool AnsiIsUtf8();
// The legacy Windows code page of the user's language (from LANG).
unsigned LegacyCodePage();

// 8-bit text in the system code page to UTF-16; when that code page is
// UTF-8 and Text is not valid UTF-8, Text is read in the legacy code page.
std::u16string AnsiToWide(std::string_view Text);
// Characters the code page lacks become '?'.
std::string WideToAnsi(std::u16string_view Text);
// Code page 0 is the system ANSI code page, with the legacy fallback.
std::u16string CodePageToWide(unsigned CodePage, std::string_view Text);
std::string WideToCodePage(unsigned CodePage, std::u16string_view Text);
// The same by iconv charset name (no legacy fallback).
std::u16string CharsetToWide(const std::string& Charset, std::string_view Text);
std::string WideToCharset(const std::string& Charset, std::u16string_view Text);
// Strict: false when the charset is unknown or Text holds a sequence that is
// not valid in it (Out is then unspecified).
bool TryCharsetToWide(const std::string& Charset, std::string_view Text, std::u16string& Out);

// File names: the native file system takes any bytes, UTF-8 by convention.
// A name must survive the trip through UTF-16 byte for byte, also when it
// was written by a system in another encoding (Latin-1, GBK): every byte
// that is not part of valid UTF-8 becomes the lone low surrogate
// U+DC80..U+DCFF (0xDC00 + the byte) and turns back into that byte on the
// way out. WideToUtf8, used for display, shows such a unit as U+FFFD.
std::string WideToPath(std::u16string_view Name);
std::u16string PathToWide(std::string_view Name);

}  // namespace platform
