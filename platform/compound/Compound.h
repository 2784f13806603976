// The compound-file service: a file system inside one file, in the Compound File Binary format
// (versions 3 and 4). Files, storages and streams are opened, created, listed and renamed here;
// streams are read and written in place ("direct mode": every write reaches the file before the
// call returns). Failures are returned as the platform's 32-bit result codes (CompoundResult.h),
// never thrown; callers that want exceptions wrap these calls.
//
// Handles are shared pointers: dropping the last reference releases the element (and, for the
// root storage and everything opened under it, finally the file and its lock).
//
// How this service answers, where the platform leaves room:
// - Files: an open for writing, or with STGM_SHARE_EXCLUSIVE / STGM_SHARE_DENY_READ, holds the
//   file alone (flock, so a second open in this process fails too: STG_E_SHAREVIOLATION);
//   STGM_READ with STGM_SHARE_DENY_WRITE or STGM_SHARE_DENY_NONE shares it with other readers.
//   STGM_TRANSACTED is not offered (STG_E_INVALIDFLAG). Opening never changes the file.
//   A writer stores stream sizes through a shared mapping of directory pages (ext2/3/4, XFS and
//   tmpfs), so a process that ignores the lock and cuts the file short under a writer can end
//   that writer with SIGBUS.
// - Elements open with STGM_SHARE_EXCLUSIVE only (else STG_E_INVALIDFLAG), one handle at a time
//   (a second open: STG_E_ACCESSDENIED). Asking for write access below a read-only storage is
//   STG_E_INVALIDFLAG; creating or renaming in one is STG_E_ACCESSDENIED.
// - STGM_CREATE on an existing element replaces it, unless it (or, for a storage, anything below
//   it) is open: STG_E_ACCESSDENIED.
// - Names: 1 to 31 UTF-16 units without '/', '\\', ':', '!' (else STG_E_INVALIDNAME); compared
//   as the format orders siblings (see CfbFormat.h), so "abc" and "ABC" are one name.
// - Damaged files give STG_E_DOCFILECORRUPT (STG_E_INVALIDHEADER for bad header fields) when the
//   damage is met: the file's header, FAT and directory on open, a storage's sibling tree when
//   it is opened, a stream's chain when the stream is opened. A file that is too short or has no
//   compound-file signature gives STG_E_FILEALREADYEXISTS, as the platform does.
// - Version 3 streams and files stay below 2 GB (STG_E_DOCFILETOOLARGE). After a failed write
//   (STG_E_MEDIUMFULL, STG_E_WRITEFAULT) a file takes no more writes until it is opened again;
//   what it holds is consistent, since every change is ordered so that a process killed at any
//   point leaves a file with every completed write.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/compound/CompoundResult.h"

namespace zycfb {

// Access and sharing flags, with the platform's values.
constexpr uint32_t STGM_READ = 0x0;
constexpr uint32_t STGM_WRITE = 0x1;
constexpr uint32_t STGM_READWRITE = 0x2;
constexpr uint32_t STGM_SHARE_DENY_NONE = 0x40;
constexpr uint32_t STGM_SHARE_DENY_READ = 0x30;
constexpr uint32_t STGM_SHARE_DENY_WRITE = 0x20;
constexpr uint32_t STGM_SHARE_EXCLUSIVE = 0x10;
constexpr uint32_t STGM_CREATE = 0x1000;
constexpr uint32_t STGM_FAILIFTHERE = 0x0;
constexpr uint32_t STGM_DIRECT = 0x0;
constexpr uint32_t STGM_TRANSACTED = 0x10000;

// Element kinds, equal to the directory entry's object type.
constexpr uint32_t STGTY_STORAGE = 1;
constexpr uint32_t STGTY_STREAM = 2;
constexpr uint32_t STGTY_ROOT = 5;  // reported for the root storage by Stat

// Seek origins.
constexpr uint32_t STREAM_SEEK_SET = 0;
constexpr uint32_t STREAM_SEEK_CUR = 1;
constexpr uint32_t STREAM_SEEK_END = 2;

// A file time: 100-nanosecond intervals since 1601-01-01, as stored in the file.
using FileTime = uint64_t;

// Statistics of one element, as enumeration and Stat report them.
struct ElementStat {
  std::u16string name;
  uint32_t type = 0;         // STGTY_STORAGE or STGTY_STREAM (STGTY_ROOT for the root)
  uint64_t size = 0;         // streams: byte length; storages: 0
  FileTime creationTime = 0;
  FileTime modificationTime = 0;
  FileTime accessTime = 0;   // the format keeps no access time: always 0
};

class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to count bytes at the current position; *read (if given) gets the number moved.
  // A read at or past the end moves fewer bytes (possibly 0) and still succeeds.
  virtual Result Read(void* buffer, uint32_t count, uint32_t* read) = 0;
  // Writes count bytes at the current position, growing the stream as needed.
  virtual Result Write(const void* buffer, uint32_t count, uint32_t* written) = 0;
  // Moves the position; seeking past the end is allowed, before the start is STG_E_INVALIDFUNCTION.
  virtual Result Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;
  // Grows (new bytes read as zero) or shrinks the stream.
  virtual Result SetSize(uint64_t size) = 0;
  virtual Result Stat(ElementStat* stat) = 0;
};

class Storage {
 public:
  virtual ~Storage() = default;
  // Creates a child storage. Without STGM_CREATE an existing element of that name gives
  // STG_E_FILEALREADYEXISTS.
  virtual Result CreateStorage(const std::u16string& name, uint32_t mode,
                               std::shared_ptr<Storage>* out) = 0;
  virtual Result OpenStorage(const std::u16string& name, uint32_t mode,
                             std::shared_ptr<Storage>* out) = 0;
  // Creates a stream, open; with STGM_CREATE an existing stream of that name is replaced.
  virtual Result CreateStream(const std::u16string& name, uint32_t mode,
                              std::shared_ptr<Stream>* out) = 0;
  virtual Result OpenStream(const std::u16string& name, uint32_t mode,
                            std::shared_ptr<Stream>* out) = 0;
  // Every child, in the format's sibling order (shorter names first, then by upper-cased name).
  virtual Result EnumElements(std::vector<ElementStat>* out) = 0;
  // Stat of the root storage gives the file's path as the name, STGTY_ROOT and the file's times.
  virtual Result RenameElement(const std::u16string& oldName, const std::u16string& newName) = 0;
  virtual Result Stat(ElementStat* stat) = 0;
};

struct CreateOptions {
  int version = 4;  // 3: 512-byte sectors; 4: 4096-byte sectors
};

// Creates a compound file (with STGM_CREATE an existing file is replaced; without it an existing
// file gives STG_E_FILEALREADYEXISTS) and returns its root storage.
Result CreateDocfile(const std::string& path, uint32_t mode, std::shared_ptr<Storage>* root,
                     const CreateOptions& options = CreateOptions());

// Opens an existing compound file and returns its root storage. Opening never modifies the file.
Result OpenDocfile(const std::string& path, uint32_t mode, std::shared_ptr<Storage>* root);

// UTF-8 <-> UTF-16 for element names and paths.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace zycfb
