#include "engine/uTargetNaming.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "infra/uLxFileUtils.h"
#include "platform/uCodePage.h"

namespace {

const std::u16string CopyWord = u"复件";
const std::u16string FirstCopyPrefix = u"复件(0) ";

char16_t LowerChar(char16_t C) {
  if (C >= u'A' && C <= u'Z') return static_cast<char16_t>(C - u'A' + u'a');
  if (C < 0x80) return C;
  return static_cast<char16_t>(std::towlower(static_cast<wint_t>(C)));
}

bool AllDigits(const std::u16string& Text) {
  return !Text.empty() &&
         std::all_of(Text.begin(), Text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Decimal Digits plus one, without leading zeros; any length.
std::u16string Increment(std::u16string Digits) {
  const size_t first = Digits.find_first_not_of(u'0');
  Digits = first == std::u16string::npos ? u"0" : Digits.substr(first);
  for (size_t i = Digits.size(); i-- > 0;) {
    if (Digits[i] != u'9') {
      ++Digits[i];
      return Digits;
    }
    Digits[i] = u'0';
  }
  return u"1" + Digits;
}

}  // namespace

std::u16string NextCopyName(const std::u16string& Name) {
  const size_t word = Name.find(CopyWord);
  if (word == std::u16string::npos) return FirstCopyPrefix + Name;
  const size_t open = Name.find(u'(');
  if (open == std::u16string::npos || open != word + CopyWord.size()) return FirstCopyPrefix + Name;
  const size_t close = Name.find(u')');
  if (close == std::u16string::npos || close < open) return FirstCopyPrefix + Name;
  const std::u16string digits = Name.substr(open + 1, close - open - 1);
  if (!AllDigits(digits)) return FirstCopyPrefix + Name;
  return Name.substr(0, open + 1) + Increment(digits) + Name.substr(close);
}

std::u16string MakeCopyName(const std::u16string& Path) {
  const std::u16string folder = WideExtractFilePath(Path);
  std::u16string candidate = Path;
  while (WideFileExists(candidate)) {
    std::u16string next = folder;
    next += NextCopyName(WideExtractFileName(candidate));
    candidate = std::move(next);
  }
  return candidate;
}

std::u16string MakeCopyName(const std::u16string& Path, int32_t MaxNameBytes,
                            const std::function<bool(const std::u16string&)>& Taken) {
  const std::u16string folder = WideExtractFilePath(Path);
  std::u16string candidate = Path;
  while (Taken(candidate)) {
    std::u16string next = FitFileName(NextCopyName(WideExtractFileName(candidate)), MaxNameBytes);
    candidate = folder;
    candidate += next;
  }
  return candidate;
}

namespace {

size_t NameBytes(const std::u16string& Name) { return platform::WideToPath(Name).size(); }

// The length of a leading copy marker with its blank ("复件(12) "), or 0.
size_t CopyMarkerLength(const std::u16string& Name) {
  if (Name.compare(0, CopyWord.size(), CopyWord) != 0 || Name.size() <= CopyWord.size() ||
      Name[CopyWord.size()] != u'(')
    return 0;
  const size_t close = Name.find(u')', CopyWord.size());
  if (close == std::u16string::npos ||
      !AllDigits(Name.substr(CopyWord.size() + 1, close - CopyWord.size() - 1)))
    return 0;
  return close + 1 < Name.size() && Name[close + 1] == u' ' ? close + 2 : close + 1;
}

// Drops the last character of Text (a surrogate pair as one).
void DropLastCharacter(std::u16string& Text) {
  if (Text.empty()) return;
  Text.pop_back();
  if (!Text.empty() && Text.back() >= 0xD800 && Text.back() <= 0xDBFF) Text.pop_back();
}

}  // namespace

std::u16string FitFileName(const std::u16string& Name, int32_t MaxNameBytes) {
  if (MaxNameBytes <= 0 || NameBytes(Name) <= static_cast<size_t>(MaxNameBytes)) return Name;
  const size_t head = CopyMarkerLength(Name);
  const size_t dot = Name.rfind(u'.');
  const size_t stemEnd = dot == std::u16string::npos || dot < head ? Name.size() : dot;
  const std::u16string marker = Name.substr(0, head);
  const std::u16string ext = Name.substr(stemEnd);
  std::u16string stem = Name.substr(head, stemEnd - head);
  const size_t fixed = NameBytes(marker) + NameBytes(ext);
  if (fixed >= static_cast<size_t>(MaxNameBytes)) return Name;
  const size_t room = static_cast<size_t>(MaxNameBytes) - fixed;
  while (!stem.empty() && NameBytes(stem) > room)
    DropLastCharacter(stem);
  // A stem cut down to blanks or nothing would name a hidden or empty file.
  if (WideTrim(stem).empty()) return Name;
  return marker + stem + ext;
}

bool SameTextIgnoringCase(const std::u16string& A, const std::u16string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerChar(A[i]) != LowerChar(B[i])) return false;
  return true;
}

std::u16string LowerCaseText(std::u16string Text) {
  for (char16_t& c : Text)
    c = LowerChar(c);
  return Text;
}
