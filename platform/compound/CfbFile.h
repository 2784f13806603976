// One open compound file, behind the storage and stream handles of Compound.h: the header, FAT,
// DIFAT, mini FAT and directory kept in memory and written through, sector allocation, stream
// chains, and the sibling trees of storages (red-black trees with an in-memory name index).
// Internal to platform/compound; callers use Compound.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/compound/CfbFormat.h"
#include "platform/compound/Compound.h"

struct iovec;

namespace zycfb {
namespace detail {

struct DirEntry {
  std::u16string name;
  uint16_t nameLength = 0;  // as stored: bytes including the terminator
  uint8_t type = cfb::kTypeEmpty;
  uint8_t color = cfb::kBlack;
  uint32_t left = cfb::NOSTREAM;
  uint32_t right = cfb::NOSTREAM;
  uint32_t child = cfb::NOSTREAM;
  uint8_t clsid[16] = {};
  uint32_t stateBits = 0;
  FileTime creationTime = 0;
  FileTime modifiedTime = 0;
  uint32_t start = 0;
  uint64_t size = 0;  // version 3: only the low 32 bits are meaningful
};

// What an open handle tells the file about itself. The file may move an element to another
// directory entry while rebalancing a sibling tree, and then updates `sid` here.
struct ElementState {
  uint32_t sid = cfb::NOSTREAM;
};

struct StreamState : ElementState {
  bool mini = true;             // the chain is in the mini stream (size below the cutoff)
  std::vector<uint32_t> chain;  // sector (or mini sector) of each unit of the stream, in order
};

class CfbFile {
 public:
  static Result Create(const std::string& path, uint32_t mode, int version,
                       std::shared_ptr<CfbFile>* out);
  static Result Open(const std::string& path, uint32_t mode, std::shared_ptr<CfbFile>* out);
  ~CfbFile();
  CfbFile(const CfbFile&) = delete;
  CfbFile& operator=(const CfbFile&) = delete;

  bool writable() const { return writable_; }
  const std::string& path() const { return path_; }
  const DirEntry& entry(uint32_t sid) const { return dir_[sid]; }
  uint64_t EntrySize(uint32_t sid) const;
  void FileTimes(FileTime* created, FileTime* modified) const;

  // Open elements: an element is open through at most one handle at a time.
  Result Acquire(uint32_t sid, ElementState* state);
  void Release(ElementState* state);

  // Storages. A storage's sibling tree is read (and checked) by LoadTree before anything else is
  // done with its children.
  Result LoadTree(uint32_t storage);
  Result Find(uint32_t storage, const std::u16string& name, uint32_t* sid) const;
  // Creates a child; with `replace` an element of that name is replaced (it must not be open).
  Result CreateElement(uint32_t storage, const std::u16string& name, uint8_t type, bool replace,
                       uint32_t* sid);
  Result Rename(uint32_t storage, const std::u16string& oldName, const std::u16string& newName);
  Result List(uint32_t storage, std::vector<ElementStat>* out) const;

  // Streams.
  Result LoadStream(StreamState* st);
  Result ReadStream(const StreamState& st, uint64_t pos, void* buffer, uint32_t count,
                    uint32_t* read);
  Result WriteStream(StreamState* st, uint64_t pos, const void* buffer, uint32_t count);
  Result ResizeStream(StreamState* st, uint64_t size);

 private:
  struct ChildIndex {
    std::unordered_map<std::u16string, uint32_t> byName;  // upper-cased name -> entry
    bool valid = true;  // a red-black tree in sibling order (else rebuilt before a change)
  };
  // The sibling-pointer changes of one tree operation, kept so that they can be made visible in
  // the file by one directory-entry write (see Materialize).
  struct TreeTxn {
    uint32_t storage = cfb::NOSTREAM;
    uint32_t oldTop = cfb::NOSTREAM;
    struct Saved {
      uint32_t sid, left, right;
      uint8_t color;
    };
    std::vector<Saved> saved;
    std::vector<uint32_t> fresh;    // entries new in this operation, not yet in the file
    std::vector<uint32_t> removed;  // entries leaving the tree
  };

  CfbFile() = default;
  static Result OpenFd(const std::string& path, int flags, bool exclusive, int* fd, bool create);

  // Layout and raw I/O.
  uint64_t SectorOffset(uint32_t sector) const { return (uint64_t(sector) + 1) << shift_; }
  uint64_t UnitOffset(bool mini, uint32_t unit) const;
  uint64_t EntryOffset(uint32_t sid) const;
  Result ReadAt(void* buffer, size_t count, uint64_t offset, uint8_t fill);
  Result WriteAt(const void* buffer, size_t count, uint64_t offset);
  Result WriteVec(struct iovec* iov, int count, uint64_t offset);
  Result Fail(int err);
  void SetGeometry(int version);
  Result Parse(uint64_t fileSize);
  Result InitNew(int version);
  Result WriteHeader();
  Result FollowChain(uint32_t start, std::vector<uint32_t>* chain, uint32_t limit);

  // Allocation and tables.
  void FatSet(uint32_t index, uint32_t value);
  void FatLink(uint32_t index, uint32_t value);
  void MiniSet(uint32_t index, uint32_t value);
  void MiniLink(uint32_t index, uint32_t value);
  Result CheckGrowth(uint64_t newSectors);
  Result AllocSector(uint32_t after, uint32_t* out);
  Result GrowFat();
  Result AllocMini(uint32_t after, uint32_t* out);
  Result ZeroSector(uint32_t sector);
  Result FlushFat();
  Result FlushMini();
  Result FlushRuns(std::vector<uint32_t>& dirty, std::vector<uint32_t>& links,
                   const std::vector<uint32_t>& table, const std::vector<uint32_t>& sectors,
                   size_t freshFrom);
  void FreeUnits(bool mini, const std::vector<uint32_t>& units, size_t from);
  Result WalkChain(bool mini, uint32_t start, uint64_t size, std::vector<uint32_t>* chain);
  void NextEpoch(size_t size);

