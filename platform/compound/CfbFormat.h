// Fixed facts of the compound-file layout that the service and its inspection helpers share:
// special sector numbers, the byte layout of the header and of directory entries, and the rule
// that orders and compares element names inside one storage.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace zycfb {
namespace cfb {

// Values a FAT, mini FAT or DIFAT slot can hold besides an ordinary sector number.
constexpr uint32_t MAXREGSECT = 0xFFFFFFFA;
constexpr uint32_t DIFSECT = 0xFFFFFFFC;
constexpr uint32_t FATSECT = 0xFFFFFFFD;
constexpr uint32_t ENDOFCHAIN = 0xFFFFFFFE;
constexpr uint32_t FREESECT = 0xFFFFFFFF;
// "No entry" in a directory entry's left, right and child fields.
constexpr uint32_t NOSTREAM = 0xFFFFFFFF;
constexpr uint32_t MAXREGSID = 0xFFFFFFFA;

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kHeaderDifatSlots = 109;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;  // streams shorter than this live in the mini stream
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMaxNameUnits = 31;        // UTF-16 units, the terminator not counted
constexpr uint16_t kMinorVersion = 0x003E;
constexpr uint16_t kByteOrder = 0xFFFE;
constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Directory entry object types and colours.
constexpr uint8_t kTypeEmpty = 0;
constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint8_t kRed = 0;
constexpr uint8_t kBlack = 1;

// Header field offsets.
namespace hdr {
constexpr size_t kMinor = 0x18, kMajor = 0x1A, kByteOrder = 0x1C, kSectorShift = 0x1E,
                 kMiniShift = 0x20, kNumDirSectors = 0x28, kNumFatSectors = 0x2C,
                 kFirstDirSector = 0x30, kTransaction = 0x34, kCutoff = 0x38,
                 kFirstMiniFat = 0x3C, kNumMiniFat = 0x40, kFirstDifat = 0x44, kNumDifat = 0x48,
                 kDifat = 0x4C;
}  // namespace hdr

// Directory entry field offsets.
namespace ent {
constexpr size_t kName = 0x00, kNameLength = 0x40, kType = 0x42, kColor = 0x43, kLeft = 0x44,
                 kRight = 0x48, kChild = 0x4C, kClsid = 0x50, kStateBits = 0x60,
                 kCreationTime = 0x64, kModifiedTime = 0x6C, kStart = 0x74, kSize = 0x78;
}  // namespace ent

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | (uint64_t(Get32(p + 4)) << 32); }
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void Put64(uint8_t* p, uint64_t v) {
  Put32(p, uint32_t(v));
  Put32(p + 4, uint32_t(v >> 32));
}

// Upper-cases one UTF-16 unit for name comparison. The mapping is the simple (one unit to one
// unit) upper-case mapping of Unicode for: Basic Latin, Latin-1 Supplement (with U+00B5 -> U+039C
// and U+00FF -> U+0178), Latin Extended-A (U+0131 -> U+0049, U+017F -> U+0053), Latin Extended
// Additional, basic Greek (with final sigma and the accented vowels), Cyrillic (U+0430-U+052F),
// Armenian, small Roman numerals, circled Latin letters and fullwidth Latin letters. Every other
// unit, surrogates included, is left unchanged. Names made of ASCII compare exactly as any
// implementation of the format compares them.
char16_t UpperUnit(char16_t c);

// The name under which an element is found: every unit upper-cased.
std::u16string UpperName(const std::u16string& name);

// Sibling order: the shorter name is smaller; names of one length compare unit by unit after
// upper-casing. Returns <0, 0 or >0. Names that compare equal are the same name.
int CompareNames(const std::u16string& a, const std::u16string& b);

// An element name is 1 to 31 UTF-16 units without '/', '\\', ':', '!' or U+0000.
bool IsValidName(const std::u16string& name);

}  // namespace cfb
}  // namespace zycfb
