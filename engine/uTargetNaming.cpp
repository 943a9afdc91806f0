#include "engine/uTargetNaming.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "infra/uLxFileUtils.h"

namespace {

const std::u16string CopyWord = u"复件";
const std::u16string FirstCopyPrefix = u"复件(0) ";

char16_t LowerChar(char16_t C) {
  if (C >= u'A' && C <= u'Z') return static_cast<char16_t>(C - u'A' + u'a');
  if (C < 0x80) return C;
  return static_cast<char16_t>(std::towlower(static_cast<wint_t>(C)));
}

bool AllDigits(const std::u16string& Text) {
  return !Text.empty() && std::all_of(Text.begin(), Text.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
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

bool SameTextIgnoringCase(const std::u16string& A, const std::u16string& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (LowerChar(A[i]) != LowerChar(B[i])) return false;
  return true;
}

std::u16string LowerCaseText(std::u16string Text) {
  for (char16_t& c : Text) c = LowerChar(c);
  return Text;
}
