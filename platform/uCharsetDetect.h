// Which legacy charset a file's 8-bit text is written in, when it has no
// byte-order mark and is not UTF-8: cue sheets and lists written on Windows
// in the code page of whoever wrote them, read on a UTF-8 desktop.
// Thread-safe: every call works on its own detector.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The iconv name to read Text with. uchardet's answer when it names a
// charset we can convert, the whole text reads without error in it, and
// the answer is trustworthy:
// - a multi-byte East Asian charset (GB18030, Big5, Shift-JIS, EUC-JP,
//   EUC-KR/UHC): uchardet names these only on statistical evidence;
// - a single-byte charset whose reading looks like words of one script,
//   unless the legacy code page of the user's language reads the text as
//   well (a double-byte one without error and without putting one of its
//   characters between two ASCII letters, a single-byte one as words too).
// Otherwise the legacy code page of the user's language (LegacyCodePage).
// Windows supersets stand for their bases (Shift-JIS is read as CP932,
// Big5 as CP950, EUC-KR as CP949), as the files come from Windows.
std::string LegacyTextCharset(std::string_view Text);

// uchardet's own answer for Text (an iconv name, empty when it has none).
std::string DetectedCharset(std::string_view Text);

// True when Text, read as characters, looks like words of natural language
// in one script: letters of one script per word, capitals only at the start
// of a run of lower case, no run of three accented Latin letters, and no
// symbols outside plain ASCII but common quotes and dashes. Texts read in
// the wrong single-byte charset break these rules almost always.
bool LooksLikeWords(std::u16string_view Text);

}  // namespace platform
