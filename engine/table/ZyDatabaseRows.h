// A growable list of row numbers: the rows a selection found, in the order it found them.
// It grows in fixed steps of 100 slots, which keeps the allocation pattern predictable for the
// long scans that fill it.
#pragma once

#include <cstdint>
#include <memory>

enum TZyDatabaseRowsOperation : uint8_t { zydRowsAnd, zydRowsOr };

class TZyDatabaseRows {
 public:
  void Add(uint32_t row);
  // The row number at index, or 0 when index >= count.
  uint32_t ItemsGet(uint32_t index) const { return index < count_ ? items_[index] : 0; }
  // Replaces the entry at index; does nothing when index >= count.
  void ItemsSet(uint32_t index, uint32_t row) {
    if (index < count_) items_[index] = row;
  }
  uint32_t CountGet() const { return count_; }
  uint32_t CapacityGet() const { return capacity_; }
  void Clear() { count_ = 0; }

 private:
  std::unique_ptr<uint32_t[]> items_;
  uint32_t capacity_ = 0;
  uint32_t count_ = 0;
};
