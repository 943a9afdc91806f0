// Code-page conversions on top of iconv. UTF-8 <-> UTF-16 is done by hand
// because it is hot (every path goes through it) and its error rules are
// fixed: invalid input becomes U+FFFD in text, and a reserved unit that
// keeps the byte in a file name.
#include "platform/uCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/uEnvironment.h"

namespace platform {

namespace {

constexpr char16_t ReplacementChar = 0xFFFD;
// A byte of a file name that does not decode as UTF-8 is kept as this unit
// plus the byte (0x80..0xFF): lone low surrogates that no valid text holds.
constexpr char16_t EscapeBase = 0xDC00;

// A unit of that range right after a high surrogate is the second half of
// a pair, not an escape.
bool IsEscapedByteAt(std::u16string_view Text, size_t I) {
  const char16_t C = Text[I];
  if (C < EscapeBase + 0x80 || C > EscapeBase + 0xFF) return false;
  return I == 0 || Text[I - 1] < 0xD800 || Text[I - 1] > 0xDBFF;
}

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

void AppendUtf16(std::u16string& Out, char32_t C) {
  if (C < 0x10000) {
    Out += static_cast<char16_t>(C);
  } else {
    C -= 0x10000;
    Out += static_cast<char16_t>(0xD800 + (C >> 10));
    Out += static_cast<char16_t>(0xDC00 + (C & 0x3FF));
  }
}

// Decodes one UTF-8 sequence at Text[Pos]; returns its length, or 0 when the
// bytes there do not form a valid (shortest-form, non-surrogate) sequence.
size_t DecodeUtf8(std::string_view Text, size_t Pos, char32_t& C) {
  const auto Byte = [&](size_t I) { return static_cast<unsigned char>(Text[I]); };
  const unsigned char B0 = Byte(Pos);
  size_t Len;
  char32_t Min;
  if (B0 < 0x80) {
    C = B0;
    return 1;
  } else if ((B0 & 0xE0) == 0xC0) {
    Len = 2, C = B0 & 0x1F, Min = 0x80;
  } else if ((B0 & 0xF0) == 0xE0) {
    Len = 3, C = B0 & 0x0F, Min = 0x800;
  } else if ((B0 & 0xF8) == 0xF0) {
    Len = 4, C = B0 & 0x07, Min = 0x10000;
  } else {
    return 0;
  }
  if (Pos + Len > Text.size()) return 0;
  for (size_t I = 1; I < Len; ++I) {
    if ((Byte(Pos + I) & 0xC0) != 0x80) return 0;
    C = (C << 6) | (Byte(Pos + I) & 0x3F);
  }
  if (C < Min || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) return 0;
  return Len;
}

// The locale name that governs character handling (LC_ALL, LC_CTYPE, LANG).
std::string LocaleName() {
  for (const char* Name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    std::string Value = EnvValue(Name);
    if (!Value.empty()) return Value;
  }
  return {};
}

std::string ToUpperAscii(std::string S) {
  for (char& C : S)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return S;
}

bool IsUtf8Name(const std::string& Charset) {
  const std::string Upper = ToUpperAscii(Charset);
  return Upper == "UTF-8" || Upper == "UTF8" || Upper == "CP65001";
}

// iconv_open's failure value is (iconv_t)-1.
bool IconvOpenFailed(iconv_t Cd) {
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the library's own failure value
  return Cd == reinterpret_cast<iconv_t>(-1);
}

// Converts with iconv; Invalid is appended (and one input unit of UnitSize
// bytes skipped) wherever the input cannot be converted.
template <class TOut>
bool IconvConvert(const std::string& From, const std::string& To, const char* Data, size_t Size,
                  size_t UnitSize, const TOut& Invalid, TOut& Out) {
  iconv_t Cd = iconv_open(To.c_str(), From.c_str());
  if (IconvOpenFailed(Cd)) return false;
  using TChar = typename TOut::value_type;
  char* In = const_cast<char*>(Data);
  size_t InLeft = Size;
  char Chunk[4096];
  while (InLeft > 0) {
    char* OutPtr = Chunk;
    size_t OutLeft = sizeof(Chunk);
    const size_t Rc = iconv(Cd, &In, &InLeft, &OutPtr, &OutLeft);
    const int Err = errno;
    Out.append(reinterpret_cast<const TChar*>(Chunk), (sizeof(Chunk) - OutLeft) / sizeof(TChar));
    if (Rc != static_cast<size_t>(-1)) break;
    if (Err == E2BIG) continue;
    Out += Invalid;
    if (Err == EINVAL) break;  // truncated sequence at the end
    size_t Skip = InLeft < UnitSize ? InLeft : UnitSize;
    // From UTF-16: a whole surrogate pair is one unmappable character.
    if (UnitSize == 2 && InLeft >= 4 && (static_cast<unsigned char>(In[1]) & 0xFC) == 0xD8 &&
        (static_cast<unsigned char>(In[3]) & 0xFC) == 0xDC)
      Skip = 4;
    In += Skip;
    InLeft -= Skip;
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
  }
  iconv_close(Cd);
  return true;
}

}  // namespace

std::string WideToUtf8(std::u16string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    char32_t C = Text[I];
    if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 &&
        Text[I + 1] <= 0xDFFF) {
      C = 0x10000 + ((C - 0xD800) << 10) + (Text[I + 1] - 0xDC00);
      ++I;
    } else if (C >= 0xD800 && C <= 0xDFFF) {
      C = ReplacementChar;  // lone surrogate
    }
    AppendUtf8(Out, C);
  }
  return Out;
}

