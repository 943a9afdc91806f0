#include "platform/uEnvironment.h"

#include <cstdlib>

namespace platform {

std::string EnvValue(const char* Name) {
  // Safe here: nothing sets variables while other threads read them.
  const char* Value = std::getenv(Name);  // NOLINT(concurrency-mt-unsafe)
  return Value ? std::string(Value) : std::string();
}

}  // namespace platform
