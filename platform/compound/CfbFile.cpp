// The file side of the compound-file service: opening and creating files, the header, the FAT,
// DIFAT and mini FAT, sector allocation and the data of streams. Sibling trees are in CfbTree.cpp.
#include "platform/compound/CfbFile.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#if !defined(__BYTE_ORDER__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "FAT tables are written straight from memory, which needs a little-endian machine"
#endif

namespace zycfb {
namespace detail {

using namespace cfb;

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
// Version 4 files past 2 GiB keep the sector holding bytes 0x7FFFFF00-0x7FFFFFFF out of use.
constexpr uint32_t kRangeLockSector = 0x7FFFE;
constexpr int kMaxIov = 64;
alignas(64) const uint8_t kZeros[4096] = {};

// Without the a + b - 1 of the usual form: a stream size read from a damaged directory entry may
// be near 2^64, and the sum would wrap to a tiny count (an empty chain for a huge stream).
uint64_t CeilDiv(uint64_t a, uint64_t b) { return a / b + (a % b != 0); }

// Filesystems that overwrite a page in place, so a store into a mapped, allocated page never needs
// new disk space (see CfbFile::MappedSize).
bool OverwritesInPlace(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2, ext3 and ext4 share it
    case XFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
      return true;
    default:
      return false;
  }
}

FileTime ToFileTime(const timespec& ts) {
  return uint64_t(ts.tv_sec) * 10000000ull + uint64_t(ts.tv_nsec) / 100 + 116444736000000000ull;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Opening and creating

CfbFile::~CfbFile() {
  UnmapDirectory();  // first: a mapping keeps the open file, and with it the flock, alive
  if (fd_ >= 0) ::close(fd_);  // also drops the flock
}

Result CfbFile::OpenFd(const std::string& path, int flags, bool exclusive, int* out, bool create) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    switch (errno) {
      case ENOENT: return create ? STG_E_PATHNOTFOUND : STG_E_FILENOTFOUND;
      case ENOTDIR: return STG_E_PATHNOTFOUND;
      case EEXIST: return STG_E_FILEALREADYEXISTS;
      case EACCES: case EPERM: case EROFS: case EISDIR: return STG_E_ACCESSDENIED;
      case EMFILE: case ENFILE: return STG_E_TOOMANYOPENFILES;
      case ENAMETOOLONG: return STG_E_INVALIDNAME;
      default: return STG_E_UNKNOWN;
    }
  }
  // flock locks belong to the open file description, so a second open of the same file in this
  // process conflicts exactly like an open from another process.
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? STG_E_SHAREVIOLATION : STG_E_LOCKVIOLATION;
  }
  *out = fd;
  return S_OK;
}

void CfbFile::SetGeometry(int version) {
  version_ = version;
  shift_ = version == 3 ? 9 : 12;
  sectorSize_ = 1u << shift_;
  perSector_ = sectorSize_ / 4;
  // A version 3 file stays below 2 GB, clear of the byte-range lock area.
  maxSector_ = version == 3 ? 0x3FFFFD : MAXREGSECT;
}

Result CfbFile::Open(const std::string& path, uint32_t mode, std::shared_ptr<CfbFile>* out) {
  uint32_t access = mode & 3;
  if (access == 3 || (mode & STGM_TRANSACTED)) return STG_E_INVALIDFLAG;
  bool writable = access != STGM_READ;
  uint32_t share = mode & 0x70;
  // Readers that deny writers share the file; anything that writes holds it alone.
  bool exclusive = writable || share == STGM_SHARE_EXCLUSIVE || share == STGM_SHARE_DENY_READ;
  std::shared_ptr<CfbFile> f(new CfbFile());
  f->path_ = path;
  f->writable_ = writable;
  Result r = OpenFd(path, writable ? O_RDWR : O_RDONLY, exclusive, &f->fd_, false);
  if (r != S_OK) return r;
  struct stat st;
  if (::fstat(f->fd_, &st) != 0) return STG_E_READFAULT;
  if (!S_ISREG(st.st_mode)) return STG_E_ACCESSDENIED;
  r = f->Parse(uint64_t(st.st_size));
  if (r != S_OK) return r;
  f->mappable_ = writable && OverwritesInPlace(f->fd_);
  *out = std::move(f);
  return S_OK;
}

Result CfbFile::Create(const std::string& path, uint32_t mode, int version,
                       std::shared_ptr<CfbFile>* out) {
  uint32_t access = mode & 3;
  if (access == 3 || access == STGM_READ || (mode & STGM_TRANSACTED)) return STG_E_INVALIDFLAG;
  if (version != 3 && version != 4) return STG_E_INVALIDPARAMETER;
  std::shared_ptr<CfbFile> f(new CfbFile());
  f->path_ = path;
  f->writable_ = true;
  // An existing file is truncated only once we hold its lock, so a file open elsewhere is
  // left as it is.
  int flags = O_RDWR | O_CREAT | ((mode & STGM_CREATE) ? 0 : O_EXCL);
  Result r = OpenFd(path, flags, true, &f->fd_, true);
  if (r != S_OK) return r;
  struct stat st;
  if (::fstat(f->fd_, &st) != 0) return STG_E_READFAULT;
  if (!S_ISREG(st.st_mode)) return STG_E_ACCESSDENIED;
  if (::ftruncate(f->fd_, 0) != 0) return STG_E_ACCESSDENIED;
  r = f->InitNew(version);
  if (r != S_OK) return r;
  f->mappable_ = OverwritesInPlace(f->fd_);
  *out = std::move(f);
  return S_OK;
}

