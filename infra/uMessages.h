// The texts a user reads, in the language of the user's locale.
//
// Chinese is the source language: every text is its own key, and a
// catalog (GNU gettext's binary .mo format, domain "morvo") maps it to the
// user's language. The catalog is chosen from LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG as gettext ranks them, without setlocale: a
// language whose locale is not generated on the machine is still spoken,
// and the process's locale (number formats, the code page) stays as it is.
// An unset locale, C, POSIX (C.UTF-8 among them) and zh_* keep Chinese;
// any other language gets its own catalog when one is installed, else the
// English one.
//
// Texts that are also data (stored files, JSON, names on disk, anything
// compared or parsed) keep their Chinese; they are marked with TrNoop so
// that they reach the catalog, and the front end translates them where it
// shows them (TrShown).
//
// Threading: any thread. The catalog is loaded once, on first use, and is
// read-only afterwards.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A catalog read from the bytes of a .mo file.
class TMessageCatalog {
public:
  // False (and an empty catalog) when Bytes is not a well-formed .mo file.
  bool Load(std::string_view Bytes);
  bool LoadFile(const std::u16string& Path);
  // The translation of Key (UTF-8); null when the catalog has none.
  const std::string* Find(std::string_view Key) const;
  // Translates a text that is one "%s" pattern of the catalog filled in,
  // e.g. "跳过 /a.wav" by the entry "跳过 %s". False when none matches.
  bool FindFilled(std::string_view Text, std::string& Translated) const;
  // Text translated as a whole; Text itself when the catalog has none.
  std::u16string Translate(std::u16string_view Text) const;
  // A data text shown to the user: pieces joined by "; " are translated
  // one by one, each as a whole or as a filled "%s" pattern.
  std::u16string Shown(std::u16string_view Text) const;
  bool Empty() const { return FEntries.empty(); }

private:
  struct TPattern {
    std::string Prefix, Suffix, Translation;
  };
  std::unordered_map<std::string, std::string> FEntries;
  std::vector<TPattern> FPatterns;
};

// The catalog folders to try, best first (e.g. "en_US", "en"), for the
// given values of LANGUAGE, LC_ALL, LC_MESSAGES and LANG; empty when the
// user reads Chinese.
std::vector<std::string> MessageLanguages(std::string_view Language, std::string_view LcAll,
                                          std::string_view LcMessages, std::string_view Lang);

// The process's catalog: chosen from the environment and found beside the
// executable ("locale/", the build tree) or in "../share/locale/" from it
// (an installed copy).
const TMessageCatalog& MessageCatalog();

// Another front end's catalog for the same language (e.g. the window's
// Qt translations): the first existing "<lang>/LC_MESSAGES/FileName" in
// the folders MessageCatalog() searches, for the languages it tries; empty
// when the user reads Chinese or no such file is installed.
std::u16string MessageCatalogFile(std::u16string_view FileName);

// A text marked for the catalog but kept as it is (Chinese) at this point.
constexpr const char16_t* TrNoop(const char16_t* Text) { return Text; }
constexpr const char* TrNoop(const char* Text) { return Text; }

// The text in the user's language; the text itself when the catalog has
// no translation.
std::u16string Tr(std::u16string_view Text);
std::string Tr(std::string_view Text);
inline std::string Tr(const char* Text) { return Tr(std::string_view(Text)); }
// A data text (a result, a detail) shown to the user, translated by
// TMessageCatalog::Shown.
std::u16string TrShown(std::u16string_view Text);

// Format with each "%s" or "%d" replaced by the next of Args, in order,
// and "%%" by "%". Missing arguments leave the placeholder empty.
std::u16string FormatText(std::u16string_view Format,
                          std::initializer_list<std::u16string_view> Args);
