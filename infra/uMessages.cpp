#include "infra/uMessages.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/uCodePage.h"
#include "platform/uEnvironment.h"
#include "platform/uProgramDir.h"

namespace {

constexpr uint32_t MoMagic = 0x950412de;
constexpr uint32_t MoMagicSwapped = 0xde120495;
constexpr const char* Domain = "morvo";

uint32_t Swap(uint32_t Value) {
  return (Value >> 24) | ((Value >> 8) & 0xFF00) | ((Value << 8) & 0xFF0000) | (Value << 24);
}

// Reads the .mo file's 32-bit words in the byte order its magic number
// tells, refusing anything outside the bytes.
class TMoReader {
public:
  explicit TMoReader(std::string_view Bytes) : FBytes(Bytes) {}

  bool Word(size_t Offset, uint32_t& Value) const {
    if (Offset > FBytes.size() || FBytes.size() - Offset < 4) return false;
    std::memcpy(&Value, FBytes.data() + Offset, 4);
    if (FSwapped) Value = Swap(Value);
    return true;
  }
  bool Start() {
    uint32_t Magic = 0;
    if (!Word(0, Magic)) return false;
    if (Magic == MoMagicSwapped) FSwapped = true;
    return Magic == MoMagic || Magic == MoMagicSwapped;
  }
  // The I-th string of the table at TableOffset (8 bytes an entry: length,
  // offset).
  bool String(uint32_t TableOffset, uint32_t I, std::string_view& Text) const {
    uint32_t Length = 0, Offset = 0;
    const size_t Entry = size_t(TableOffset) + size_t(I) * 8;
    if (!Word(Entry, Length) || !Word(Entry + 4, Offset)) return false;
    if (Offset > FBytes.size() || FBytes.size() - Offset < size_t(Length)) return false;
    Text = FBytes.substr(Offset, Length);
    return true;
  }

private:
  std::string_view FBytes;
  bool FSwapped = false;
};

// The language part of a locale name ("en" of "en_US.UTF-8@euro").
std::string_view LanguageOf(std::string_view Locale) {
  return Locale.substr(0, Locale.find_first_of("_.@"));
}

// "en_US" of "en_US.UTF-8@euro".
std::string_view TerritoryNameOf(std::string_view Locale) {
  return Locale.substr(0, Locale.find_first_of(".@"));
}

// No locale, or the C locale (C.UTF-8 among them).
bool IsCLocale(std::string_view Locale) {
  const std::string_view Language = LanguageOf(Locale);
  return Locale.empty() || Language == "C" || Language == "POSIX";
}

void AddOnce(std::vector<std::string>& List, std::string_view Name) {
  if (Name.empty()) return;
  for (const std::string& Known : List)
    if (Known == Name) return;
  List.emplace_back(Name);
}

void AddLocale(std::vector<std::string>& List, std::string_view Locale) {
  AddOnce(List, TerritoryNameOf(Locale));
  AddOnce(List, LanguageOf(Locale));
}

std::vector<std::string> ProcessLanguages() {
  return MessageLanguages(platform::EnvValue("LANGUAGE"), platform::EnvValue("LC_ALL"),
                          platform::EnvValue("LC_MESSAGES"), platform::EnvValue("LANG"));
}

// Calls Accept with each candidate path of FileName in the catalog folders,
// best language first, until it accepts one; that path, or empty.
template <class TAccept>
std::u16string FirstCatalogFile(std::u16string_view FileName, TAccept Accept) {
  const std::u16string Dir = platform::ExecutableDir();
  const std::u16string Roots[] = {Dir + u"locale/", Dir + u"../share/locale/"};
  for (const std::string& Language : ProcessLanguages())
    for (const std::u16string& Root : Roots) {
      std::u16string Path =
          Root + platform::Utf8ToWide(Language) + u"/LC_MESSAGES/" + std::u16string(FileName);
      if (Accept(Path)) return Path;
    }
  return {};
}

TMessageCatalog LoadProcessCatalog() {
  TMessageCatalog Catalog;
  FirstCatalogFile(platform::Utf8ToWide(Domain) + u".mo",
                   [&](const std::u16string& Path) { return Catalog.LoadFile(Path); });
  return Catalog;
}

}  // namespace

bool TMessageCatalog::Load(std::string_view Bytes) {
  FEntries.clear();
  FPatterns.clear();
  TMoReader Reader(Bytes);
  uint32_t Count = 0, Originals = 0, Translations = 0;
  if (!Reader.Start() || !Reader.Word(8, Count) || !Reader.Word(12, Originals) ||
      !Reader.Word(16, Translations))
    return false;
  for (uint32_t I = 0; I < Count; ++I) {
    std::string_view Key, Value;
    if (!Reader.String(Originals, I, Key) || !Reader.String(Translations, I, Value)) {
      FEntries.clear();
      FPatterns.clear();
      return false;
    }
    // The header (empty key), plural forms and keys with a context are not
    // ours; an empty translation means "not translated".
    if (Key.empty() || Value.empty() || Key.find('\0') != std::string_view::npos ||
        Key.find('\4') != std::string_view::npos)
      continue;
    const size_t Slot = Key.find("%s");
    // A bare "%s" would match every text: it is no pattern.
    if (Slot != std::string_view::npos && Key.find('%', Slot + 2) == std::string_view::npos &&
        Key.find('%') == Slot && Key.size() > 2)
      FPatterns.push_back({std::string(Key.substr(0, Slot)), std::string(Key.substr(Slot + 2)),
                           std::string(Value)});
    FEntries.emplace(Key, Value);
  }
  return true;
}

