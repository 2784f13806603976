#include "engine/storage/ZyVirtualFile.h"

#include <utility>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"

TZyVirtualFile::TZyVirtualFile(std::shared_ptr<zycfb::Storage> parent,
                               const zycfb::ElementStat* statistics, std::u16string name,
                               uint64_t mode)
    : parent_(std::move(parent)), name_(std::move(name)), mode_(mode) {
  if (mode_ & zydVirtualCreate) {
    lastResult_ = parent_ == nullptr
                      ? zycfb::STG_E_INVALIDHANDLE
                      : parent_->CreateStream(name_,
                                              zycfb::STGM_CREATE | zycfb::STGM_SHARE_EXCLUSIVE |
                                                  zycfb::STGM_READWRITE,
                                              &stream_);
    if (lastResult_ != zycfb::S_OK) {
      stream_.reset();
      throw EZyException(lastResult_, zydMthStorageCreateStream);
    }
  }
  if (statistics != nullptr) {
    creationTime_ = FileTimeToDateTime(statistics->creationTime);
    modificationTime_ = FileTimeToDateTime(statistics->modificationTime);
    accessTime_ = FileTimeToDateTime(statistics->accessTime);
    size_ = static_cast<int64_t>(statistics->size);
  }
}

TZyVirtualFile::~TZyVirtualFile() { Close(); }

void TZyVirtualFile::Open(uint64_t mode) {
  stream_.reset();
  uint32_t flags = 0;
  if (mode & zydVirtualFileExclusive) flags |= zycfb::STGM_SHARE_EXCLUSIVE;
  if (mode & zydVirtualFileRead) flags |= zycfb::STGM_READ;
  if (mode & zydVirtualFileWrite) flags |= zycfb::STGM_WRITE;
  if (mode & zydVirtualFileReadWrite) flags |= zycfb::STGM_READWRITE;
  lastResult_ = parent_ == nullptr ? zycfb::STG_E_INVALIDHANDLE
                                   : parent_->OpenStream(name_, flags, &stream_);
  if (lastResult_ != zycfb::S_OK) {
    stream_.reset();
    throw EZyException(lastResult_, zydMthStorageOpenStream);
  }
}

void TZyVirtualFile::Close() { stream_.reset(); }

int32_t TZyVirtualFile::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  uint32_t moved = 0;
  lastResult_ = stream_ == nullptr
                    ? zycfb::STG_E_INVALIDHANDLE
                    : stream_->Read(buffer, static_cast<uint32_t>(count), &moved);
  if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStreamRead);
  return static_cast<int32_t>(moved);
}

int32_t TZyVirtualFile::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  uint32_t moved = 0;
  lastResult_ = stream_ == nullptr
                    ? zycfb::STG_E_INVALIDHANDLE
                    : stream_->Write(buffer, static_cast<uint32_t>(count), &moved);
  if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStreamWrite);
  return static_cast<int32_t>(moved);
}

int64_t TZyVirtualFile::Seek(int64_t offset, uint16_t origin) { return HugeSeek(offset, origin); }

int64_t TZyVirtualFile::HugeSeek(int64_t offset, uint16_t origin) {
  if (stream_ == nullptr) return -1;
  uint64_t position = 0;
  lastResult_ = stream_->Seek(offset, origin, &position);
  return lastResult_ == zycfb::S_OK ? static_cast<int64_t>(position) : -1;
}

void TZyVirtualFile::SetSize(int64_t size) {
  if (stream_ == nullptr || size < 0) return;
  lastResult_ = stream_->SetSize(static_cast<uint64_t>(size));
}

int64_t TZyVirtualFile::FileSizeGet() { return stream_ != nullptr ? Size() : size_; }
