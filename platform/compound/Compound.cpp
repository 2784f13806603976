// Storage and stream handles over one open compound file, and the service's entry points. The
// handles check access and flags; the file object (CfbFile) does the work. Every handle holds the
// file object, so the file stays open until the last handle under it is released.
#include "platform/compound/Compound.h"

#include "platform/compound/CfbFile.h"

namespace zycfb {

namespace {

using detail::CfbFile;
using detail::ElementState;
using detail::StreamState;

// Elements inside a file open in direct mode and exclusively, as the platform requires.
Result CheckElementMode(uint32_t mode) {
  if ((mode & 3) == 3 || (mode & STGM_TRANSACTED)) return STG_E_INVALIDFLAG;
  if ((mode & 0x70) != STGM_SHARE_EXCLUSIVE) return STG_E_INVALIDFLAG;
  return S_OK;
}

class StreamImpl final : public Stream {
 public:
  StreamImpl(std::shared_ptr<CfbFile> file, uint32_t access)
      : file_(std::move(file)),
        readable_(access != STGM_WRITE),
        writable_(access != STGM_READ && file_->writable()) {}
  ~StreamImpl() override {
    if (registered_) file_->Release(&state_);
  }

  Result Register(uint32_t sid) {
    Result r = file_->Acquire(sid, &state_);
    registered_ = r == S_OK;
    return r;
  }
  Result Load() { return file_->LoadStream(&state_); }

  Result Read(void* buffer, uint32_t count, uint32_t* read) override {
    if (read) *read = 0;
    if (!readable_) return STG_E_ACCESSDENIED;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    uint32_t n = 0;
    Result r = file_->ReadStream(state_, pos_, buffer, count, &n);
    pos_ += n;
    if (read) *read = n;
    return r;
  }

  Result Write(const void* buffer, uint32_t count, uint32_t* written) override {
    if (written) *written = 0;
    if (!writable_) return STG_E_ACCESSDENIED;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    Result r = file_->WriteStream(&state_, pos_, buffer, count);
    if (r != S_OK) return r;
    pos_ += count;
    if (written) *written = count;
    return S_OK;
  }

  Result Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override {
    uint64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = pos_; break;
      case STREAM_SEEK_END: base = file_->EntrySize(state_.sid); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    uint64_t pos;
    if (offset < 0) {
      uint64_t back = uint64_t(-(offset + 1)) + 1;
      if (back > base) return STG_E_INVALIDFUNCTION;
      pos = base - back;
    } else {
      pos = base + uint64_t(offset);
      if (pos < base || pos > uint64_t(INT64_MAX)) return STG_E_INVALIDFUNCTION;
    }
    pos_ = pos;
    if (newPosition) *newPosition = pos;
    return S_OK;
  }

  Result SetSize(uint64_t size) override {
    if (!writable_) return STG_E_ACCESSDENIED;
    return file_->ResizeStream(&state_, size);
  }

  Result Stat(ElementStat* stat) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    const detail::DirEntry& e = file_->entry(state_.sid);
    *stat = ElementStat();
    stat->name = e.name;
    stat->type = STGTY_STREAM;
    stat->size = file_->EntrySize(state_.sid);
    stat->creationTime = e.creationTime;
    stat->modificationTime = e.modifiedTime;
    return S_OK;
  }

 private:
  std::shared_ptr<CfbFile> file_;
  StreamState state_;
  uint64_t pos_ = 0;
  bool readable_, writable_;
  bool registered_ = false;
};

class StorageImpl final : public Storage {
 public:
  StorageImpl(std::shared_ptr<CfbFile> file, bool writable)
      : file_(std::move(file)), writable_(writable && file_->writable()) {}
  ~StorageImpl() override {
    if (registered_) file_->Release(&state_);
  }

  Result Register(uint32_t sid) {
    Result r = file_->Acquire(sid, &state_);
    registered_ = r == S_OK;
    return r;
  }

  Result CreateStorage(const std::u16string& name, uint32_t mode,
                       std::shared_ptr<Storage>* out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    if (Result r = CheckElementMode(mode)) return r;
    if (!writable_) return STG_E_ACCESSDENIED;
    uint32_t sid;
    Result r = file_->CreateElement(state_.sid, name, cfb::kTypeStorage, (mode & STGM_CREATE) != 0,
                                    &sid);
    if (r != S_OK) return r;
    auto s = std::make_shared<StorageImpl>(file_, (mode & 3) != STGM_READ);
    if ((r = s->Register(sid)) != S_OK) return r;
    *out = std::move(s);
    return S_OK;
  }

