// The identifier rule for tables, columns, fields and parameters, and the guard on operations
// that only the engine itself may call (the system key).
#pragma once

#include <cstdint>
#include <string>

// Returns if name is a legal identifier, raises EZyException 0x80000100 otherwise: only ASCII
// letters, digits and '_' (any order, the empty name included), and unless system is true no
// "SYS_" or "SP_" prefix in any letter case. The first offending character is named in the text.
void ZyDatabaseIsNameValid(const std::string& name, bool system);

// Raises 0x80000702 "This method is reserved for system use..." for the given method.
[[noreturn]] void ZyDatabaseSysException(const std::string& method);

// The key that engine code passes to the operations reserved for its own use. Any other value
// means a client called them.
constexpr uint64_t zydSysKey = 0x5A79446253797354ULL;

// For the reserved operations: raises ZyDatabaseSysException(method) unless key is zydSysKey.
// Cheap when the key matches, as it is called on row-level paths.
inline void zydCheckSysKey(uint64_t key, const char* method) {
  if (key != zydSysKey) ZyDatabaseSysException(method);
}
