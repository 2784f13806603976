// A storage of the compound file as a folder of child folders and files. Opening a folder lists
// its children (unless asked not to); the folder owns every child it lists, and closing it
// destroys them. Children it does not list belong to whoever asked for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/storage/ZyVirtualFile.h"
#include "platform/compound/Compound.h"
#include "platform/framework/DateTime.h"

// A child handed out by FolderCreate / FileCreate: borrowed when the folder lists it (the folder
// owns it), owned by this handle when it does not (a folder opened with zydVirtualFolderUnlisted),
// so that dropping the handle destroys an unlisted child and nothing else.
template <class T>
class TZyVirtualRef {
 public:
  TZyVirtualRef() = default;
  static TZyVirtualRef Listed(T* item) {
    TZyVirtualRef r;
    r.item_ = item;
    return r;
  }
  static TZyVirtualRef Owned(std::unique_ptr<T> item) {
    TZyVirtualRef r;
    r.item_ = item.get();
    r.owned_ = std::move(item);
    return r;
  }

  T* get() const { return item_; }
  T* operator->() const { return item_; }
  T& operator*() const { return *item_; }
  explicit operator bool() const { return item_ != nullptr; }
  // True when the folder owns the child.
  bool IsListed() const { return item_ != nullptr && owned_ == nullptr; }
  // The unlisted child, for keeping beyond this handle; empty for a listed one.
  std::unique_ptr<T> Release() { return std::move(owned_); }

 private:
  T* item_ = nullptr;
  std::unique_ptr<T> owned_;
};

class TZyVirtualFolder {
 public:
  // With zydVirtualCreate in mode the storage is created in parent (and released again: the
  // folder is not open afterwards). statistics, from an enumeration, supply the times; may be null.
  TZyVirtualFolder(std::shared_ptr<zycfb::Storage> parent, const zycfb::ElementStat* statistics,
                   std::u16string name, uint64_t mode);
  virtual ~TZyVirtualFolder();
  TZyVirtualFolder(const TZyVirtualFolder&) = delete;
  TZyVirtualFolder& operator=(const TZyVirtualFolder&) = delete;

  // Opens the storage and, unless mode has zydVirtualFolderUnlisted, lists its children in the
  // service's order (neither opened nor created). Children of an earlier opening are destroyed.
  void Open(uint64_t mode);
  // Destroys the listed child folders, then the listed files, first to last; releases the storage.
  void Close();
  bool IsOpen() const { return storage_ != nullptr; }

  // A new, empty child storage (not open) / a new, open child stream replacing one of that name.
  TZyVirtualRef<TZyVirtualFolder> FolderCreate(const std::u16string& name);
  TZyVirtualRef<TZyVirtualFile> FileCreate(const std::u16string& name);
  // An existing stream, opened with mode (see TZyVirtualFile::Open); never listed.
  std::unique_ptr<TZyVirtualFile> FileOpen(const std::u16string& name, uint64_t mode);
  // Renames the element oldName of the storage that holds this folder; when that element is this
  // folder, the folder takes the new name.
  void FolderRename(const std::u16string& newName, const std::u16string& oldName);

  int32_t FolderCountGet() const { return static_cast<int32_t>(folders_.size()); }
  int32_t FileCountGet() const { return static_cast<int32_t>(files_.size()); }
  // The listed child at index; outside the list raises zyfw::EListError.
  TZyVirtualFolder* FolderGet(int32_t index) const;
  TZyVirtualFile* FileGet(int32_t index) const;

  const std::u16string& NameGet() const { return name_; }
  uint64_t ModeGet() const { return mode_; }
  uint64_t OpenModeGet() const { return openMode_; }
  uint32_t LastResultGet() const { return lastResult_; }
  zyfw::TDateTime CreationTimeGet() const { return creationTime_; }
  zyfw::TDateTime ModificationTimeGet() const { return modificationTime_; }
  zyfw::TDateTime AccessTimeGet() const { return accessTime_; }
  // The open storage, or null.
  const std::shared_ptr<zycfb::Storage>& StorageGet() const { return storage_; }

 protected:
  // An empty folder with no parent; the disk sets itself up later with Init.
  TZyVirtualFolder();
  void Init(std::shared_ptr<zycfb::Storage> parent, const zycfb::ElementStat* statistics,
            std::u16string name, uint64_t mode);

  uint32_t lastResult_ = 0;

 private:
  std::shared_ptr<zycfb::Storage> parent_;
  std::shared_ptr<zycfb::Storage> storage_;
  std::u16string name_;
  uint64_t mode_ = 0;
  uint64_t openMode_ = 0;
  std::vector<std::unique_ptr<TZyVirtualFolder>> folders_;
  std::vector<std::unique_ptr<TZyVirtualFile>> files_;
  zyfw::TDateTime creationTime_ = 0, modificationTime_ = 0, accessTime_ = 0;
};
