// The module text that an engine error carries. The shared library's errors all say
// "ZyDatabase"; the explorer's own copy of the engine names the source module that raised the
// error instead. The choice is made when ZyModuleText.cpp is compiled, so the same sources give
// both builds and nothing else differs between them.
#pragma once

// Returns "ZyDatabase" in the library build and sourceModule in the explorer's build.
// sourceModule is one of the designed module names, e.g. "ZyDatabaseGenericList".
const char* zydModuleText(const char* sourceModule);

// True in the explorer's build (per-module texts), false in the library build.
bool zydPerModuleErrors();
