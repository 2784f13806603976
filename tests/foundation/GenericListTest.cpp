#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "FoundationTestUtil.h"
#include "engine/foundation/ZyDatabaseGenericList.h"
#include "engine/foundation/ZyException.h"

namespace {

// Records its destruction, to tell owned items from released ones.
class Probe : public TZyDatabaseGenericObject {
 public:
  Probe(std::string name, std::vector<std::string>* log)
      : TZyDatabaseGenericObject(std::move(name)), log_(log) {}
  ~Probe() override {
    if (log_ != nullptr) log_->push_back(NameGet());
  }

 private:
  std::vector<std::string>* log_;
};

using UniqueList = TZyDatabaseTypedList<Probe>;
using RepeatList = TZyDatabaseTypedList<Probe, false>;

TEST(GenericList, UniqueNamesIgnoreLetterCase) {
  std::vector<std::string> destroyed;
  UniqueList list;
  EXPECT_TRUE(list.UniqueGet());
  EXPECT_EQ(list.FindIndex("anything"), -1);
  list.Add(std::make_unique<Probe>("NAME", &destroyed));
  auto again = std::make_unique<Probe>("Name", &destroyed);
  Probe* raw = again.get();
  try {
    list.Add(std::move(again));
    FAIL() << "duplicate accepted";
  } catch (const EZyException& e) {
    EXPECT_EQ(e.CodeGet(0), 0x80000102u);
    EXPECT_EQ(e.ModuleGet(0), ExpectedModule("ZyDatabaseGenericList"));
    EXPECT_EQ(e.MethodGet(0), "TZyDatabaseGenericList.Add");
    EXPECT_EQ(e.TextGet(0), "That name has already been used");
  }
  // The list is unchanged and the caller still owns the refused item.
  EXPECT_EQ(list.CountGet(), 1);
  EXPECT_EQ(again.get(), raw);
  EXPECT_TRUE(destroyed.empty());
  EXPECT_EQ(list.FindIndex("name"), 0);
  EXPECT_EQ(list.Find("nAmE")->NameGet(), "NAME");
}

TEST(GenericList, RepeatingListsKeepTheFirstForLookup) {
  RepeatList list;
  EXPECT_FALSE(list.UniqueGet());
  list.Add(std::make_unique<Probe>("NAME", nullptr));
  list.Add(std::make_unique<Probe>("Name", nullptr));
  list.Add(std::make_unique<Probe>("other", nullptr));
  EXPECT_EQ(list.CountGet(), 3);
  EXPECT_EQ(list.FindIndex("name"), 0);
  EXPECT_EQ(list.Get(1)->NameGet(), "Name");
  // Deleting the first makes the second the one found.
  auto first = list.Delete("name");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->NameGet(), "NAME");
  EXPECT_EQ(list.FindIndex("NAME"), 0);
  EXPECT_EQ(list.Get(0)->NameGet(), "Name");
  EXPECT_EQ(list.FindIndex("OTHER"), 1);
}

TEST(GenericList, DeleteHandsTheItemBackAndClearDestroysInOrder) {
  std::vector<std::string> destroyed;
  {
    UniqueList list;
    for (const char* n : {"a", "b", "c", "d"}) list.Add(std::make_unique<Probe>(n, &destroyed));
    std::unique_ptr<Probe> b = list.Delete("B");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(list.Delete("missing"), nullptr);
    EXPECT_EQ(list.CountGet(), 3);
    EXPECT_EQ(list.FindIndex("c"), 1);
    EXPECT_EQ(list.FindIndex("b"), -1);
    // Once out, the name is free again.
    list.Add(std::make_unique<Probe>("b2", &destroyed));
    list.Clear();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"a", "c", "d", "b2"}));
    EXPECT_EQ(list.CountGet(), 0);
    EXPECT_EQ(list.FindIndex("a"), -1);
    list.Add(std::make_unique<Probe>("e", &destroyed));
  }
  // "b" died with the caller's unique_ptr, then the list's destructor destroyed "e".
  EXPECT_EQ(destroyed, (std::vector<std::string>{"a", "c", "d", "b2", "b", "e"}));
}

TEST(GenericList, IndexOutsideTheListRaisesTheListError) {
  UniqueList list;
  list.Add(std::make_unique<Probe>("x", nullptr));
  for (int32_t i : {-1, 1, 3, INT32_MAX}) {
    try {
      list.ItemGet(i);
      ADD_FAILURE() << i;
    } catch (const zyfw::EListError& e) {
      EXPECT_EQ(std::string(e.what()), "List index out of bounds (" + std::to_string(i) + ")");
    }
    EXPECT_THROW(list.Get(i), zyfw::EListError);
  }
  EXPECT_EQ(list.ItemGet(0)->NameGet(), "x");
}

