#include "platform/framework/SysMessage.h"

#include <cstdio>

namespace zyfw {

namespace {

struct MessageEntry {
  uint32_t code;
  const char* text;
};

// The storage service's codes. Messages that the system words around an insert ("%1 could not
// be found.") are kept in the form they take when no insert is supplied: a leading insert reads
// "The element", an inner one is left out.
constexpr MessageEntry kMessages[] = {
    {0x80030001, "Unable to perform requested operation.\r\n"},
    {0x80030002, "The element could not be found.\r\n"},
    {0x80030003, "The path could not be found.\r\n"},
    {0x80030004, "There are insufficient resources to open another file.\r\n"},
    {0x80030005, "Access Denied.\r\n"},
    {0x80030006, "Attempted an operation on an invalid object.\r\n"},
    {0x80030008, "There is insufficient memory available to complete operation.\r\n"},
    {0x80030009, "Invalid pointer error.\r\n"},
    {0x80030012, "There are no more entries to return.\r\n"},
    {0x80030013, "Disk is write-protected.\r\n"},
    {0x80030019, "An error occurred during a seek operation.\r\n"},
    {0x8003001D, "A disk error occurred during a write operation.\r\n"},
    {0x8003001E, "A disk error occurred during a read operation.\r\n"},
    {0x80030020, "A share violation has occurred.\r\n"},
    {0x80030021, "A lock violation has occurred.\r\n"},
    {0x80030050, "The element already exists.\r\n"},
    {0x80030057, "Invalid parameter error.\r\n"},
    {0x80030070, "There is insufficient disk space to complete operation.\r\n"},
    {0x800300F0, "Illegal write of non-simple property to simple property set.\r\n"},
    {0x800300FA, "An API call exited abnormally.\r\n"},
    {0x800300FB, "The file is not a valid compound file.\r\n"},
    {0x800300FC, "The name is not valid.\r\n"},
    {0x800300FD, "An unexpected error occurred.\r\n"},
    {0x800300FE, "That function is not implemented.\r\n"},
    {0x800300FF, "Invalid flag error.\r\n"},
    {0x80030100, "Attempted to use an object that is busy.\r\n"},
    {0x80030101, "The storage has been changed since the last commit.\r\n"},
    {0x80030102, "Attempted to use an object that has ceased to exist.\r\n"},
    {0x80030103, "Can't save.\r\n"},
    {0x80030104, "The compound file was produced with an incompatible version of storage.\r\n"},
    {0x80030105, "The compound file was produced with a newer version of storage.\r\n"},
    {0x80030106, "Share.exe or equivalent is required for operation.\r\n"},
    {0x80030107, "Illegal operation called on non-file based storage.\r\n"},
    {0x80030108, "Illegal operation called on object with extant marshallings.\r\n"},
    {0x80030109, "The docfile has been corrupted.\r\n"},
    {0x80030110, "OLE32.DLL has been loaded at the wrong address.\r\n"},
    {0x80030111, "The compound file is too large for the current implementation\r\n"},
    {0x80030112, "The compound file was not created with the STGM_SIMPLE flag\r\n"},
    {0x80030201, "The file download was aborted abnormally.  The file is incomplete.\r\n"},
    {0x80030202, "The file download has been terminated.\r\n"},
    {0x00030200, "The underlying file was converted to compound file format.\r\n"},
    {0x00030201, "The storage operation should block until more data is available.\r\n"},
    {0x00030202, "The storage operation should retry immediately.\r\n"},
    {0x00030203, "The notified event sink will not influence the storage operation.\r\n"},
    {0x00030204, "Multiple opens prevent consolidated. (commit succeeded).\r\n"},
    {0x00030205, "Consolidation of the storage file failed. (commit succeeded).\r\n"},
    {0x00030206, "Consolidation of the storage file is inappropriate. (commit succeeded).\r\n"},
};

}  // namespace

std::string SysErrorMessage(uint32_t code) {
  for (const MessageEntry& entry : kMessages)
    if (entry.code == code) return entry.text;
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "Unknown error $%.8X.\r\n", static_cast<unsigned>(code));
  return buffer;
}

}  // namespace zyfw
