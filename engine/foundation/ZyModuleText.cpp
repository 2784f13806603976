#include "engine/foundation/ZyModuleText.h"

#ifdef ZY_PER_MODULE_ERRORS
const char* zydModuleText(const char* sourceModule) { return sourceModule; }
bool zydPerModuleErrors() { return true; }
#else
const char* zydModuleText(const char*) { return "ZyDatabase"; }
bool zydPerModuleErrors() { return false; }
#endif
