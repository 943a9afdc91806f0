// Environment variables set (or removed) for one scope, the old values put
// back when the object goes. The environment is the process's: one thread at
// a time.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

namespace morvotest {

class TScopedEnv {
public:
  // Sets Name to Value; removes Name when Value is std::nullopt.
  TScopedEnv(const char* Name, const std::optional<std::string>& Value) : FName(Name) {
    if (const char* Old = ::getenv(Name)) FOld = Old;
    Set(Name, Value);
  }
  ~TScopedEnv() { Set(FName, FOld); }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
  static void Set(const char* Name, const std::optional<std::string>& Value) {
    if (Value)
      ::setenv(Name, Value->c_str(), 1);
    else
      ::unsetenv(Name);
  }

  const char* FName;
  std::optional<std::string> FOld;
};

// The locale variables the code-page conversions look at, for one scope:
// LANG set, LC_ALL and LC_CTYPE removed, MORVO_ACP set or removed.
class TScopedLocale {
public:
  TScopedLocale(const std::string& Lang, const std::optional<std::string>& Acp)
      : FAll("LC_ALL", std::nullopt), FCtype("LC_CTYPE", std::nullopt), FLang("LANG", Lang),
        FAcp("MORVO_ACP", Acp) {}

private:
  TScopedEnv FAll, FCtype, FLang, FAcp;
};

}  // namespace morvotest
