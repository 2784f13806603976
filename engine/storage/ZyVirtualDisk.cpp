#include "engine/storage/ZyVirtualDisk.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"

TZyVirtualDisk::TZyVirtualDisk() { Init(nullptr, nullptr, u"Root", 0); }

TZyVirtualDisk::~TZyVirtualDisk() {
  Close();
  document_.reset();
}

void TZyVirtualDisk::Open(const std::u16string& fileName, uint64_t mode, int version) {
  Open(zycfb::Utf16ToUtf8(fileName), mode, version);
}

void TZyVirtualDisk::Open(const std::string& fileName, uint64_t mode, int version) {
  // Let go of a file opened before, down to its root storage, so that it is unlocked (and can be
  // this very file again).
  Close();
  Init(nullptr, nullptr, u"Root", 0);
  document_.reset();
  fileName_ = fileName;

  uint32_t access = zycfb::STGM_READ;
  if ((mode & zydVirtualDiskReadWrite) == zydVirtualDiskReadWrite)
    access = zycfb::STGM_READWRITE;
  else if (mode & zydVirtualDiskRead)
    access = zycfb::STGM_READ;
  else if (mode & zydVirtualDiskWrite)
    access = zycfb::STGM_WRITE;

  try {
    std::shared_ptr<zycfb::Storage> document;
    if (mode & zydVirtualCreate) {
      zycfb::CreateOptions options;
      options.version = version;
      lastResult_ = zycfb::CreateDocfile(
          fileName_, zycfb::STGM_CREATE | zycfb::STGM_SHARE_EXCLUSIVE | access, &document, options);
      if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStgCreateDocFile);
      document_ = document;
      Init(document_, nullptr, u"Root", zydVirtualCreate);
    } else {
      lastResult_ =
          zycfb::OpenDocfile(fileName_, zycfb::STGM_SHARE_EXCLUSIVE | access, &document);
      if (lastResult_ != zycfb::S_OK) throw EZyException(lastResult_, zydMthStgOpenStorage);
      document_ = document;
      Init(document_, nullptr, u"Root", 0);
    }
    TZyVirtualFolder::Open(0);
  } catch (...) {
    // A half-opened file would stay locked against every other opener.
    Close();
    document_.reset();
    Init(nullptr, nullptr, u"Root", 0);
    throw;
  }
}
