// Helpers shared by the foundation tests, which run twice: against the library's module texts and
// against the explorer's.
#pragma once

#include <string>

#include "engine/foundation/ZyModuleText.h"

// The module text an error raised in sourceModule carries in the build under test.
inline std::string ExpectedModule(const char* sourceModule) {
  return zydPerModuleErrors() ? sourceModule : "ZyDatabase";
}
