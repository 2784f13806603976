#include <cstdio>
#include <memory>
#include <vector>

#include "fuzz/FuzzBodies.h"
#include "platform/compound/Compound.h"

using namespace zycfb;

namespace {

// Bounds that keep one input quick whatever its directory claims.
constexpr int kMaxDepth = 32;
constexpr size_t kMaxElements = 4096;
constexpr uint64_t kMaxBytesRead = 64u << 20;

struct Walk {
  size_t elements = 0;
  uint64_t bytes = 0;
  std::vector<uint8_t> buffer = std::vector<uint8_t>(65536);
  std::shared_ptr<Stream> firstStream;  // kept open for the write phase
  std::shared_ptr<Storage> firstStorage;
};

void ReadStream(Stream& stream, uint64_t size, Walk& walk) {
  // Read to the end as the size says, then once more past it: both must simply stop.
  for (uint64_t pos = 0; pos <= size && walk.bytes < kMaxBytesRead;) {
    uint32_t got = 0;
    if (Failed(stream.Read(walk.buffer.data(), uint32_t(walk.buffer.size()), &got)) || got == 0)
      break;
    pos += got;
    walk.bytes += got;
  }
  uint64_t where = 0;
  stream.Seek(int64_t(size / 2), STREAM_SEEK_SET, &where);
  uint32_t got = 0;
  stream.Read(walk.buffer.data(), 100, &got);
}

void Visit(const std::shared_ptr<Storage>& storage, uint32_t access, int depth, Walk& walk) {
  if (depth > kMaxDepth) return;
  const uint32_t mode = access | STGM_SHARE_EXCLUSIVE;  // elements inside a file open exclusively
  std::vector<ElementStat> children;
  if (Failed(storage->EnumElements(&children))) return;
  ElementStat self;
  storage->Stat(&self);
  for (const ElementStat& child : children) {
    if (++walk.elements > kMaxElements) return;
    if (child.type == STGTY_STORAGE) {
      std::shared_ptr<Storage> sub;
      if (Failed(storage->OpenStorage(child.name, mode, &sub))) continue;
      if (!walk.firstStorage) walk.firstStorage = sub;
      Visit(sub, access, depth + 1, walk);
    } else if (child.type == STGTY_STREAM) {
      std::shared_ptr<Stream> stream;
      if (Failed(storage->OpenStream(child.name, mode, &stream))) continue;
      ElementStat st;
      stream->Stat(&st);
      ReadStream(*stream, st.size, walk);
      if (!walk.firstStream) walk.firstStream = stream;
    }
  }
}

void Writes(const std::shared_ptr<Storage>& root, Walk& walk) {
  std::vector<uint8_t> bytes(5000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  std::shared_ptr<Stream> fresh;
  if (!Failed(root->CreateStream(u"fz", STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_CREATE,
                                 &fresh))) {
    fresh->Write(bytes.data(), 100, nullptr);     // in the mini stream
    fresh->Write(bytes.data(), 5000, nullptr);    // and out of it
  }
  if (walk.firstStream) {
    uint64_t end = 0;
    walk.firstStream->Seek(0, STREAM_SEEK_END, &end);
    walk.firstStream->Write(bytes.data(), 300, nullptr);
    walk.firstStream->SetSize(end / 2);
  }
  if (walk.firstStorage) {
    std::shared_ptr<Storage> made;
    walk.firstStorage->CreateStorage(u"fzs", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, &made);
  }
  root->RenameElement(u"fz", u"fy");
}

}  // namespace

int ZyFuzzCompound(const uint8_t* data, size_t size) {
  const std::string path = ZyFuzzScratchPath("compound");
  ZyFuzzWriteFile(path, data, size);
  for (uint32_t mode : {STGM_READ | STGM_SHARE_DENY_WRITE, STGM_READWRITE | STGM_SHARE_EXCLUSIVE}) {
    std::shared_ptr<Storage> root;
    if (Failed(OpenDocfile(path, mode, &root))) continue;
    Walk walk;
    Visit(root, mode & 3, 0, walk);
    if (mode & STGM_READWRITE) {
      Writes(root, walk);
      // What the writes left must still be readable (or refused with a result code).
      walk.firstStream.reset();
      walk.firstStorage.reset();
      root.reset();
      if (!Failed(OpenDocfile(path, STGM_READ | STGM_SHARE_DENY_WRITE, &root))) {
        Walk again;
        Visit(root, STGM_READ, 0, again);
      }
    }
  }
  std::remove(path.c_str());
  return 0;
}
