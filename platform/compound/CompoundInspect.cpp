#include "platform/compound/CompoundInspect.h"

#include <cstring>
#include <fstream>

#include "platform/compound/CfbFormat.h"

namespace zycfb {

using namespace cfb;

namespace {

bool ReadBytes(std::ifstream& in, uint64_t offset, void* buffer, size_t count) {
  in.clear();
  in.seekg(std::streamoff(offset));
  in.read(static_cast<char*>(buffer), std::streamsize(count));
  return size_t(in.gcount()) == count;
}

}  // namespace

Result ChainOf(const std::vector<uint32_t>& table, uint32_t start, std::vector<uint32_t>* chain) {
  chain->clear();
  std::vector<uint8_t> seen(table.size(), 0);
  for (uint32_t cur = start; cur != ENDOFCHAIN; cur = table[cur]) {
    if (cur >= table.size() || seen[cur]) return STG_E_DOCFILECORRUPT;
    seen[cur] = 1;
    chain->push_back(cur);
  }
  return S_OK;
}

Result ReadSectorBytes(const std::string& path, const FileLayout& layout, uint32_t sector,
                       uint32_t offset, void* buffer, size_t count) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return STG_E_FILENOTFOUND;
  uint64_t at = (uint64_t(sector) + 1) * layout.sectorSize + offset;
  return ReadBytes(in, at, buffer, count) ? S_OK : STG_E_READFAULT;
}

Result InspectFile(const std::string& path, FileLayout* out) {
  *out = FileLayout();
  std::ifstream in(path, std::ios::binary);
  if (!in) return STG_E_FILENOTFOUND;
  in.seekg(0, std::ios::end);
  out->fileSize = uint64_t(in.tellg());
  uint8_t h[kHeaderSize];
  if (!ReadBytes(in, 0, h, sizeof h) || std::memcmp(h, kSignature, 8) != 0)
    return STG_E_INVALIDHEADER;
  HeaderFields& f = out->header;
  f.minorVersion = Get16(h + hdr::kMinor);
  f.majorVersion = Get16(h + hdr::kMajor);
  f.byteOrder = Get16(h + hdr::kByteOrder);
  f.sectorShift = Get16(h + hdr::kSectorShift);
  f.miniSectorShift = Get16(h + hdr::kMiniShift);
  f.reservedZero = true;
  for (size_t i = 8; i < 0x18; ++i) f.reservedZero = f.reservedZero && h[i] == 0;
  for (size_t i = 0x22; i < 0x28; ++i) f.reservedZero = f.reservedZero && h[i] == 0;
  f.numDirSectors = Get32(h + hdr::kNumDirSectors);
  f.numFatSectors = Get32(h + hdr::kNumFatSectors);
  f.firstDirSector = Get32(h + hdr::kFirstDirSector);
  f.transactionSignature = Get32(h + hdr::kTransaction);
  f.miniStreamCutoff = Get32(h + hdr::kCutoff);
  f.firstMiniFatSector = Get32(h + hdr::kFirstMiniFat);
  f.numMiniFatSectors = Get32(h + hdr::kNumMiniFat);
  f.firstDifatSector = Get32(h + hdr::kFirstDifat);
  f.numDifatSectors = Get32(h + hdr::kNumDifat);
  for (uint32_t i = 0; i < kHeaderDifatSlots; ++i) f.difat[i] = Get32(h + hdr::kDifat + 4 * i);
  if (f.sectorShift != 9 && f.sectorShift != 12) return STG_E_INVALIDHEADER;
  const uint32_t size = 1u << f.sectorShift, per = size / 4;
  out->sectorSize = size;
  const uint64_t sectors = out->fileSize > size ? (out->fileSize - size + size - 1) / size : 0;
  if (f.numFatSectors > sectors) return STG_E_DOCFILECORRUPT;
  auto sectorAt = [&](uint32_t s, std::vector<uint8_t>* buf) {
    buf->assign(size, 0xFF);
    if (s >= sectors) return false;
    ReadBytes(in, (uint64_t(s) + 1) * size, buf->data(), size);  // a short last sector is padded
    return true;
  };
  std::vector<uint8_t> buf;
  for (uint32_t i = 0; i < f.numFatSectors && i < kHeaderDifatSlots; ++i)
    out->fatSectors.push_back(f.difat[i]);
  uint32_t next = f.firstDifatSector;
  while (out->fatSectors.size() < f.numFatSectors) {
    if (out->difatSectors.size() > sectors || !sectorAt(next, &buf)) return STG_E_DOCFILECORRUPT;
    out->difatSectors.push_back(next);
    for (uint32_t j = 0; j + 1 < per && out->fatSectors.size() < f.numFatSectors; ++j)
      out->fatSectors.push_back(Get32(&buf[4 * j]));
    next = Get32(&buf[4 * (per - 1)]);
  }
  for (uint32_t s : out->fatSectors) {
    if (!sectorAt(s, &buf)) return STG_E_DOCFILECORRUPT;
    for (uint32_t j = 0; j < per; ++j) out->fat.push_back(Get32(&buf[4 * j]));
  }
  Result r = ChainOf(out->fat, f.firstDirSector, &out->dirSectors);
  if (r != S_OK) return r;
  for (uint32_t s : out->dirSectors) {
    if (!sectorAt(s, &buf)) return STG_E_DOCFILECORRUPT;
    for (uint32_t k = 0; k < size / kDirEntrySize; ++k) {
      const uint8_t* raw = &buf[k * kDirEntrySize];
      RawDirEntry e;
      e.nameLength = Get16(raw + ent::kNameLength);
      for (size_t i = 0; i + 1 < e.nameLength / 2u && i < 32; ++i)
        e.name.push_back(char16_t(Get16(raw + 2 * i)));
      e.type = raw[ent::kType];
      e.color = raw[ent::kColor];
      e.left = Get32(raw + ent::kLeft);
      e.right = Get32(raw + ent::kRight);
      e.child = Get32(raw + ent::kChild);
      for (size_t i = 0; i < 16; ++i) e.clsidZero = e.clsidZero && raw[ent::kClsid + i] == 0;
      e.stateBits = Get32(raw + ent::kStateBits);
      e.creationTime = Get64(raw + ent::kCreationTime);
      e.modifiedTime = Get64(raw + ent::kModifiedTime);
      e.start = Get32(raw + ent::kStart);
      e.size = Get64(raw + ent::kSize);
      out->entries.push_back(std::move(e));
    }
  }
  if (f.firstMiniFatSector != ENDOFCHAIN) {
    r = ChainOf(out->fat, f.firstMiniFatSector, &out->miniFatSectors);
    if (r != S_OK) return r;
    for (uint32_t s : out->miniFatSectors) {
      if (!sectorAt(s, &buf)) return STG_E_DOCFILECORRUPT;
      for (uint32_t j = 0; j < per; ++j) out->miniFat.push_back(Get32(&buf[4 * j]));
    }
  }
  return S_OK;
}

}  // namespace zycfb
