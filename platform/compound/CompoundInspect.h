// Read-only views of a compound file's raw structures for tests and diagnostic tools: the header
// fields, the FAT, DIFAT and mini FAT, and the directory entries exactly as stored. It reads the
// file's bytes itself, apart from the service: no lock is taken and nothing is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/compound/Compound.h"

namespace zycfb {

struct HeaderFields {
  uint16_t minorVersion = 0, majorVersion = 0, byteOrder = 0, sectorShift = 0,
           miniSectorShift = 0;
  bool reservedZero = false;  // the reserved bytes and the header CLSID are all zero
  uint32_t numDirSectors = 0, numFatSectors = 0, firstDirSector = 0, transactionSignature = 0,
           miniStreamCutoff = 0, firstMiniFatSector = 0, numMiniFatSectors = 0,
           firstDifatSector = 0, numDifatSectors = 0;
  uint32_t difat[109] = {};
};

struct RawDirEntry {
  std::u16string name;
  uint16_t nameLength = 0;
  uint8_t type = 0, color = 0;
  uint32_t left = 0, right = 0, child = 0;
  bool clsidZero = true;
  uint32_t stateBits = 0;
  FileTime creationTime = 0, modifiedTime = 0;
  uint32_t start = 0;
  uint64_t size = 0;  // all 64 bits as stored
};

struct FileLayout {
  HeaderFields header;
  uint64_t fileSize = 0;
  uint32_t sectorSize = 0;
  std::vector<uint32_t> fatSectors;    // from the header and the DIFAT sectors, in FAT order
  std::vector<uint32_t> difatSectors;  // the DIFAT chain
  std::vector<uint32_t> fat;
  std::vector<uint32_t> dirSectors;
  std::vector<RawDirEntry> entries;
  std::vector<uint32_t> miniFatSectors;
  std::vector<uint32_t> miniFat;
};

// Reads the layout of the file at path. STG_E_FILENOTFOUND if it cannot be opened,
// STG_E_INVALIDHEADER for a wrong signature or sector size, STG_E_DOCFILECORRUPT when a chain
// leaves the file or loops.
Result InspectFile(const std::string& path, FileLayout* out);

// The chain that starts at `start` in a FAT or mini FAT, up to ENDOFCHAIN (an empty chain for
// ENDOFCHAIN itself). STG_E_DOCFILECORRUPT on a loop or an entry outside the table.
Result ChainOf(const std::vector<uint32_t>& table, uint32_t start, std::vector<uint32_t>* chain);

// The bytes at `offset` of sector `sector` of the file (sector 0 follows the header).
Result ReadSectorBytes(const std::string& path, const FileLayout& layout, uint32_t sector,
                       uint32_t offset, void* buffer, size_t count);

}  // namespace zycfb
