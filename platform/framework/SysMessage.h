// The operating system's message table as the engine sees it: the text for a result code,
// including the storage service's STG_E_ codes. Texts end with "\r\n", as the system gives them.
#pragma once

#include <cstdint>
#include <string>

namespace zyfw {

// The message text of code, ending in "\r\n". A message of the table that expects an insert
// ("%1 could not be found.") is given without it ("The element could not be found."); a code
// with no message gives "Unknown error $XXXXXXXX.\r\n" (eight upper-case hex digits).
std::string SysErrorMessage(uint32_t code);

}  // namespace zyfw
