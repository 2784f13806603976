// The base of every named engine list (tables of a database, columns of a table, fields and
// parameters of a query, pieces of a parsed statement): an owning list in insertion order whose
// items are found by name without regard to letter case, and whose names are by default unique.
//
// Letter case is folded for ASCII letters only; other bytes compare exactly. Identifiers are
// ASCII by the identifier rule, so this is the comparison every lookup needs. Most lists are
// short (the pieces of one statement, the columns of a table): they are searched from the front,
// which costs less than hashing and needs no memory of its own. A list that grows past
// kIndexThreshold items gets a side index from name to first position, so finding a name costs
// the same in a database of thousands of tables. Lookups allocate nothing either way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/foundation/ZyDatabaseGenericObject.h"

class TZyDatabaseGenericList {
 public:
  // Lists longer than this are looked up through the side index.
  static constexpr int32_t kIndexThreshold = 16;

  TZyDatabaseGenericList();
  virtual ~TZyDatabaseGenericList();
  TZyDatabaseGenericList(const TZyDatabaseGenericList&) = delete;
  TZyDatabaseGenericList& operator=(const TZyDatabaseGenericList&) = delete;

  // Index of the first item named name (letter case aside), or -1.
  int32_t FindIndex(std::string_view name) const;
  int32_t CountGet() const { return static_cast<int32_t>(items_.size()); }
  bool UniqueGet() const { return unique_; }

  // Appends object under its own name and returns it, now owned by the list. In a unique list a
  // name already present raises EZyException 0x80000102; the list is then unchanged and object
  // still holds the caller's item.
  template <class T>
  T* Add(std::unique_ptr<T>&& object) {
    T* item = object.get();
    AddOwned(item);
    object.release();
    return item;
  }

  // Takes the first item named name out of the list and hands it to the caller; empty when
  // there is none.
  std::unique_ptr<TZyDatabaseGenericObject> Delete(std::string_view name);

  // The item at index; outside 0 .. count - 1 raises zyfw::EListError
  // "List index out of bounds (%d)".
  TZyDatabaseGenericObject* ItemGet(int32_t index) const;

  // Destroys every item, first to last, and empties the list.
  void Clear();

 protected:
  // The criteria list lets names repeat.
  void UniqueSet(bool unique) { unique_ = unique; }

 private:
  struct FoldedHash {
    size_t operator()(std::string_view s) const noexcept;
  };
  struct FoldedEqual {
    // Inline: short lists call it for every item they look at.
    bool operator()(std::string_view a, std::string_view b) const noexcept {
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - ('a' - 'A'));
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - ('a' - 'A'));
        if (x != y) return false;
      }
      return true;
    }
  };

  // Records item (not yet owned) as the last entry, raising on a duplicate name. On return the
  // list owns it; on a raise nothing has changed.
  void AddOwned(TZyDatabaseGenericObject* item);
  // Fills the side index from the items, first position of each name.
  void IndexBuild();

  std::vector<std::unique_ptr<TZyDatabaseGenericObject>> items_;
  // Name (viewing the item's own name, which never changes) -> index of its first item; kept
  // only while indexed_ (from the time the list first grew past kIndexThreshold until Clear).
  std::unordered_map<std::string_view, int32_t, FoldedHash, FoldedEqual> index_;
  bool indexed_ = false;
  bool unique_ = true;
};

// A named list of one item type; derived lists are one line:
//   class TZyDatabaseFields : public TZyDatabaseTypedList<TZyDatabaseField> { ... };
//   using TZyDatabaseParsedCriteriaList = TZyDatabaseTypedList<TZyDatabaseParsedCriteria, false>;
template <class T, bool Unique = true>
class TZyDatabaseTypedList : public TZyDatabaseGenericList {
 public:
  TZyDatabaseTypedList() { UniqueSet(Unique); }

  T* Get(int32_t index) const { return static_cast<T*>(ItemGet(index)); }
  // The first item named name, or nullptr.
  T* Find(std::string_view name) const {
    const int32_t i = FindIndex(name);
    return i < 0 ? nullptr : Get(i);
  }
  T* Add(std::unique_ptr<T>&& object) { return TZyDatabaseGenericList::Add(std::move(object)); }
  std::unique_ptr<T> Delete(std::string_view name) {
    return std::unique_ptr<T>(static_cast<T*>(TZyDatabaseGenericList::Delete(name).release()));
  }
};