  // Stream data.
  Result PutRange(bool mini, const std::vector<uint32_t>& chain, uint64_t firstFresh,
                  uint64_t oldSize, uint64_t pos, const uint8_t* data, size_t count);
  Result Grow(StreamState* st, uint64_t pos, const uint8_t* data, size_t count);
  Result ReadUnits(bool mini, const std::vector<uint32_t>& chain, uint64_t pos, uint8_t* out,
                   size_t count);
  Result SetEntrySize(uint32_t sid, uint32_t start, uint64_t size);
  uint64_t* MappedSize(uint32_t sid);
  void UnmapDirectory();

  // Directory.
  void Decode(const uint8_t* raw, DirEntry* e) const;
  void Encode(const DirEntry& e, uint8_t* raw) const;
  Result WriteEntry(uint32_t sid);
  Result AllocEntry(uint32_t* sid);
  Result GrowDirectory();
  void ClearEntry(uint32_t sid);

  // Sibling trees.
  bool Less(uint32_t a, uint32_t b) const;
  bool IsRed(uint32_t n) const { return n != cfb::NOSTREAM && dir_[n].color == cfb::kRed; }
  void Touch(uint32_t n);
  void SetLeft(uint32_t n, uint32_t v);
  void SetRight(uint32_t n, uint32_t v);
  void SetColor(uint32_t n, uint8_t c);
  void SetTop(uint32_t v);
  uint32_t Top() const { return dir_[txn_->storage].child; }
  void Replace(uint32_t parent, uint32_t oldChild, uint32_t newChild);
  void RotateLeft(uint32_t x);
  void RotateRight(uint32_t x);
  void RbInsert(uint32_t z);
  void RbErase(uint32_t z);
  void EraseFixup(uint32_t x, uint32_t xParent);
  Result Materialize(TreeTxn& txn);
  bool CheckTree(uint32_t storage) const;
  Result RebuildTree(uint32_t storage);
  void Relocate(uint32_t storage, uint32_t from, uint32_t to);
  Result CollectSubtree(uint32_t sid, std::vector<uint32_t>* nodes) const;
  Result DropSubtree(const std::vector<uint32_t>& nodes, const std::vector<DirEntry>& saved);

  Result MutableCheck() const;

  int fd_ = -1;
  std::string path_;
  bool writable_ = false;
  bool mappable_ = false;  // size fields may be stored through mappings (see MappedSize)
  Result broken_ = S_OK;  // after a failed write the file takes no more writes

  int version_ = 4;
  uint32_t shift_ = 12;
  uint32_t sectorSize_ = 4096;
  uint32_t perSector_ = 1024;  // 32-bit slots per sector
  uint32_t maxSector_ = 0;     // highest sector number this version may use
  uint64_t fileBytes_ = 0;     // length of the file
  uint32_t fileSectors_ = 0;   // sectors that exist in the file (a partial last one counts)
  uint32_t transaction_ = 0;
  bool headerDirty_ = false;

  std::vector<uint32_t> fat_;
  std::vector<uint32_t> fatSectors_;    // the DIFAT: FAT sector numbers in FAT order
  std::vector<uint32_t> difatSectors_;  // DIFAT sectors beyond the header, in chain order
  size_t fatWritten_ = 0;               // FAT sectors whose whole content is in the file
  size_t difatWritten_ = 0;
  std::vector<uint32_t> difatDirty_;    // DIFAT sectors (by position) to rewrite
  std::vector<uint32_t> dirtyFat_, fatLinks_;
  uint32_t fatHint_ = 0;

  std::vector<uint32_t> miniFat_;
  std::vector<uint32_t> miniFatSectors_;
  size_t miniFatWritten_ = 0;
  std::vector<uint32_t> dirtyMini_, miniLinks_;
  uint32_t miniHint_ = 0;
  std::vector<uint32_t> miniChain_;  // the mini stream's sectors
  uint64_t miniSize_ = 0;            // the mini stream's length (the root entry's size)
  bool rootDirty_ = false;

  std::vector<uint32_t> dirSectors_;
  // Where each directory sector (by position in dirSectors_) is mapped for size updates:
  // nullptr while not (yet) mapped, MAP_FAILED once mapping it has failed. See MappedSize.
  std::vector<void*> dirMaps_;
  std::vector<DirEntry> dir_;
  std::vector<uint32_t> freeEntries_;  // reusable entries, smallest last
  std::vector<uint32_t> parent_;       // tree parent of each entry of a loaded tree
  std::vector<uint8_t> inTree_;        // entry belongs to a loaded tree
  std::unordered_map<uint32_t, std::unique_ptr<ChildIndex>> trees_;
  std::unordered_map<uint32_t, ElementState*> open_;
  TreeTxn* txn_ = nullptr;

  // Chain walks mark visited sectors with the current epoch, so a cycle is seen without clearing.
  std::vector<uint32_t> stamp_;
  uint32_t epoch_ = 0;
  std::vector<uint8_t> scratch_;
  std::vector<uint32_t> tmpChain_;
};

}  // namespace detail
}  // namespace zycfb