Result CfbFile::InitNew(int version) {
  SetGeometry(version);
  fileBytes_ = 0;
  fat_.assign(perSector_, FREESECT);
  fat_[0] = FATSECT;
  fat_[1] = ENDOFCHAIN;
  fatSectors_ = {0};
  dirSectors_ = {1};
  fileSectors_ = 2;
  dir_.assign(sectorSize_ / kDirEntrySize, DirEntry());
  DirEntry& root = dir_[0];
  root.name = u"Root Entry";
  root.nameLength = uint16_t((root.name.size() + 1) * 2);
  root.type = kTypeRoot;
  root.color = kBlack;
  root.start = ENDOFCHAIN;
  std::vector<uint8_t> buf(sectorSize_);
  for (size_t i = 0; i < dir_.size(); ++i) Encode(dir_[i], &buf[i * kDirEntrySize]);
  // Directory and FAT first, the header (with the signature) last: until the header is there the
  // file is not taken for a compound file at all.
  Result r = WriteAt(buf.data(), sectorSize_, SectorOffset(1));
  if (r == S_OK) r = WriteAt(fat_.data(), sectorSize_, SectorOffset(0));
  if (r == S_OK) r = WriteHeader();
  if (r != S_OK) return r;
  fatWritten_ = 1;
  for (uint32_t i = uint32_t(dir_.size()); i-- > 1;) freeEntries_.push_back(i);
  parent_.assign(dir_.size(), NOSTREAM);
  inTree_.assign(dir_.size(), 0);
  stamp_.assign(fat_.size(), 0);
  trees_[0] = std::make_unique<ChildIndex>();
  return S_OK;
}

Result CfbFile::Parse(uint64_t size) {
  fileBytes_ = size;
  if (size < kHeaderSize) return STG_E_FILEALREADYEXISTS;
  uint8_t h[kHeaderSize];
  Result r = ReadAt(h, kHeaderSize, 0, 0);
  if (r != S_OK) return r;
  if (std::memcmp(h, kSignature, sizeof kSignature) != 0) return STG_E_FILEALREADYEXISTS;
  uint16_t major = Get16(h + hdr::kMajor), shift = Get16(h + hdr::kSectorShift);
  if (Get16(h + hdr::kByteOrder) != kByteOrder) return STG_E_INVALIDHEADER;
  if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) return STG_E_INVALIDHEADER;
  if (Get16(h + hdr::kMiniShift) != 6 || Get32(h + hdr::kCutoff) != kMiniStreamCutoff)
    return STG_E_INVALIDHEADER;
  SetGeometry(major);
  uint64_t sectors = size <= sectorSize_ ? 0 : CeilDiv(size - sectorSize_, sectorSize_);
  fileSectors_ = uint32_t(std::min<uint64_t>(sectors, uint64_t(MAXREGSECT) + 1));
  transaction_ = Get32(h + hdr::kTransaction);

  // The DIFAT: 109 slots in the header, then a chain of DIFAT sectors. Every round adds a
  // sector's worth of slots, so a looping chain still ends once numFat slots are read.
  uint32_t numFat = Get32(h + hdr::kNumFatSectors);
  if (numFat == 0) return STG_E_INVALIDHEADER;
  if (numFat > fileSectors_) return STG_E_DOCFILECORRUPT;
  fatSectors_.reserve(numFat);
  for (uint32_t i = 0; i < std::min(numFat, kHeaderDifatSlots); ++i)
    fatSectors_.push_back(Get32(h + hdr::kDifat + 4 * i));
  std::vector<uint8_t> buf(sectorSize_);
  uint32_t next = Get32(h + hdr::kFirstDifat);
  while (fatSectors_.size() < numFat) {
    if (next >= fileSectors_) return STG_E_DOCFILECORRUPT;
    difatSectors_.push_back(next);
    r = ReadAt(buf.data(), sectorSize_, SectorOffset(next), 0xFF);
    if (r != S_OK) return r;
    for (uint32_t j = 0; j + 1 < perSector_ && fatSectors_.size() < numFat; ++j)
      fatSectors_.push_back(Get32(&buf[4 * j]));
    next = Get32(&buf[4 * (perSector_ - 1)]);
  }
  for (uint32_t s : fatSectors_)
    if (s >= fileSectors_) return STG_E_DOCFILECORRUPT;
  {
    std::vector<uint32_t> sorted(fatSectors_);
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return STG_E_DOCFILECORRUPT;
  }
  fat_.assign(size_t(numFat) * perSector_, FREESECT);
  for (size_t i = 0; i < numFat;) {
    size_t j = i + 1;
    while (j < numFat && j - i < 64 && fatSectors_[j] == fatSectors_[j - 1] + 1) ++j;
    r = ReadAt(&fat_[i * perSector_], (j - i) * sectorSize_, SectorOffset(fatSectors_[i]), 0xFF);
    if (r != S_OK) return r;
    i = j;
  }
  fatWritten_ = fatSectors_.size();
  difatWritten_ = difatSectors_.size();
  // Some writers leave FAT and DIFAT sectors unmarked. Marked here, in memory only, they are
  // never handed out for data; the mark reaches the file with the next write near it.
  for (uint32_t s : fatSectors_)
    if (s < fat_.size() && fat_[s] == FREESECT) fat_[s] = FATSECT;
  for (uint32_t s : difatSectors_)
    if (s < fat_.size() && fat_[s] == FREESECT) fat_[s] = DIFSECT;
  stamp_.assign(fat_.size(), 0);

  // The directory.
  r = FollowChain(Get32(h + hdr::kFirstDirSector), &dirSectors_, uint32_t(fat_.size()));
  if (r != S_OK) return r;
  if (dirSectors_.empty()) return STG_E_DOCFILECORRUPT;
  const uint32_t perDir = sectorSize_ / kDirEntrySize;
  dir_.resize(dirSectors_.size() * perDir);
  buf.resize(size_t(64) * sectorSize_);
  for (size_t i = 0; i < dirSectors_.size();) {
    size_t j = i + 1;
    while (j < dirSectors_.size() && j - i < 64 && dirSectors_[j] == dirSectors_[j - 1] + 1) ++j;
    r = ReadAt(buf.data(), (j - i) * sectorSize_, SectorOffset(dirSectors_[i]), 0);
    if (r != S_OK) return r;
    for (size_t k = 0; k < (j - i) * perDir; ++k)
      Decode(&buf[k * kDirEntrySize], &dir_[i * perDir + k]);
    i = j;
  }
  if (dir_[0].type != kTypeRoot) return STG_E_DOCFILECORRUPT;

  // The mini stream and the mini FAT. Writers differ in the length they give the mini stream;
  // only a length beyond its chain is cut back.
  miniSize_ = EntrySize(0);
  if (miniSize_ > 0) {
    r = FollowChain(dir_[0].start, &miniChain_, uint32_t(fat_.size()));
    if (r != S_OK) return r;
    miniSize_ = std::min<uint64_t>(miniSize_, uint64_t(miniChain_.size()) << shift_);
  }
  uint32_t firstMini = Get32(h + hdr::kFirstMiniFat);
  if (firstMini != ENDOFCHAIN && firstMini != FREESECT) {
    r = FollowChain(firstMini, &miniFatSectors_, uint32_t(fat_.size()));
    if (r != S_OK) return r;
  }
  miniFat_.assign(miniFatSectors_.size() * perSector_, FREESECT);
  for (size_t i = 0; i < miniFatSectors_.size(); ++i) {
    r = ReadAt(&miniFat_[i * perSector_], sectorSize_, SectorOffset(miniFatSectors_[i]), 0xFF);
    if (r != S_OK) return r;
  }
  miniFatWritten_ = miniFatSectors_.size();

  for (uint32_t i = uint32_t(dir_.size()); i-- > 1;)
    if (dir_[i].type == kTypeEmpty) freeEntries_.push_back(i);
  parent_.assign(dir_.size(), NOSTREAM);
  inTree_.assign(dir_.size(), 0);
  return LoadTree(0);
}

