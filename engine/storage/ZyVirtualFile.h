// A stream of the compound file as a framework stream: table definitions and stored values are
// read and written through TZyVirtualFile with the ordinary stream operations. Also the open-mode
// flags shared by the virtual disk, folders and files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/compound/Compound.h"
#include "platform/framework/DateTime.h"
#include "platform/framework/Stream.h"

// Open-mode flags: only the top six bits are used, and a bit's meaning depends on the receiver.
// Bit 63, for every class: create (the file, the storage, the stream).
constexpr uint64_t zydVirtualCreate = 0x8000000000000000ULL;
// Bit 62: a folder opened with it lists no children, now or later; a file opens exclusively.
constexpr uint64_t zydVirtualFolderUnlisted = 0x4000000000000000ULL;
constexpr uint64_t zydVirtualFileExclusive = 0x4000000000000000ULL;
// Bits 61, 60, 59: a file's access (read, write, read-write).
constexpr uint64_t zydVirtualFileRead = 0x2000000000000000ULL;
constexpr uint64_t zydVirtualFileWrite = 0x1000000000000000ULL;
constexpr uint64_t zydVirtualFileReadWrite = 0x0800000000000000ULL;
// Bits 59 and 58: the disk's access; both together read-write.
constexpr uint64_t zydVirtualDiskRead = 0x0800000000000000ULL;
constexpr uint64_t zydVirtualDiskWrite = 0x0400000000000000ULL;
constexpr uint64_t zydVirtualDiskReadWrite = zydVirtualDiskRead | zydVirtualDiskWrite;

class TZyVirtualFile : public zyfw::TStream {
 public:
  // With zydVirtualCreate in mode the stream is created (replacing one of that name) and stays
  // open; otherwise the object stays closed until Open. statistics, from an enumeration, supply
  // the times and the size; it may be null.
  TZyVirtualFile(std::shared_ptr<zycfb::Storage> parent, const zycfb::ElementStat* statistics,
                 std::u16string name, uint64_t mode);
  ~TZyVirtualFile() override;
  TZyVirtualFile(const TZyVirtualFile&) = delete;
  TZyVirtualFile& operator=(const TZyVirtualFile&) = delete;

  // Opens the existing stream with the sharing and access of mode's bits 62..59; raises the
  // system error "IStorage.OpenStream" on failure.
  void Open(uint64_t mode);
  void Close();
  bool IsOpen() const { return stream_ != nullptr; }

  // One call to the service each. A read at the end moves fewer bytes; a failed call raises
  // "IStream.Read" / "IStream.Write" with the service's code (so does using a closed file).
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  // Seek is HugeSeek. Both return -1 when the service refuses the move or the file is closed.
  int64_t Seek(int64_t offset, uint16_t origin) override;
  int64_t HugeSeek(int64_t offset, uint16_t origin);
  // The service's result is kept in LastResultGet, not raised; negative sizes are ignored.
  void SetSize(int64_t size) override;

  // Open: the stream's current size. Closed: the size its enumeration reported (0 without one).
  int64_t FileSizeGet();

  const std::u16string& NameGet() const { return name_; }
  uint64_t ModeGet() const { return mode_; }
  uint32_t LastResultGet() const { return lastResult_; }
  zyfw::TDateTime CreationTimeGet() const { return creationTime_; }
  zyfw::TDateTime ModificationTimeGet() const { return modificationTime_; }
  zyfw::TDateTime AccessTimeGet() const { return accessTime_; }

 private:
  std::shared_ptr<zycfb::Storage> parent_;
  std::shared_ptr<zycfb::Stream> stream_;
  std::u16string name_;
  uint64_t mode_ = 0;
  uint32_t lastResult_ = 0;
  zyfw::TDateTime creationTime_ = 0, modificationTime_ = 0, accessTime_ = 0;
  int64_t size_ = 0;
};
