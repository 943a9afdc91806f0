#include "platform/uCharsetDetect.h"

#include <uchardet/uchardet.h>

#include <memory>
#include <vector>

#include "platform/uCodePage.h"

namespace platform {

namespace {

enum class TScript { None, Latin, Greek, Cyrillic, Hebrew, Arabic, Thai };
enum class TCase { None, Upper, Lower };

struct TLetter {
  TScript Script = TScript::None;
  TCase Case = TCase::None;
};

// Letters whose upper and lower case alternate by code point, even first.
TCase AlternatingCase(char32_t C, bool EvenIsUpper) {
  return ((C % 2 == 0) == EvenIsUpper) ? TCase::Upper : TCase::Lower;
}

TCase LatinExtendedACase(char32_t C) {
  if (C == 0x138 || C == 0x149 || C == 0x17F) return TCase::Lower;
  if (C == 0x178) return TCase::Upper;
  const bool OddIsUpper = (C >= 0x139 && C <= 0x148) || (C >= 0x179 && C <= 0x17E);
  return AlternatingCase(C, !OddIsUpper);
}

// Letters (and the marks that go with them) of the scripts the single-byte
// code pages cover; false for anything else.
bool ClassifyLetter(char32_t C, TLetter& Letter) {
  Letter = TLetter{};
  if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z')) {
    Letter = {TScript::Latin, C <= 'Z' ? TCase::Upper : TCase::Lower};
  } else if (C >= 0xC0 && C <= 0xFF && C != 0xD7 && C != 0xF7) {
    Letter = {TScript::Latin, C <= 0xDE ? TCase::Upper : TCase::Lower};
  } else if (C >= 0x100 && C <= 0x17F) {
    Letter = {TScript::Latin, LatinExtendedACase(C)};
  } else if ((C >= 0x180 && C <= 0x24F) || (C >= 0x1E00 && C <= 0x1EFF)) {
    Letter = {TScript::Latin, C >= 0x1E00 ? AlternatingCase(C, true) : TCase::None};
  } else if (C >= 0x300 && C <= 0x36F) {
    Letter = {TScript::None, TCase::None};  // combining mark: belongs to the word
  } else if (C == 0x386 || (C >= 0x388 && C <= 0x38F && C != 0x38B && C != 0x38D) ||
             (C >= 0x391 && C <= 0x3AB && C != 0x3A2)) {
    Letter = {TScript::Greek, TCase::Upper};
  } else if (C == 0x390 || (C >= 0x3AC && C <= 0x3CE)) {
    Letter = {TScript::Greek, TCase::Lower};
  } else if (C >= 0x400 && C <= 0x45F) {
    Letter = {TScript::Cyrillic, C <= 0x42F ? TCase::Upper : TCase::Lower};
  } else if ((C >= 0x460 && C <= 0x481) || (C >= 0x48A && C <= 0x4FF)) {
    Letter = {TScript::Cyrillic, AlternatingCase(C, true)};
  } else if ((C >= 0x5B0 && C <= 0x5C7 && C != 0x5BE && C != 0x5C0 && C != 0x5C3 && C != 0x5C6) ||
             (C >= 0x5D0 && C <= 0x5EA)) {
    Letter = {TScript::Hebrew, TCase::None};
  } else if ((C >= 0x620 && C <= 0x65F) || (C >= 0x671 && C <= 0x6D3)) {
    Letter = {TScript::Arabic, TCase::None};
  } else if ((C >= 0xE01 && C <= 0xE3A) || (C >= 0xE40 && C <= 0xE4E)) {
    Letter = {TScript::Thai, TCase::None};
  } else {
    return false;
  }
  return true;
}

// Characters outside ASCII that natural text holds between words.
bool IsCommonPunctuation(char32_t C) {
  switch (C) {
  case 0xA0:
  case 0xA1:
  case 0xAB:
  case 0xB7:
  case 0xBB:
  case 0xBF:
  case 0x2013:
  case 0x2014:
  case 0x2018:
  case 0x2019:
  case 0x201C:
  case 0x201D:
  case 0x201E:
  case 0x2022:
  case 0x2026:
  case 0x60C:
  case 0x61B:
  case 0x61F:
    return true;
  default:
    return false;
  }
}

// One word's letters, checked when the word ends.
class TWordCheck {
public:
  bool Add(char32_t C, const TLetter& Letter) {
    const bool Ascii = C < 0x80;
    if (Letter.Script != TScript::None) {
      if (Ascii) {
        FHasAsciiLetter = true;
      } else {
        if (FScript != TScript::None && FScript != Letter.Script) return false;
        FScript = Letter.Script;
      }
    }
    // A capital right after a small letter: "ÆßÀïÏã" is GBK read as 1252.
    if (!Ascii && Letter.Case == TCase::Upper && FPrevious == TCase::Lower) return false;
    FAccentedRun = !Ascii && Letter.Script == TScript::Latin ? FAccentedRun + 1 : 0;
    if (FAccentedRun >= 3) return false;
    if (Letter.Case != TCase::None) FPrevious = Letter.Case;
    // A non-Latin letter glued to ASCII letters in one word.
    return !(FHasAsciiLetter && FScript != TScript::None && FScript != TScript::Latin);
  }

private:
  TScript FScript = TScript::None;
  TCase FPrevious = TCase::None;
  bool FHasAsciiLetter = false;
  int FAccentedRun = 0;
};

char32_t NextCodePoint(std::u16string_view Text, size_t& I) {
  const char32_t C = Text[I++];
  if (C >= 0xD800 && C <= 0xDBFF && I < Text.size() && Text[I] >= 0xDC00 && Text[I] <= 0xDFFF)
    return 0x10000 + ((C - 0xD800) << 10) + (Text[I++] - 0xDC00);
  return C;
}

struct TCandidate {
  std::vector<std::string> Charsets;  // iconv names, tried in order
  bool MultiByte = false;
};

std::string UpperAscii(std::string S) {
  for (char& C : S)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return S;
}

// What to read text with that uchardet takes for Answer. The East Asian
// answers stand for the Windows code pages that extend them; uchardet takes
// Cyrillic text with few capitals for Mac Cyrillic, which no cue sheet
// writer uses, so that answer means CP1251.
TCandidate CandidateFor(const std::string& Answer) {
  const std::string Name = UpperAscii(Answer);
  if (Name.empty() || Name == "ASCII" || Name == "UTF-8" || Name.starts_with("UTF-16") ||
      Name.starts_with("UTF-32") || Name.starts_with("ISO-2022") || Name == "HZ-GB-2312")
    return {};
  if (Name == "GB18030" || Name == "GB2312" || Name == "GBK") return {{"GB18030"}, true};
  if (Name == "BIG5") return {{"CP950", "BIG5"}, true};
  if (Name == "SHIFT_JIS") return {{"CP932"}, true};
  if (Name == "EUC-KR" || Name == "UHC") return {{"CP949"}, true};
  if (Name == "EUC-JP" || Name == "EUC-TW") return {{Name}, true};
  if (Name == "MAC-CYRILLIC") return {{"CP1251"}, false};
  return {{Name}, false};
}

// Reads Text in the first charset of Charsets that takes it without error
// and gives no C1 control character (which single-byte charsets produce for
// bytes they leave unassigned).
bool ReadsCleanly(const std::vector<std::string>& Charsets, std::string_view Text,
                  std::string& Charset, std::u16string& Wide) {
  for (const std::string& Name : Charsets) {
    if (!TryCharsetToWide(Name, Text, Wide)) continue;
    bool Clean = true;
    for (char16_t C : Wide)
      if (C >= 0x80 && C <= 0x9F) Clean = false;
    if (Clean) {
      Charset = Name;
      return true;
    }
  }
  return false;
}

// A double-byte code page misreads Latin text by pairing an accented byte
// with the ASCII letter after it: "Wond\x92ring" in GBK is "Wond抮ing".
// Real East Asian text seldom has one of its characters between two ASCII
// letters.
bool SplitsALatinWord(std::u16string_view Text) {
  const auto IsAsciiLetter = [](char16_t C) {
    return (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z');
  };
  for (size_t I = 1; I + 1 < Text.size(); ++I)
    if (Text[I] >= 0x80 && IsAsciiLetter(Text[I - 1]) && IsAsciiLetter(Text[I + 1])) return true;
  return false;
}

bool IsDoubleByteCodePage(unsigned CodePage) {
  return CodePage == 932 || CodePage == 936 || CodePage == 949 || CodePage == 950;
}

}  // namespace

bool LooksLikeWords(std::u16string_view Text) {
  TWordCheck Word;
  for (size_t I = 0; I < Text.size();) {
    const char32_t C = NextCodePoint(Text, I);
    TLetter Letter;
    if (ClassifyLetter(C, Letter)) {
      if (!Word.Add(C, Letter)) return false;
      continue;
    }
    if (C >= 0x80 && !IsCommonPunctuation(C)) return false;
    Word = TWordCheck{};
  }
  return true;
}

std::string DetectedCharset(std::string_view Text) {
  std::unique_ptr<uchardet, decltype(&uchardet_delete)> Detector(uchardet_new(), uchardet_delete);
  if (!Detector) return {};
  if (uchardet_handle_data(Detector.get(), Text.data(), Text.size()) != 0) return {};
  uchardet_data_end(Detector.get());
  const char* Answer = uchardet_get_charset(Detector.get());
  return Answer ? std::string(Answer) : std::string();
}

std::string LegacyTextCharset(std::string_view Text) {
  const unsigned LegacyPage = LegacyCodePage();
  std::string Legacy = CodePageCharset(LegacyPage);
  const TCandidate Candidate = CandidateFor(DetectedCharset(Text));
  std::string Charset;
  std::u16string Wide;
  if (Candidate.Charsets.empty() || !ReadsCleanly(Candidate.Charsets, Text, Charset, Wide))
    return Legacy;
  if (Candidate.MultiByte) return Charset;
  if (!LooksLikeWords(Wide)) return Legacy;
  // A single-byte guess yields to the user's own code page when that reads
  // the text as well: short Chinese texts often pass for Latin words.
  std::string LegacyName;
  std::u16string LegacyWide;
  if (ReadsCleanly({Legacy}, Text, LegacyName, LegacyWide) &&
      (IsDoubleByteCodePage(LegacyPage) ? !SplitsALatinWord(LegacyWide)
                                        : LooksLikeWords(LegacyWide)))
    return Legacy;
  return Charset;
}

}  // namespace platform