Result CfbFile::WriteHeader() {
  uint8_t h[kHeaderSize] = {};
  std::memcpy(h, kSignature, sizeof kSignature);
  Put16(h + hdr::kMinor, kMinorVersion);
  Put16(h + hdr::kMajor, uint16_t(version_));
  Put16(h + hdr::kByteOrder, kByteOrder);
  Put16(h + hdr::kSectorShift, uint16_t(shift_));
  Put16(h + hdr::kMiniShift, 6);
  Put32(h + hdr::kNumDirSectors, version_ == 4 ? uint32_t(dirSectors_.size()) : 0);
  Put32(h + hdr::kNumFatSectors, uint32_t(fatSectors_.size()));
  Put32(h + hdr::kFirstDirSector, dirSectors_[0]);
  Put32(h + hdr::kTransaction, transaction_);
  Put32(h + hdr::kCutoff, kMiniStreamCutoff);
  Put32(h + hdr::kFirstMiniFat, miniFatSectors_.empty() ? ENDOFCHAIN : miniFatSectors_[0]);
  Put32(h + hdr::kNumMiniFat, uint32_t(miniFatSectors_.size()));
  Put32(h + hdr::kFirstDifat, difatSectors_.empty() ? ENDOFCHAIN : difatSectors_[0]);
  Put32(h + hdr::kNumDifat, uint32_t(difatSectors_.size()));
  for (uint32_t i = 0; i < kHeaderDifatSlots; ++i)
    Put32(h + hdr::kDifat + 4 * i, i < fatSectors_.size() ? fatSectors_[i] : FREESECT);
  Result r = WriteAt(h, kHeaderSize, 0);
  if (r == S_OK) headerDirty_ = false;
  return r;
}

void CfbFile::FileTimes(FileTime* created, FileTime* modified) const {
  struct stat st;
  *created = *modified = 0;
  if (::fstat(fd_, &st) == 0) {
    *created = ToFileTime(st.st_ctim);
    *modified = ToFileTime(st.st_mtim);
  }
}

// ---------------------------------------------------------------------------------------------
// Raw I/O

uint64_t CfbFile::UnitOffset(bool mini, uint32_t unit) const {
  if (!mini) return SectorOffset(unit);
  uint64_t byte = uint64_t(unit) * kMiniSectorSize;
  return SectorOffset(miniChain_[byte >> shift_]) + (byte & (sectorSize_ - 1));
}

uint64_t CfbFile::EntryOffset(uint32_t sid) const {
  uint32_t per = sectorSize_ / kDirEntrySize;
  return SectorOffset(dirSectors_[sid / per]) + uint64_t(sid % per) * kDirEntrySize;
}

Result CfbFile::ReadAt(void* buffer, size_t count, uint64_t offset, uint8_t fill) {
  uint8_t* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    ssize_t n = ::pread(fd_, p, count, off_t(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return STG_E_READFAULT;
    }
    if (n == 0) {  // the last sector of a file may end early; the rest reads as `fill`
      std::memset(p, fill, count);
      return S_OK;
    }
    p += n;
    count -= size_t(n);
    offset += uint64_t(n);
  }
  return S_OK;
}

Result CfbFile::Fail(int err) {
  broken_ = (err == ENOSPC || err == EDQUOT || err == EFBIG) ? STG_E_MEDIUMFULL : STG_E_WRITEFAULT;
  return broken_;
}

Result CfbFile::WriteAt(const void* buffer, size_t count, uint64_t offset) {
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  uint64_t end = offset + count;
  while (count > 0) {
    ssize_t n = ::pwrite(fd_, p, count, off_t(offset));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return Fail(n < 0 ? errno : EIO);
    }
    p += n;
    count -= size_t(n);
    offset += uint64_t(n);
  }
  if (end > fileBytes_) fileBytes_ = end;
  return S_OK;
}

Result CfbFile::WriteVec(struct iovec* iov, int count, uint64_t offset) {
  if (count == 1) return WriteAt(iov->iov_base, iov->iov_len, offset);
  uint64_t end = offset;
  for (int i = 0; i < count; ++i) end += iov[i].iov_len;
  while (count > 0) {
    ssize_t n = ::pwritev(fd_, iov, count, off_t(offset));
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return Fail(n < 0 ? errno : EIO);
    }
    offset += uint64_t(n);
    size_t left = size_t(n);
    while (count > 0 && left >= iov->iov_len) {
      left -= iov->iov_len;
      ++iov;
      --count;
    }
    if (count > 0) {
      iov->iov_base = static_cast<uint8_t*>(iov->iov_base) + left;
      iov->iov_len -= left;
    }
  }
  if (end > fileBytes_) fileBytes_ = end;
  return S_OK;
}

void CfbFile::NextEpoch(size_t size) {
  if (stamp_.size() < size) stamp_.resize(size, 0);
  if (++epoch_ == 0) {
    std::fill(stamp_.begin(), stamp_.end(), 0);
    epoch_ = 1;
  }
}