bool TMessageCatalog::LoadFile(const std::u16string& Path) {
  std::ifstream File(platform::WideToPath(Path), std::ios::binary);
  if (!File) return false;
  const std::string Bytes((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  return Load(Bytes) && !Empty();
}

const std::string* TMessageCatalog::Find(std::string_view Key) const {
  const auto It = FEntries.find(std::string(Key));
  return It == FEntries.end() ? nullptr : &It->second;
}

bool TMessageCatalog::FindFilled(std::string_view Text, std::string& Translated) const {
  for (const TPattern& Pattern : FPatterns) {
    if (Text.size() < Pattern.Prefix.size() + Pattern.Suffix.size()) continue;
    if (Text.substr(0, Pattern.Prefix.size()) != Pattern.Prefix ||
        Text.substr(Text.size() - Pattern.Suffix.size()) != Pattern.Suffix)
      continue;
    const std::string_view Filler = Text.substr(
        Pattern.Prefix.size(), Text.size() - Pattern.Prefix.size() - Pattern.Suffix.size());
    const std::u16string Result =
        FormatText(platform::Utf8ToWide(Pattern.Translation), {platform::Utf8ToWide(Filler)});
    Translated = platform::WideToUtf8(Result);
    return true;
  }
  return false;
}

std::u16string TMessageCatalog::Translate(std::u16string_view Text) const {
  if (Empty()) return std::u16string(Text);
  const std::string* Translation = Find(platform::WideToUtf8(Text));
  return Translation ? platform::Utf8ToWide(*Translation) : std::u16string(Text);
}

std::u16string TMessageCatalog::Shown(std::u16string_view Text) const {
  if (Empty()) return std::u16string(Text);
  std::u16string Result;
  constexpr std::u16string_view Separator = u"; ";
  for (;;) {
    const size_t End = Text.find(Separator);
    const std::string Piece = platform::WideToUtf8(Text.substr(0, End));
    std::string Filled;
    if (const std::string* Whole = Find(Piece))
      Result += platform::Utf8ToWide(*Whole);
    else if (FindFilled(Piece, Filled))
      Result += platform::Utf8ToWide(Filled);
    else
      Result += Text.substr(0, End);
    if (End == std::u16string_view::npos) return Result;
    Result += Separator;
    Text.remove_prefix(End + Separator.size());
  }
}

std::vector<std::string> MessageLanguages(std::string_view Language, std::string_view LcAll,
                                          std::string_view LcMessages, std::string_view Lang) {
  const std::string_view Locale = !LcAll.empty() ? LcAll : !LcMessages.empty() ? LcMessages : Lang;
  // As with gettext, LANGUAGE counts only when the locale is not C.
  if (IsCLocale(Locale)) return {};
  std::vector<std::string> List;
  while (!Language.empty()) {
    const size_t Colon = Language.find(':');
    const std::string_view Entry = Language.substr(0, Colon);
    // A preference for Chinese ends the list: it is the source language.
    if (LanguageOf(Entry) == "zh") return List;
    AddLocale(List, Entry);
    Language = Colon == std::string_view::npos ? std::string_view() : Language.substr(Colon + 1);
  }
  if (LanguageOf(Locale) == "zh") return List;
  AddLocale(List, Locale);
  AddOnce(List, "en");
  return List;
}

std::u16string MessageCatalogFile(std::u16string_view FileName) {
  return FirstCatalogFile(FileName, [](const std::u16string& Path) {
    return std::ifstream(platform::WideToPath(Path), std::ios::binary).good();
  });
}

const TMessageCatalog& MessageCatalog() {
  static const TMessageCatalog Catalog = LoadProcessCatalog();
  return Catalog;
}

std::string Tr(std::string_view Text) {
  const std::string* Translation = MessageCatalog().Find(Text);
  return Translation ? *Translation : std::string(Text);
}

std::u16string Tr(std::u16string_view Text) { return MessageCatalog().Translate(Text); }

std::u16string TrShown(std::u16string_view Text) { return MessageCatalog().Shown(Text); }

std::u16string FormatText(std::u16string_view Format,
                          std::initializer_list<std::u16string_view> Args) {
  std::u16string Text;
  auto Next = Args.begin();
  for (size_t I = 0; I < Format.size(); ++I) {
    if (Format[I] != u'%' || I + 1 == Format.size()) {
      Text += Format[I];
      continue;
    }
    const char16_t Kind = Format[I + 1];
    if (Kind == u'%') {
      Text += u'%';
      ++I;
    } else if (Kind == u's' || Kind == u'd') {
      if (Next != Args.end()) Text += *Next++;
      ++I;
    } else {
      Text += Format[I];
    }
  }
  return Text;
}
