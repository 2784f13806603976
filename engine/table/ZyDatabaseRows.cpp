#include "engine/table/ZyDatabaseRows.h"

#include <algorithm>

void TZyDatabaseRows::Add(uint32_t row) {
  if (count_ == capacity_) {
    const uint32_t grown = capacity_ + 100;
    std::unique_ptr<uint32_t[]> items(new uint32_t[grown]);
    std::copy(items_.get(), items_.get() + count_, items.get());
    items_ = std::move(items);
    capacity_ = grown;
  }
  items_[count_++] = row;
}