namespace {

// UTF-8 to UTF-16; each byte that starts no valid sequence becomes
// Invalid(byte).
template <class TInvalid> std::u16string DecodeUtf8Text(std::string_view Text, TInvalid Invalid) {
  std::u16string Out;
  Out.reserve(Text.size());
  for (size_t Pos = 0; Pos < Text.size();) {
    char32_t C;
    const size_t Len = DecodeUtf8(Text, Pos, C);
    if (Len == 0) {
      Out += Invalid(static_cast<unsigned char>(Text[Pos]));
      ++Pos;
    } else {
      AppendUtf16(Out, C);
      Pos += Len;
    }
  }
  return Out;
}

}  // namespace

std::u16string Utf8ToWide(std::string_view Text) {
  return DecodeUtf8Text(Text, [](unsigned char) { return ReplacementChar; });
}

bool IsValidUtf8(std::string_view Text) {
  for (size_t Pos = 0; Pos < Text.size();) {
    char32_t C;
    const size_t Len = DecodeUtf8(Text, Pos, C);
    if (Len == 0) return false;
    Pos += Len;
  }
  return true;
}

std::string CodePageCharset(unsigned CodePage) {
  switch (CodePage) {
  case 0:
    return AnsiCharset();
  case 65001:
    return "UTF-8";
  case 1200:
    return "UTF-16LE";
  case 1201:
    return "UTF-16BE";
  case 20127:
    return "ASCII";
  case 20936:
    return "GB2312";
  case 54936:
    return "GB18030";
  case 50220:
    return "ISO-2022-JP";
  case 51932:
    return "EUC-JP";
  case 51949:
    return "EUC-KR";
  case 20866:
    return "KOI8-R";
  case 21866:
    return "KOI8-U";
  default:
    break;
  }
  if (CodePage >= 28591 && CodePage <= 28606) return "ISO-8859-" + std::to_string(CodePage - 28590);
  return "CP" + std::to_string(CodePage);
}

std::string AnsiCharset() {
  std::string Acp = EnvValue("MORVO_ACP");
  if (!Acp.empty()) {
    char* End = nullptr;
    const unsigned long Number = std::strtoul(Acp.c_str(), &End, 10);
    if (End && *End == '\0' && Number != 0) return CodePageCharset(static_cast<unsigned>(Number));
    return Acp;
  }
  // "language_TERRITORY.charset@modifier"; without a charset (C, POSIX or a
  // bare language) the modern default, UTF-8, is assumed.
  const std::string Locale = LocaleName();
  const size_t Dot = Locale.find('.');
  if (Dot == std::string::npos) return "UTF-8";
  std::string Charset = Locale.substr(Dot + 1);
  Charset = Charset.substr(0, Charset.find('@'));
  if (Charset.empty() || IsUtf8Name(Charset)) return "UTF-8";
  return Charset;
}

bool AnsiIsUtf8() { return IsUtf8Name(AnsiCharset()); }

unsigned LegacyCodePage() {
  const std::string Locale = LocaleName();
  const std::string Lang = Locale.substr(0, Locale.find_first_of(".@"));
  const std::string Language = Lang.substr(0, Lang.find('_'));
  if (Lang == "zh_TW" || Lang == "zh_HK" || Lang == "zh_MO") return 950;
  if (Language == "zh") return 936;
  if (Language == "ja") return 932;
  if (Language == "ko") return 949;
  if (Language == "ru" || Language == "uk" || Language == "be" || Language == "bg" ||
      Language == "sr" || Language == "mk")
    return 1251;
  if (Language == "pl" || Language == "cs" || Language == "sk" || Language == "hu" ||
      Language == "sl" || Language == "hr" || Language == "ro")
    return 1250;
  if (Language == "el") return 1253;
  if (Language == "tr") return 1254;
  // No language at all (C, POSIX, C.UTF-8): the program's users are Chinese.
  if (Language.empty() || Language == "C" || Language == "POSIX") return 936;
  return 1252;
}

