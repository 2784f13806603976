// The open database file: a compound file whose root storage holds one storage, "Root", inside
// which the engine keeps everything. The disk is itself the folder "Root".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/storage/ZyVirtualFolder.h"

class TZyVirtualDisk : public TZyVirtualFolder {
 public:
  TZyVirtualDisk();
  ~TZyVirtualDisk() override;

  // With zydVirtualCreate in mode: a new compound file (replacing any file of that name) with an
  // empty "Root"; otherwise the existing file, whose "Root" must exist. Access from bits 59/58
  // (zydVirtualDiskRead, zydVirtualDiskWrite, both: read-write); sharing is always exclusive.
  // "Root" is then opened and its children listed. version (3 or 4) is the compound-file format
  // of a new file. Failures raise the system error of the failing call ("StgCreateDocFile",
  // "StgOpenStorage", "IStorage.CreateStorage", "IStorage.OpenStorage") and leave the disk closed.
  void Open(const std::string& fileName, uint64_t mode, int version = 4);
  void Open(const std::u16string& fileName, uint64_t mode, int version = 4);
  using TZyVirtualFolder::Open;

  const std::string& FileNameGet() const { return fileName_; }
  const std::shared_ptr<zycfb::Storage>& DocumentGet() const { return document_; }

 private:
  std::shared_ptr<zycfb::Storage> document_;
  std::string fileName_;
};
