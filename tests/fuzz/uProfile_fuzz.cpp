// An INI file of any bytes, read and then written through the private-
// profile functions, as the configuration file is.
//
// Input: the section, key and value to write (each ended by a zero byte),
// then the file's bytes.
//
// Properties: a refused write leaves the file's bytes as they were; an
// accepted write reads back (for a value the reader hands out unchanged)
// and changes no other key of the file; writing the same value again
// changes no byte; reads are limited to 2047 bytes.
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "platform/uCodePage.h"
#include "platform/uProfile.h"
#include "tests/fuzz/uFuzzSupport.h"
#include "tests/support/uTestFiles.h"

namespace {

using TName = std::pair<std::string, std::string>;  // section, key

constexpr const char* Missing = "\x01missing\x01";

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

std::string_view Trim(std::string_view S) {
  while (!S.empty() && IsBlank(S.front()))
    S.remove_prefix(1);
  while (!S.empty() && IsBlank(S.back()))
    S.remove_suffix(1);
  return S;
}

std::string Lower(std::string_view S) {
  std::string L(S);
  for (char& C : L)
    if (C >= 'A' && C <= 'Z') C = char(C - 'A' + 'a');
  return L;
}

// Names that the file seems to hold: every "[section]" and every text
// before a "=" under it. A guess is enough: names it gets wrong read as
// missing before and after the write alike.
std::set<TName> NamesIn(std::string_view File) {
  std::set<TName> Names;
  std::string Section;
  size_t Pos = 0;
  while (Pos <= File.size()) {
    const size_t End = File.find_first_of("\r\n", Pos);
    const std::string_view Line =
        Trim(File.substr(Pos, End == std::string_view::npos ? std::string_view::npos : End - Pos));
    if (!Line.empty() && Line.front() == '[') {
      Section = std::string(Trim(Line.substr(1, Line.find(']') - 1)));
    } else if (const size_t Eq = Line.find('='); Eq != std::string_view::npos) {
      Names.insert({Section, std::string(Trim(Line.substr(0, Eq)))});
    }
    if (End == std::string_view::npos) break;
    Pos = End + 1;
  }
  return Names;
}

bool SameName(const TName& A, const std::string& Section, const std::string& Key) {
  return Lower(A.first) == Lower(Trim(Section)) && Lower(A.second) == Lower(Trim(Key));
}

// A CR that no LF follows. Such line ends are being mended elsewhere: until
// then a bare CR ends no line, and a key written after a line that ends in
// one changes what that line reads as.
bool HasBareCr(std::string_view File) {
  for (size_t I = 0; I < File.size(); ++I)
    if (File[I] == '\r' && (I + 1 == File.size() || File[I + 1] != '\n')) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  morvofuzz::TFuzzInput Input(Data, Size);
  const std::string Section = Input.String(64);
  const std::string Key = Input.String(64);
  const std::string Value = Input.String(4096);
  const std::string_view Content = Input.Rest();

  const auto Path = morvofuzz::ScratchDir() / "profile.ini";
  const std::u16string File = platform::PathToWide(Path.string());
  morvofuzz::WriteFile(Path, Content);

  const std::set<TName> Names = NamesIn(Content);
  std::set<std::pair<TName, std::string>> Before;
  for (const TName& Name : Names) {
    const std::string Read =
        platform::GetPrivateProfileString(Name.first, Name.second, Missing, File);
    FUZZ_CHECK(Read.size() <= 2047);
    platform::GetPrivateProfileInt(Name.first, Name.second, 0, File);
    Before.insert({Name, Read});
  }

  if (!platform::WritePrivateProfileString(Section, Key, Value, File)) {
    FUZZ_CHECK(morvotest::ReadBytes(Path) == Content);
    return 0;
  }
  const std::string Written = morvotest::ReadBytes(Path);
  if (morvofuzz::IniValueReadsBack(Value))
    FUZZ_CHECK(platform::GetPrivateProfileString(Section, Key, Missing, File) == Value);
  if (!HasBareCr(Content))
    for (const auto& [Name, Read] : Before)
      if (!SameName(Name, Section, Key))
        FUZZ_CHECK(platform::GetPrivateProfileString(Name.first, Name.second, Missing, File) ==
                   Read);

  FUZZ_CHECK(platform::WritePrivateProfileString(Section, Key, Value, File));
  FUZZ_CHECK(morvotest::ReadBytes(Path) == Written);
  return 0;
}