Result CfbFile::FollowChain(uint32_t start, std::vector<uint32_t>* chain, uint32_t limit) {
  chain->clear();
  NextEpoch(fat_.size());
  for (uint32_t cur = start; cur != ENDOFCHAIN; cur = fat_[cur]) {
    if (cur >= fat_.size() || cur >= fileSectors_ || stamp_[cur] == epoch_ || chain->size() >= limit)
      return STG_E_DOCFILECORRUPT;
    stamp_[cur] = epoch_;
    chain->push_back(cur);
  }
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// FAT, DIFAT and mini FAT

void CfbFile::FatSet(uint32_t index, uint32_t value) {
  fat_[index] = value;
  dirtyFat_.push_back(index);
}

void CfbFile::FatLink(uint32_t index, uint32_t value) {
  FatSet(index, value);
  fatLinks_.push_back(index);
}

void CfbFile::MiniSet(uint32_t index, uint32_t value) {
  miniFat_[index] = value;
  dirtyMini_.push_back(index);
}

void CfbFile::MiniLink(uint32_t index, uint32_t value) {
  MiniSet(index, value);
  miniLinks_.push_back(index);
}

Result CfbFile::CheckGrowth(uint64_t newSectors) {
  const uint64_t limit = uint64_t(maxSector_) + 1;
  const uint64_t overhead = newSectors / (perSector_ - 1) + 4;  // FAT and DIFAT sectors
  if (fat_.size() + newSectors + overhead <= limit) return S_OK;
  uint64_t room = fat_.size() < limit ? limit - fat_.size() : 0;
  room += uint64_t(std::count(fat_.begin(), fat_.end(), FREESECT));
  return newSectors + overhead <= room ? S_OK : STG_E_DOCFILETOOLARGE;
}

Result CfbFile::GrowFat() {
  const size_t k = fatSectors_.size();
  const uint64_t base = fat_.size();
  if (base + perSector_ > uint64_t(maxSector_) + 1) return (broken_ = STG_E_DOCFILETOOLARGE);
  const bool needDifat = k >= kHeaderDifatSlots && (k - kHeaderDifatSlots) % (perSector_ - 1) == 0;
  fat_.resize(base + perSector_, FREESECT);
  const uint32_t lock = version_ == 4 ? kRangeLockSector : kNone;
  // The new FAT sector describes itself (and a new DIFAT sector); their entries lie in the new
  // sector, which is written whole before anything refers to it.
  uint32_t s = uint32_t(base);
  if (s == lock) fat_[s++] = ENDOFCHAIN;
  fat_[s] = FATSECT;
  fatSectors_.push_back(s);
  uint32_t last = s;
  if (needDifat) {
    uint32_t d = s + 1;
    if (d == lock) fat_[d++] = ENDOFCHAIN;
    fat_[d] = DIFSECT;
    if (!difatSectors_.empty()) difatDirty_.push_back(uint32_t(difatSectors_.size() - 1));
    difatSectors_.push_back(d);
    last = d;
  } else if (k >= kHeaderDifatSlots) {
    difatDirty_.push_back(uint32_t((k - kHeaderDifatSlots) / (perSector_ - 1)));
  }
  if (last >= fileSectors_) fileSectors_ = last + 1;
  headerDirty_ = true;
  return S_OK;
}

Result CfbFile::AllocSector(uint32_t after, uint32_t* out) {
  const uint32_t lock = version_ == 4 ? kRangeLockSector : kNone;
  uint32_t s = kNone;
  // Prefer the sector right after the chain's tail, so streams stay contiguous and large reads
  // and writes take one system call.
  if (after != kNone && uint64_t(after) + 1 < fat_.size() && fat_[after + 1] == FREESECT &&
      after + 1 != lock)
    s = after + 1;
  while (s == kNone) {
    while (fatHint_ < fat_.size() && fat_[fatHint_] != FREESECT) ++fatHint_;
    if (fatHint_ < fat_.size()) {
      if (fatHint_ == lock) {
        FatSet(lock, ENDOFCHAIN);
        continue;
      }
      s = fatHint_++;
    } else {
      Result r = GrowFat();
      if (r != S_OK) return r;
    }
  }
  if (s > maxSector_) return (broken_ = STG_E_DOCFILETOOLARGE);
  if (lock != kNone && s > lock && fat_[lock] == FREESECT) FatSet(lock, ENDOFCHAIN);
  FatSet(s, ENDOFCHAIN);
  if (s >= fileSectors_) fileSectors_ = s + 1;
  *out = s;
  return S_OK;
}

Result CfbFile::ZeroSector(uint32_t sector) {
  uint64_t off = SectorOffset(sector);
  if (off >= fileBytes_) {  // past the end of the file: extending it gives zeros for free
    if (::ftruncate(fd_, off_t(off + sectorSize_)) != 0) return Fail(errno);
    fileBytes_ = off + sectorSize_;
    return S_OK;
  }
  return WriteAt(kZeros, sectorSize_, off);
}

Result CfbFile::AllocMini(uint32_t after, uint32_t* out) {
  uint32_t m = kNone;
  if (after != kNone && uint64_t(after) + 1 < miniFat_.size() && miniFat_[after + 1] == FREESECT)
    m = after + 1;
  while (m == kNone) {
    while (miniHint_ < miniFat_.size() && miniFat_[miniHint_] != FREESECT) ++miniHint_;
    if (miniHint_ < miniFat_.size()) {
      m = miniHint_++;
      break;
    }
    // Another mini FAT sector: written whole (FlushMini) before the FAT link that adds it.
    uint32_t s;
    Result r = AllocSector(miniFatSectors_.empty() ? kNone : miniFatSectors_.back(), &s);
    if (r != S_OK) return r;
    if (!miniFatSectors_.empty()) FatLink(miniFatSectors_.back(), s);
    miniFatSectors_.push_back(s);
    miniFat_.resize(miniFat_.size() + perSector_, FREESECT);
    headerDirty_ = true;
  }
  // The mini stream must reach over the new mini sector; its new sectors read as zeros.
  const uint64_t need = (uint64_t(m) + 1) * kMiniSectorSize;
  while ((uint64_t(miniChain_.size()) << shift_) < need) {
    uint32_t s;
    Result r = AllocSector(miniChain_.empty() ? kNone : miniChain_.back(), &s);
    if (r == S_OK) r = ZeroSector(s);
    if (r != S_OK) return r;
    if (miniChain_.empty())
      dir_[0].start = s;
    else
      FatLink(miniChain_.back(), s);
    miniChain_.push_back(s);
    rootDirty_ = true;
  }
  if (need > miniSize_) {
    miniSize_ = need;
    rootDirty_ = true;
  }
  MiniSet(m, ENDOFCHAIN);
  *out = m;
  return S_OK;
}

// Writes the dirty slots of one table (FAT or mini FAT) that lie in sectors already in the file.
// Neighbouring slots of one sector go in one write. Slots that link a new piece onto a chain that
// is already visible are written last, after the slots of the new piece itself.
Result CfbFile::FlushRuns(std::vector<uint32_t>& dirty, std::vector<uint32_t>& links,
                          const std::vector<uint32_t>& table, const std::vector<uint32_t>& sectors,
                          size_t freshFrom) {
  Result r = S_OK;
  if (!dirty.empty()) {
    std::sort(dirty.begin(), dirty.end());
    dirty.erase(std::unique(dirty.begin(), dirty.end()), dirty.end());
    std::sort(links.begin(), links.end());
    for (int pass = 0; pass < 2 && r == S_OK; ++pass) {
      for (size_t i = 0; i < dirty.size() && r == S_OK;) {
        const uint32_t a = dirty[i];
        const size_t sec = a / perSector_;
        size_t j = i + 1;
        uint32_t b = a;
        while (j < dirty.size() && dirty[j] / perSector_ == sec && dirty[j] - b <= 16) b = dirty[j++];
        i = j;
        if (sec >= freshFrom) continue;  // a new sector, already written whole
        auto it = std::lower_bound(links.begin(), links.end(), a);
        bool hasLink = it != links.end() && *it <= b;
        if (hasLink != (pass == 1)) continue;
        r = WriteAt(&table[a], size_t(b - a + 1) * 4,
                    SectorOffset(sectors[sec]) + uint64_t(a % perSector_) * 4);
      }
    }
  }
  dirty.clear();
  links.clear();
  return r;
}

// New FAT and DIFAT sectors reach the file before the header that counts them, and the header
// before the old FAT slots that may point into sectors only the new FAT sectors describe.
Result CfbFile::FlushFat() {
  const size_t freshFrom = fatWritten_;
  Result r = S_OK;
  for (size_t i = fatWritten_; i < fatSectors_.size() && r == S_OK; ++i)
    r = WriteAt(&fat_[i * perSector_], sectorSize_, SectorOffset(fatSectors_[i]));
  if (r != S_OK) return r;
  fatWritten_ = fatSectors_.size();
  if (difatWritten_ < difatSectors_.size() || !difatDirty_.empty()) {
    for (size_t i = difatWritten_; i < difatSectors_.size(); ++i) difatDirty_.push_back(uint32_t(i));
    std::sort(difatDirty_.begin(), difatDirty_.end());
    difatDirty_.erase(std::unique(difatDirty_.begin(), difatDirty_.end()), difatDirty_.end());
    std::vector<uint8_t> buf(sectorSize_);
    // Newest first: a DIFAT sector is complete before the one before it points at it.
    for (size_t n = difatDirty_.size(); n-- > 0 && r == S_OK;) {
      const size_t p = difatDirty_[n];
      for (uint32_t j = 0; j + 1 < perSector_; ++j) {
        size_t k = kHeaderDifatSlots + p * (perSector_ - 1) + j;
        Put32(&buf[4 * j], k < fatSectors_.size() ? fatSectors_[k] : FREESECT);
      }
      Put32(&buf[4 * (perSector_ - 1)], p + 1 < difatSectors_.size() ? difatSectors_[p + 1] : ENDOFCHAIN);
      r = WriteAt(buf.data(), sectorSize_, SectorOffset(difatSectors_[p]));
    }
    if (r != S_OK) return r;
    difatDirty_.clear();
    difatWritten_ = difatSectors_.size();
  }
  if (headerDirty_) r = WriteHeader();
  if (r != S_OK) return r;
  return FlushRuns(dirtyFat_, fatLinks_, fat_, fatSectors_, freshFrom);
}

// New mini FAT sectors first (nothing points at them yet), then the FAT (which links them and new
// mini stream sectors in), then the old mini FAT slots, then the mini stream's length.
Result CfbFile::FlushMini() {
  const size_t freshFrom = miniFatWritten_;
  Result r = S_OK;
  for (size_t i = miniFatWritten_; i < miniFatSectors_.size() && r == S_OK; ++i)
    r = WriteAt(&miniFat_[i * perSector_], sectorSize_, SectorOffset(miniFatSectors_[i]));
  if (r != S_OK) return r;
  miniFatWritten_ = miniFatSectors_.size();
  r = FlushFat();
  if (r == S_OK) r = FlushRuns(dirtyMini_, miniLinks_, miniFat_, miniFatSectors_, freshFrom);
  if (r == S_OK && rootDirty_) {
    dir_[0].size = miniSize_;
    r = WriteEntry(0);
    if (r == S_OK) rootDirty_ = false;
  }
  return r;
}

void CfbFile::FreeUnits(bool mini, const std::vector<uint32_t>& units, size_t from) {
  for (size_t i = from; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (mini) {
      MiniSet(u, FREESECT);
      miniHint_ = std::min(miniHint_, u);
    } else {
      FatSet(u, FREESECT);
      fatHint_ = std::min(fatHint_, u);
    }
  }
}

Result CfbFile::WalkChain(bool mini, uint32_t start, uint64_t size, std::vector<uint32_t>* chain) {
  chain->clear();
  if (size == 0) return S_OK;
  const std::vector<uint32_t>& table = mini ? miniFat_ : fat_;
  const uint64_t units = CeilDiv(size, mini ? kMiniSectorSize : sectorSize_);
  if (units > table.size()) return STG_E_DOCFILECORRUPT;
  NextEpoch(table.size());
  chain->reserve(size_t(units));
  uint32_t cur = start;
  for (uint64_t i = 0; i < units; ++i) {
    bool ok = cur < table.size() && stamp_[cur] != epoch_;
    if (ok && mini)
      ok = uint64_t(cur) * kMiniSectorSize < miniSize_ &&
           (uint64_t(cur) + 1) * kMiniSectorSize <= (uint64_t(miniChain_.size()) << shift_);
    if (ok && !mini) ok = cur < fileSectors_;
    if (!ok) {
      chain->clear();
      return STG_E_DOCFILECORRUPT;
    }
    stamp_[cur] = epoch_;
    chain->push_back(cur);
    cur = table[cur];
  }
  return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Streams

uint64_t CfbFile::EntrySize(uint32_t sid) const {
  uint64_t size = dir_[sid].size;
  return version_ == 3 ? (size & 0xFFFFFFFFull) : size;
}

Result CfbFile::LoadStream(StreamState* st) {
  const uint64_t size = EntrySize(st->sid);
  st->mini = size < kMiniStreamCutoff;
  return WalkChain(st->mini, dir_[st->sid].start, size, &st->chain);
}

Result CfbFile::ReadUnits(bool mini, const std::vector<uint32_t>& chain, uint64_t pos,
                          uint8_t* out, size_t count) {
  const uint64_t unit = mini ? kMiniSectorSize : sectorSize_;
  while (count > 0) {
    uint64_t u = pos / unit;
    const uint64_t off = UnitOffset(mini, chain[u]) + pos % unit;
    size_t len = size_t(std::min<uint64_t>(count, unit - pos % unit));
    // Units that follow each other in the file are read with one call.
    while (len < count && UnitOffset(mini, chain[u + 1]) == off + len) {
      ++u;
      len += size_t(std::min<uint64_t>(count - len, unit));
    }
    Result r = ReadAt(out, len, off, 0);
    if (r != S_OK) return r;
    out += len;
    pos += len;
    count -= len;
  }
  return S_OK;
}

Result CfbFile::ReadStream(const StreamState& st, uint64_t pos, void* buffer, uint32_t count,
                           uint32_t* read) {
  const uint64_t size = EntrySize(st.sid);
  *read = 0;
  if (pos >= size || count == 0) return S_OK;
  size_t n = size_t(std::min<uint64_t>(count, size - pos));
  Result r = ReadUnits(st.mini, st.chain, pos, static_cast<uint8_t*>(buffer), n);
  if (r == S_OK) *read = uint32_t(n);
  return r;
}

// Writes bytes [pos, pos + count) of a stream into its units, with zeros for [oldSize, pos) and,
// in units from `firstFresh` on (newly allocated, so holding anything), zeros up to the end of
// the last unit: the tail of a stream's last sector always reads as zero. Units that follow each
// other in the file go out in one pwritev.
Result CfbFile::PutRange(bool mini, const std::vector<uint32_t>& chain, uint64_t firstFresh,
                         uint64_t oldSize, uint64_t pos, const uint8_t* data, size_t count) {
  const uint64_t unit = mini ? kMiniSectorSize : sectorSize_;
  const uint64_t end = pos + count;
  const uint64_t from = std::min(pos, oldSize);
  if (end <= from) return S_OK;
  const uint64_t lastUnit = (end - 1) / unit;
  const uint64_t to = lastUnit >= firstFresh ? (lastUnit + 1) * unit : end;
  struct iovec iov[kMaxIov];
  int n = 0;
  uint64_t runOff = 0, runLen = 0, extendTo = 0;
  Result r = S_OK;
  auto add = [&](uint64_t off, const uint8_t* base, size_t len) {
    if (len == 0 || r != S_OK) return;
    if (n > 0 && (off != runOff + runLen || n == kMaxIov)) {
      r = WriteVec(iov, n, runOff);
      n = 0;
      if (r != S_OK) return;
    }
    if (n == 0) {
      runOff = off;
      runLen = 0;
    }
    if (n > 0 && static_cast<uint8_t*>(iov[n - 1].iov_base) + iov[n - 1].iov_len == base &&
        base != kZeros) {
      iov[n - 1].iov_len += len;
    } else {
      iov[n].iov_base = const_cast<uint8_t*>(base);
      iov[n].iov_len = len;
      ++n;
    }
    runLen += len;
  };
  for (uint64_t u = from / unit; u * unit < to && r == S_OK; ++u) {
    const uint64_t a = std::max(from, u * unit), b = std::min(to, (u + 1) * unit);
    const uint64_t off = UnitOffset(mini, chain[u]) + (a - u * unit);
    if (!mini && u >= firstFresh && (b <= pos || a >= end) && off >= fileBytes_) {
      extendTo = std::max(extendTo, off + (b - a));  // zeros past the end: left to ftruncate
      continue;
    }
    if (a < std::min(b, pos)) add(off, kZeros, size_t(std::min(b, pos) - a));
    const uint64_t ds = std::max(a, pos), de = std::min(b, end);
    if (ds < de) add(off + (ds - a), data + (ds - pos), size_t(de - ds));
    const uint64_t zs = std::max(a, end);
    if (zs < b) add(off + (zs - a), kZeros, size_t(b - zs));
  }
  if (r == S_OK && n > 0) r = WriteVec(iov, n, runOff);
  if (r == S_OK && extendTo > fileBytes_) {
    if (::ftruncate(fd_, off_t(extendTo)) != 0) return Fail(errno);
    fileBytes_ = extendTo;
  }
  return r;
}

Result CfbFile::SetEntrySize(uint32_t sid, uint32_t start, uint64_t size) {
  DirEntry& e = dir_[sid];
  if (e.start == start && e.size == size) return S_OK;
  const bool sizeOnly = e.start == start;
  e.start = start;
  e.size = size;
  if (!sizeOnly) return WriteEntry(sid);
  // The common case of an append: only the 8 bytes of the size change.
  const uint64_t stored = version_ == 3 ? (size & 0xFFFFFFFFull) : size;
  if (uint64_t* field = MappedSize(sid)) {
    // One aligned 8-byte store: a kill cannot leave half of it (see MappedSize).
    __atomic_store_n(field, stored, __ATOMIC_RELEASE);
    return S_OK;
  }
  uint8_t raw[8];
  Put64(raw, stored);
  return WriteAt(raw, sizeof raw, EntryOffset(sid) + ent::kSize);
}

// The size field of entry `sid` in a shared, writable mapping of its directory page, or nullptr
// where the size has to go out with pwrite. Appends then cost one system call (the data) instead
// of two, and direct mode and the crash order still hold:
// - A store into a MAP_SHARED file mapping lands in the very page-cache page that pwrite and pread
//   use (Linux's page cache is unified), so once the store is made the file holds the new size,
//   exactly as after a pwrite returns; a process killed at any later instant leaves those bytes.
// - The data and FAT writes have returned before the store, so the order stays data, FAT links,
//   size. The store is one aligned 8-byte store, which a kill cannot tear; whole entries (tree
//   switches) still go through pwrite, because a 128-byte copy could be cut short.
// What keeps the mapping from faulting: only the page holding the sector is mapped, and only once
// it lies wholly inside the file (a page past the end raises SIGBUS; while we hold the file for
// writing it only grows). fallocate first gives every block of the page its disk space through a
// call that can say the disk is full; a store into a hole would need the space at fault time,
// where a full disk is a SIGBUS. Filesystems that copy on every write (and so need fresh space
// even for a store over allocated bytes), or are shared over a network, are not mapped at all.
// A read-only file never maps; any failure just leaves the pwrite.
uint64_t* CfbFile::MappedSize(uint32_t sid) {
  if (!mappable_) return nullptr;
  static_assert(kDirEntrySize == 128, "entries per sector are counted by shifts");
  const uint32_t entryShift = shift_ - 7;  // 32 entries to a 4096-byte sector, 4 to a 512-byte one
  const size_t index = sid >> entryShift;
  if (index >= dirMaps_.size()) dirMaps_.resize(dirSectors_.size(), nullptr);
  void*& map = dirMaps_[index];
  if (map == MAP_FAILED) return nullptr;
  if (map == nullptr) {
    static const uint64_t page = uint64_t(::sysconf(_SC_PAGESIZE));
    const uint64_t sector = SectorOffset(dirSectors_[index]);
    const uint64_t base = sector & ~(page - 1);
    if (base + page > fileBytes_) return nullptr;  // not yet: asked again once the file has grown
    void* p = MAP_FAILED;
    if (page >= sectorSize_ && ::fallocate(fd_, 0, off_t(base), off_t(page)) == 0)
      p = ::mmap(nullptr, size_t(page), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, off_t(base));
    if (p == MAP_FAILED) {
      map = MAP_FAILED;
      return nullptr;
    }
    map = static_cast<uint8_t*>(p) + (sector - base);
  }
  const size_t inSector = size_t(sid & ((1u << entryShift) - 1)) * kDirEntrySize;
  return reinterpret_cast<uint64_t*>(static_cast<uint8_t*>(map) + inSector + ent::kSize);
}

void CfbFile::UnmapDirectory() {
  const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
  for (void* map : dirMaps_)
    if (map != nullptr && map != MAP_FAILED)
      ::munmap(reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(map) & ~(page - 1)), page);
  dirMaps_.clear();
}

Result CfbFile::MutableCheck() const {
  if (!writable_) return STG_E_ACCESSDENIED;
  return broken_;
}

// The write path. A process may die between any two system calls, so the order is fixed:
//   1. data goes into sectors that nothing in the file refers to yet (new sectors, or the
//      unused tail of the current last sector, which lies past the recorded size);
//   2. then the FAT (or mini FAT) links that add those sectors to the chain;
//   3. last the directory entry whose size (and start) makes the new bytes part of the stream.
// A kill before step 3 leaves the stream as it was before the call; after it, complete. Data
// written over existing bytes is visible at once, as with any file.
Result CfbFile::Grow(StreamState* st, uint64_t pos, const uint8_t* data, size_t count) {
  const uint32_t sid = st->sid;
  const uint64_t oldSize = EntrySize(sid);
  const uint64_t newSize = std::max(oldSize, pos + count);
  if (version_ == 3 && newSize > 0x80000000ull) return STG_E_DOCFILETOOLARGE;
  if (newSize / sectorSize_ >= MAXREGSECT) return STG_E_DOCFILETOOLARGE;
  Result r;

  if (newSize < kMiniStreamCutoff) {
    const size_t oldUnits = st->chain.size();
    const size_t newUnits = size_t(CeilDiv(newSize, kMiniSectorSize));
    if (newUnits > oldUnits && (r = CheckGrowth(4)) != S_OK) return r;
    for (size_t u = oldUnits; u < newUnits; ++u) {
      uint32_t m;
      r = AllocMini(st->chain.empty() ? kNone : st->chain.back(), &m);
      if (r != S_OK) return (broken_ = r);
      if (!st->chain.empty()) {
        if (u == oldUnits)
          MiniLink(st->chain.back(), m);
        else
          MiniSet(st->chain.back(), m);
      }
      st->chain.push_back(m);
    }
    r = PutRange(true, st->chain, oldUnits, oldSize, pos, data, count);
    if (r == S_OK && newUnits > oldUnits) r = FlushMini();
    if (r != S_OK) return r;
    return SetEntrySize(sid, st->chain.empty() ? ENDOFCHAIN : st->chain[0], newSize);
  }

  if (st->mini && oldSize > 0) {
    // Out of the mini stream: the bytes are copied into a new regular chain, the directory entry
    // switches to it in one write, and only then is the mini chain given back.
    scratch_.resize(size_t(oldSize));
    r = ReadUnits(true, st->chain, 0, scratch_.data(), size_t(oldSize));
    if (r != S_OK) return r;
    const uint64_t units = CeilDiv(newSize, sectorSize_);
    if ((r = CheckGrowth(units)) != S_OK) return r;
    tmpChain_.clear();
    for (uint64_t i = 0; i < units; ++i) {
      uint32_t s;
      r = AllocSector(tmpChain_.empty() ? kNone : tmpChain_.back(), &s);
      if (r != S_OK) return (broken_ = r);
      if (!tmpChain_.empty()) FatSet(tmpChain_.back(), s);
      tmpChain_.push_back(s);
    }
    r = PutRange(false, tmpChain_, 0, 0, 0, scratch_.data(), size_t(oldSize));
    if (r == S_OK)
      r = PutRange(false, tmpChain_, CeilDiv(oldSize, sectorSize_), oldSize, pos, data, count);
    if (r == S_OK) r = FlushFat();
    if (r == S_OK) r = SetEntrySize(sid, tmpChain_[0], newSize);
    if (r != S_OK) return r;
    FreeUnits(true, st->chain, 0);
    st->chain.swap(tmpChain_);
    st->mini = false;
    return FlushMini();
  }

  st->mini = false;
  const size_t oldUnits = st->chain.size();
  const uint64_t newUnits = CeilDiv(newSize, sectorSize_);
  if (newUnits > oldUnits) {
    if ((r = CheckGrowth(newUnits - oldUnits)) != S_OK) return r;
    if (newUnits > st->chain.capacity())  // geometric growth: appends stay O(1) per sector
      st->chain.reserve(std::max<size_t>(size_t(newUnits), st->chain.capacity() * 2));
    for (uint64_t u = oldUnits; u < newUnits; ++u) {
      uint32_t s;
      r = AllocSector(st->chain.empty() ? kNone : st->chain.back(), &s);
      if (r != S_OK) return (broken_ = r);
      if (!st->chain.empty()) {
        if (u == oldUnits)
          FatLink(st->chain.back(), s);
        else
          FatSet(st->chain.back(), s);
      }
      st->chain.push_back(s);
    }
  }
  r = PutRange(false, st->chain, oldUnits, oldSize, pos, data, count);
  if (r == S_OK && newUnits > oldUnits) r = FlushFat();
  if (r != S_OK) return r;
  return SetEntrySize(sid, st->chain[0], newSize);
}

Result CfbFile::WriteStream(StreamState* st, uint64_t pos, const void* buffer, uint32_t count) {
  if (Result r = MutableCheck()) return r;
  if (count == 0) return S_OK;
  const uint64_t end = pos + count;
  if (end < pos) return STG_E_DOCFILETOOLARGE;
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  // Most writes (a record appended, a record rewritten in place) land inside one sector that a
  // regular stream already has, with no gap before them: the data, then the size, in the order
  // Grow keeps, which does the same for them with more bookkeeping (no sector is new, so nothing
  // needs zeros). Its size limits cannot be reached from inside the stream's own sectors, except
  // by a version 3 stream another writer left at 2 GB or more, which goes the long way.
  const uint64_t unit = pos >> shift_;
  const uint64_t oldSize = EntrySize(st->sid);
  if (!st->mini && pos <= oldSize && (version_ == 4 || oldSize < 0x80000000ull) &&
      unit < st->chain.size() && unit == (end - 1) >> shift_) {
    const uint64_t at = SectorOffset(st->chain[size_t(unit)]) + (pos & (sectorSize_ - 1));
    Result r = WriteAt(data, count, at);
    if (r != S_OK) return r;
    return SetEntrySize(st->sid, st->chain[0], std::max(oldSize, end));
  }
  return Grow(st, pos, data, count);
}

// Shrinking runs the other way round: the smaller size is recorded first, so the bytes beyond it
// are gone before their sectors are cut off the chain and freed.
Result CfbFile::ResizeStream(StreamState* st, uint64_t size) {
  if (Result r = MutableCheck()) return r;
  const uint32_t sid = st->sid;
  const uint64_t oldSize = EntrySize(sid);
  if (size == oldSize) return S_OK;
  if (size > oldSize) return Grow(st, size, nullptr, 0);
  Result r;
  if (size == 0) {
    r = SetEntrySize(sid, ENDOFCHAIN, 0);
    if (r != S_OK) return r;
    FreeUnits(st->mini, st->chain, 0);
    r = st->mini ? FlushMini() : FlushFat();
    st->chain.clear();
    st->mini = true;
    return r;
  }
  if (!st->mini && size < kMiniStreamCutoff) {
    // Back into the mini stream: copy, switch the entry, then free the regular chain.
    scratch_.resize(size_t(size));
    r = ReadUnits(false, st->chain, 0, scratch_.data(), size_t(size));
    if (r != S_OK) return r;
    if ((r = CheckGrowth(4)) != S_OK) return r;
    tmpChain_.clear();
    const uint64_t units = CeilDiv(size, kMiniSectorSize);
    for (uint64_t i = 0; i < units; ++i) {
      uint32_t m;
      r = AllocMini(tmpChain_.empty() ? kNone : tmpChain_.back(), &m);
      if (r != S_OK) return (broken_ = r);
      if (!tmpChain_.empty()) MiniSet(tmpChain_.back(), m);
      tmpChain_.push_back(m);
    }
    r = PutRange(true, tmpChain_, 0, 0, 0, scratch_.data(), size_t(size));
    if (r == S_OK) r = FlushMini();
    if (r == S_OK) r = SetEntrySize(sid, tmpChain_[0], size);
    if (r != S_OK) return r;
    FreeUnits(false, st->chain, 0);
    st->chain.swap(tmpChain_);
    st->mini = true;
    return FlushFat();
  }
  const uint64_t unit = st->mini ? kMiniSectorSize : sectorSize_;
  const size_t units = size_t(CeilDiv(size, unit));
  r = SetEntrySize(sid, st->chain[0], size);
  if (r == S_OK && size % unit != 0) {
    const uint64_t tail = size % unit;
    r = WriteAt(kZeros, size_t(unit - tail), UnitOffset(st->mini, st->chain[units - 1]) + tail);
  }
  if (r != S_OK || units == st->chain.size()) return r;
  if (st->mini)
    MiniSet(st->chain[units - 1], ENDOFCHAIN);
  else
    FatSet(st->chain[units - 1], ENDOFCHAIN);
  FreeUnits(st->mini, st->chain, units);
  st->chain.resize(units);
  return st->mini ? FlushMini() : FlushFat();
}

}  // namespace detail
}  // namespace zycfb
