// The process environment, read. Any thread; the program never changes its
// own environment once threads run (tests set variables before they start
// the engine).
#pragma once

#include <string>

namespace platform {

// The variable's value; empty when it is not set.
std::string EnvValue(const char* Name);

}  // namespace platform
