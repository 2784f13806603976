#include "engine/foundation/ZyDatabaseGenericList.h"

#include "engine/foundation/ZyErrors.h"
#include "engine/foundation/ZyException.h"
#include "engine/foundation/ZyMisc.h"
#include "engine/foundation/ZyModuleText.h"
#include "platform/framework/Exception.h"

namespace {

inline unsigned char Fold(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - ('a' - 'A')) : u;
}

}  // namespace

size_t TZyDatabaseGenericList::FoldedHash::operator()(std::string_view s) const noexcept {
  // FNV-1a over the folded bytes.
  uint64_t h = 1469598103934665603ULL;
  for (char c : s) {
    h ^= Fold(c);
    h *= 1099511628211ULL;
  }
  return static_cast<size_t>(h);
}

TZyDatabaseGenericList::TZyDatabaseGenericList() = default;

TZyDatabaseGenericList::~TZyDatabaseGenericList() { Clear(); }

int32_t TZyDatabaseGenericList::FindIndex(std::string_view name) const {
  if (indexed_) {
    const auto it = index_.find(name);
    return it == index_.end() ? -1 : it->second;
  }
  const FoldedEqual equal;
  for (size_t i = 0; i < items_.size(); ++i)
    if (equal(items_[i]->NameGet(), name)) return static_cast<int32_t>(i);
  return -1;
}

void TZyDatabaseGenericList::IndexBuild() {
  index_.reserve(items_.size() * 2);
  for (size_t i = 0; i < items_.size(); ++i)
    index_.emplace(items_[i]->NameGet(), static_cast<int32_t>(i));  // keeps the first of a name
  indexed_ = true;
}

void TZyDatabaseGenericList::AddOwned(TZyDatabaseGenericObject* item) {
  const std::string& name = item->NameGet();
  if (unique_ && FindIndex(name) >= 0)
    throw EZyException(zydErrDuplicateName, zydModuleText(zydModGenericList), zydMthGenericListAdd,
                       zydTxtDuplicateName);
  // Make room first, so that once the list knows the item nothing can fail.
  if (items_.size() == items_.capacity()) items_.reserve(items_.empty() ? 8 : items_.size() * 2);
  if (indexed_) {
    index_.emplace(name, static_cast<int32_t>(items_.size()));
  } else if (CountGet() + 1 > kIndexThreshold) {
    IndexBuild();  // the items so far; this one follows below
    index_.emplace(name, static_cast<int32_t>(items_.size()));
  }
  items_.emplace_back(item);
}

std::unique_ptr<TZyDatabaseGenericObject> TZyDatabaseGenericList::Delete(std::string_view name) {
  const int32_t removed = FindIndex(name);
  if (removed < 0) return nullptr;
  std::unique_ptr<TZyDatabaseGenericObject> item = std::move(items_[removed]);
  items_.erase(items_.begin() + removed);
  if (!indexed_) return item;
  index_.erase(item->NameGet());
  // Later items move down by one; a later item of the same name becomes the first of it.
  for (auto& entry : index_)
    if (entry.second > removed) --entry.second;
  for (int32_t i = removed; i < CountGet(); ++i) {
    const std::string& other = items_[i]->NameGet();
    if (FoldedEqual()(other, item->NameGet())) {
      index_.emplace(other, i);
      break;
    }
  }
  return item;
}

TZyDatabaseGenericObject* TZyDatabaseGenericList::ItemGet(int32_t index) const {
  if (index < 0 || index >= CountGet())
    throw zyfw::EListError(zydFormat("List index out of bounds (%d)", index));
  return items_[index].get();
}

void TZyDatabaseGenericList::Clear() {
  index_.clear();
  indexed_ = false;
  std::vector<std::unique_ptr<TZyDatabaseGenericObject>> doomed;
  doomed.swap(items_);
  for (auto& item : doomed) item.reset();
}