TEST(GenericList, OnlyAsciiLettersFold) {
  RepeatList list;
  list.Add(std::make_unique<Probe>("a_1", nullptr));
  list.Add(std::make_unique<Probe>("\xC3\xA9", nullptr));  // é
  EXPECT_EQ(list.FindIndex("A_1"), 0);
  EXPECT_EQ(list.FindIndex("a_1 "), -1);
  EXPECT_EQ(list.FindIndex("\xC3\xA9"), 1);
  EXPECT_EQ(list.FindIndex("\xC3\x89"), -1);  // É is another byte sequence
  // '@' and '`' sit next to the letters; folding must not confuse them with them.
  list.Add(std::make_unique<Probe>("@", nullptr));
  EXPECT_EQ(list.FindIndex("`"), -1);
}

// The side index must agree with a plain first-match search through every kind of change.
TEST(GenericList, LookupAgreesWithALinearSearchThroughChanges) {
  auto linear = [](const RepeatList& list, const std::string& name) {
    for (int32_t i = 0; i < list.CountGet(); ++i) {
      const std::string& n = list.Get(i)->NameGet();
      if (n.size() == name.size() &&
          std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) ==
                   std::toupper(static_cast<unsigned char>(b));
          }))
        return i;
    }
    return -1;
  };
  std::mt19937 rng(12345);
  const std::vector<std::string> names = {"col", "COL", "Col", "id", "ID", "name", "x1", "X1"};
  RepeatList list;
  for (int step = 0; step < 4000; ++step) {
    const std::string& name = names[rng() % names.size()];
    const unsigned op = rng() % 10;
    if (op < 6) {
      list.Add(std::make_unique<Probe>(name, nullptr));
    } else if (op < 9) {
      const int32_t expected = linear(list, name);
      auto removed = list.Delete(name);
      ASSERT_EQ(removed == nullptr, expected < 0);
    } else if (step % 7 == 0) {
      list.Clear();
    }
    for (const std::string& n : names) ASSERT_EQ(list.FindIndex(n), linear(list, n)) << step;
  }
}

// Short lists are searched from the front, longer ones through the index built when they grow
// past the threshold: the answers are the same on both sides of it.
TEST(GenericList, LookupIsTheSameBelowAndAboveTheIndexThreshold) {
  RepeatList list;
  const int32_t limit = TZyDatabaseGenericList::kIndexThreshold;
  for (int32_t i = 0; i < limit + 3; ++i) {
    list.Add(std::make_unique<Probe>("item" + std::to_string(i % 5), nullptr));
    for (int32_t k = 0; k < 5; ++k)
      ASSERT_EQ(list.FindIndex("ITEM" + std::to_string(k)), k <= i ? k : -1) << i;
  }
  // Deleting the first of a name makes the next one of that name the first, on either side.
  ASSERT_NE(list.Delete("Item2"), nullptr);
  EXPECT_EQ(list.FindIndex("item2"), 6);
  UniqueList unique;
  for (int32_t i = 0; i < limit + 1; ++i)
    unique.Add(std::make_unique<Probe>("u" + std::to_string(i), nullptr));
  EXPECT_THROW(unique.Add(std::make_unique<Probe>("U3", nullptr)), EZyException);
  EXPECT_THROW(unique.Add(std::make_unique<Probe>("U" + std::to_string(limit), nullptr)),
               EZyException);
  unique.Clear();
  unique.Add(std::make_unique<Probe>("U3", nullptr));
  EXPECT_EQ(unique.FindIndex("u3"), 0);
}

TEST(GenericList, ManyItemsAreAllFound) {
  UniqueList list;
  const int n = 20000;
  for (int i = 0; i < n; ++i) list.Add(std::make_unique<Probe>("Column_" + std::to_string(i), nullptr));
  for (int i = 0; i < n; ++i) ASSERT_EQ(list.FindIndex("COLUMN_" + std::to_string(i)), i);
  EXPECT_EQ(list.FindIndex("COLUMN_" + std::to_string(n)), -1);
  auto gone = list.Delete("column_0");
  EXPECT_EQ(list.FindIndex("column_19999"), n - 2);
}

}  // namespace
