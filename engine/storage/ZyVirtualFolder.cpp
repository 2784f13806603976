#include "engine/storage/ZyVirtualFolder.h"

#include <utility>

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "platform/framework/Exception.h"

namespace {

// Storages are always opened and created exclusively, for reading and writing.
constexpr uint32_t kStorageFlags = zycfb::STGM_SHARE_EXCLUSIVE | zycfb::STGM_READWRITE;

[[noreturn]] void RaiseIndex(int32_t index) {
  throw zyfw::EListError(zydFormat("List index out of bounds (%d)", index));
}

// Element names compare as the compound file compares them, letter case aside.
bool SameElementName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
    if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

TZyVirtualFolder::TZyVirtualFolder() = default;

TZyVirtualFolder::TZyVirtualFolder(std::shared_ptr<zycfb::Storage> parent,
                                   const zycfb::ElementStat* statistics, std::u16string name,
                                   uint64_t mode) {
  Init(std::move(parent), statistics, std::move(name), mode);
}

void TZyVirtualFolder::Init(std::shared_ptr<zycfb::Storage> parent,
                            const zycfb::ElementStat* statistics, std::u16string name,
                            uint64_t mode) {
  parent_ = std::move(parent);
  name_ = std::move(name);
  mode_ = mode;
  if (statistics != nullptr) {
    creationTime_ = FileTimeToDateTime(statistics->creationTime);
    modificationTime_ = FileTimeToDateTime(statistics->modificationTime);
    accessTime_ = FileTimeToDateTime(statistics->accessTime);
  }
  if (mode_ & zydVirtualCreate) {
    std::shared_ptr<zycfb::Storage> created;
    lastResult_ = parent_ == nullptr ? zycfb::STG_E_INVALIDHANDLE
                                     : parent_->CreateStorage(name_, kStorageFlags, &created);
    if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStorageCreateStorage);
  }
}

TZyVirtualFolder::~TZyVirtualFolder() { Close(); }

void TZyVirtualFolder::Open(uint64_t mode) {
  // Children of an earlier opening hold the storage being replaced; they go with it.
  Close();
  openMode_ = mode;
  std::shared_ptr<zycfb::Storage> storage;
  lastResult_ = parent_ == nullptr ? zycfb::STG_E_INVALIDHANDLE
                                   : parent_->OpenStorage(name_, kStorageFlags, &storage);
  if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStorageOpenStorage);
  storage_ = std::move(storage);
  if (openMode_ & zydVirtualFolderUnlisted) return;

  std::vector<zycfb::ElementStat> elements;
  lastResult_ = storage_->EnumElements(&elements);
  // Not listing a folder's children would make its tables look absent; say so instead.
  if (lastResult_ != zycfb::S_OK) {
    storage_.reset();
    throw EZyException(lastResult_, zydMthStorageEnumElements);
  }
  for (const zycfb::ElementStat& element : elements) {
    if (element.type == zycfb::STGTY_STORAGE)
      folders_.push_back(std::make_unique<TZyVirtualFolder>(storage_, &element, element.name, 0));
    else if (element.type == zycfb::STGTY_STREAM)
      files_.push_back(std::make_unique<TZyVirtualFile>(storage_, &element, element.name, 0));
  }
}

void TZyVirtualFolder::Close() {
  for (auto& folder : folders_) folder.reset();
  folders_.clear();
  for (auto& file : files_) file.reset();
  files_.clear();
  storage_.reset();
}

TZyVirtualRef<TZyVirtualFolder> TZyVirtualFolder::FolderCreate(const std::u16string& name) {
  auto folder = std::make_unique<TZyVirtualFolder>(storage_, nullptr, name, zydVirtualCreate);
  if (openMode_ & zydVirtualFolderUnlisted)
    return TZyVirtualRef<TZyVirtualFolder>::Owned(std::move(folder));
  folders_.push_back(std::move(folder));
  return TZyVirtualRef<TZyVirtualFolder>::Listed(folders_.back().get());
}

TZyVirtualRef<TZyVirtualFile> TZyVirtualFolder::FileCreate(const std::u16string& name) {
  auto file = std::make_unique<TZyVirtualFile>(storage_, nullptr, name, zydVirtualCreate);
  if (openMode_ & zydVirtualFolderUnlisted)
    return TZyVirtualRef<TZyVirtualFile>::Owned(std::move(file));
  files_.push_back(std::move(file));
  return TZyVirtualRef<TZyVirtualFile>::Listed(files_.back().get());
}

std::unique_ptr<TZyVirtualFile> TZyVirtualFolder::FileOpen(const std::u16string& name,
                                                           uint64_t mode) {
  auto file = std::make_unique<TZyVirtualFile>(storage_, nullptr, name, 0);
  file->Open(mode);
  return file;
}

void TZyVirtualFolder::FolderRename(const std::u16string& newName, const std::u16string& oldName) {
  lastResult_ = parent_ == nullptr ? zycfb::STG_E_INVALIDHANDLE
                                   : parent_->RenameElement(oldName, newName);
  if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStorageRenameElement);
  if (SameElementName(oldName, name_)) name_ = newName;
}

TZyVirtualFolder* TZyVirtualFolder::FolderGet(int32_t index) const {
  if (index < 0 || index >= FolderCountGet()) RaiseIndex(index);
  return folders_[index].get();
}

TZyVirtualFile* TZyVirtualFolder::FileGet(int32_t index) const {
  if (index < 0 || index >= FileCountGet()) RaiseIndex(index);
  return files_[index].get();
}