  Result OpenStorage(const std::u16string& name, uint32_t mode,
                     std::shared_ptr<Storage>* out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    if (Result r = CheckElementMode(mode)) return r;
    const bool wantWrite = (mode & 3) != STGM_READ;
    if (wantWrite && !writable_) return STG_E_INVALIDFLAG;
    uint32_t sid;
    if (Result r = Lookup(name, cfb::kTypeStorage, &sid)) return r;
    auto s = std::make_shared<StorageImpl>(file_, wantWrite);
    Result r = s->Register(sid);
    if (r == S_OK) r = file_->LoadTree(sid);
    if (r != S_OK) return r;
    *out = std::move(s);
    return S_OK;
  }

  Result CreateStream(const std::u16string& name, uint32_t mode,
                      std::shared_ptr<Stream>* out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    if (Result r = CheckElementMode(mode)) return r;
    if (!writable_) return STG_E_ACCESSDENIED;
    uint32_t sid;
    Result r = file_->CreateElement(state_.sid, name, cfb::kTypeStream, (mode & STGM_CREATE) != 0,
                                    &sid);
    if (r != S_OK) return r;
    auto s = std::make_shared<StreamImpl>(file_, mode & 3);
    if ((r = s->Register(sid)) == S_OK) r = s->Load();
    if (r != S_OK) return r;
    *out = std::move(s);
    return S_OK;
  }

  Result OpenStream(const std::u16string& name, uint32_t mode,
                    std::shared_ptr<Stream>* out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    if (Result r = CheckElementMode(mode)) return r;
    if ((mode & 3) != STGM_READ && !writable_) return STG_E_INVALIDFLAG;
    uint32_t sid;
    if (Result r = Lookup(name, cfb::kTypeStream, &sid)) return r;
    auto s = std::make_shared<StreamImpl>(file_, mode & 3);
    Result r = s->Register(sid);
    if (r == S_OK) r = s->Load();
    if (r != S_OK) return r;
    *out = std::move(s);
    return S_OK;
  }

  Result EnumElements(std::vector<ElementStat>* out) override {
    if (!out) return STG_E_INVALIDPOINTER;
    return file_->List(state_.sid, out);
  }

  Result RenameElement(const std::u16string& oldName, const std::u16string& newName) override {
    if (!writable_) return STG_E_ACCESSDENIED;
    return file_->Rename(state_.sid, oldName, newName);
  }

  Result Stat(ElementStat* stat) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = ElementStat();
    if (state_.sid == 0) {
      // The root's name and times are the file's own.
      stat->name = Utf8ToUtf16(file_->path());
      stat->type = STGTY_ROOT;
      file_->FileTimes(&stat->creationTime, &stat->modificationTime);
      return S_OK;
    }
    const detail::DirEntry& e = file_->entry(state_.sid);
    stat->name = e.name;
    stat->type = STGTY_STORAGE;
    stat->creationTime = e.creationTime;
    stat->modificationTime = e.modifiedTime;
    return S_OK;
  }

 private:
  Result Lookup(const std::u16string& name, uint8_t type, uint32_t* sid) {
    Result r = file_->Find(state_.sid, name, sid);
    if (r == STG_E_FILENOTFOUND && !cfb::IsValidName(name)) return STG_E_INVALIDNAME;
    if (r != S_OK) return r;
    return file_->entry(*sid).type == type ? S_OK : STG_E_FILENOTFOUND;
  }

  std::shared_ptr<CfbFile> file_;
  ElementState state_;
  bool writable_;
  bool registered_ = false;
};

Result RootOf(std::shared_ptr<CfbFile> file, std::shared_ptr<Storage>* root) {
  bool writable = file->writable();
  auto s = std::make_shared<StorageImpl>(std::move(file), writable);
  Result r = s->Register(0);
  if (r != S_OK) return r;
  *root = std::move(s);
  return S_OK;
}

}  // namespace

Result CreateDocfile(const std::string& path, uint32_t mode, std::shared_ptr<Storage>* root,
                     const CreateOptions& options) {
  if (!root) return STG_E_INVALIDPOINTER;
  if (path.empty()) return STG_E_INVALIDNAME;
  std::shared_ptr<CfbFile> file;
  Result r = CfbFile::Create(path, mode, options.version, &file);
  if (r != S_OK) return r;
  return RootOf(std::move(file), root);
}

Result OpenDocfile(const std::string& path, uint32_t mode, std::shared_ptr<Storage>* root) {
  if (!root) return STG_E_INVALIDPOINTER;
  if (path.empty()) return STG_E_INVALIDNAME;
  std::shared_ptr<CfbFile> file;
  Result r = CfbFile::Open(path, mode, &file);
  if (r != S_OK) return r;
  return RootOf(std::move(file), root);
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    uint32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    bool ok = i + len <= n;
    for (size_t k = 1; ok && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) ok = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += len;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace zycfb