std::u16string CharsetToWide(const std::string& Charset, std::string_view Text) {
  if (Text.empty()) return {};
  if (IsUtf8Name(Charset)) return Utf8ToWide(Text);
  std::u16string Out;
  if (!IconvConvert(Charset, "UTF-16LE", Text.data(), Text.size(), 1,
                    std::u16string(1, ReplacementChar), Out))
    return Utf8ToWide(Text);  // unknown charset: best effort
  return Out;
}

bool TryCharsetToWide(const std::string& Charset, std::string_view Text, std::u16string& Out) {
  Out.clear();
  if (IsUtf8Name(Charset)) {
    if (!IsValidUtf8(Text)) return false;
    Out = Utf8ToWide(Text);
    return true;
  }
  iconv_t Cd = iconv_open("UTF-16LE", Charset.c_str());
  if (IconvOpenFailed(Cd)) return false;
  char* In = const_cast<char*>(Text.data());
  size_t InLeft = Text.size();
  char Chunk[4096];
  bool Valid = true;
  while (Valid) {
    char* OutPtr = Chunk;
    size_t OutLeft = sizeof(Chunk);
    // A call without input flushes the shift state at the end.
    const size_t Rc = InLeft > 0 ? iconv(Cd, &In, &InLeft, &OutPtr, &OutLeft)
                                 : iconv(Cd, nullptr, nullptr, &OutPtr, &OutLeft);
    const int Err = errno;
    Out.append(reinterpret_cast<const char16_t*>(Chunk), (sizeof(Chunk) - OutLeft) / 2);
    if (Rc != static_cast<size_t>(-1)) {
      if (InLeft == 0 && OutPtr == Chunk) break;
      continue;
    }
    Valid = Err == E2BIG;
  }
  iconv_close(Cd);
  return Valid;
}

std::string WideToCharset(const std::string& Charset, std::u16string_view Text) {
  if (Text.empty()) return {};
  if (IsUtf8Name(Charset)) return WideToUtf8(Text);
  std::string Out;
  if (!IconvConvert("UTF-16LE", Charset, reinterpret_cast<const char*>(Text.data()),
                    Text.size() * 2, 2, std::string("?"), Out))
    return WideToUtf8(Text);
  return Out;
}

std::u16string AnsiToWide(std::string_view Text) { return CodePageToWide(0, Text); }

std::string WideToAnsi(std::u16string_view Text) { return WideToCharset(AnsiCharset(), Text); }

std::u16string CodePageToWide(unsigned CodePage, std::string_view Text) {
  if (CodePage == 0) {
    const std::string Charset = AnsiCharset();
    if (IsUtf8Name(Charset) && !IsValidUtf8(Text))
      return CharsetToWide(CodePageCharset(LegacyCodePage()), Text);
    return CharsetToWide(Charset, Text);
  }
  return CharsetToWide(CodePageCharset(CodePage), Text);
}

std::string WideToCodePage(unsigned CodePage, std::u16string_view Text) {
  return WideToCharset(CodePageCharset(CodePage), Text);
}

// Pairs and ordinary characters as in WideToUtf8; an escaped byte is written
// back as itself. Any other lone surrogate cannot come from a file name and
// becomes U+FFFD as in WideToUtf8.
std::string WideToPath(std::u16string_view Name) {
  std::string Out;
  Out.reserve(Name.size());
  size_t Start = 0;  // the first unit not yet written
  for (size_t I = 0; I < Name.size(); ++I) {
    if (!IsEscapedByteAt(Name, I)) continue;
    Out += WideToUtf8(Name.substr(Start, I - Start));
    Out += static_cast<char>(Name[I] - EscapeBase);
    Start = I + 1;
  }
  Out += WideToUtf8(Name.substr(Start));
  return Out;
}

std::u16string PathToWide(std::string_view Name) {
  // A byte below 0x80 is always valid UTF-8 on its own: only 0x80..0xFF
  // can reach the escape.
  return DecodeUtf8Text(
      Name, [](unsigned char Byte) { return static_cast<char16_t>(EscapeBase + Byte); });
}

}  // namespace platform
