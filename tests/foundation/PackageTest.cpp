#include <gtest/gtest.h>

#include <array>

#include "engine/package/ZyDatabaseRegister.h"
#include "engine/package/ZyDatabaseVersion.h"

namespace {

TEST(Version, NumbersAndText) {
  EXPECT_EQ(VersionMajor(), 1);
  EXPECT_EQ(VersionMinor(), 0);
  EXPECT_EQ(VersionInterface(), 1);
  EXPECT_EQ(VersionBuild(), 87);
  EXPECT_EQ(VersionBeta(), 0);
  EXPECT_EQ(Version(false), "1.00.1.87");
  EXPECT_EQ(Version(true), "1.00.1.87");  // no beta to show
}

TEST(Version, FormatPadsTheMinorAndShowsABetaOnRequest) {
  EXPECT_EQ(zydVersionFormat(2, 5, 3, 1000, 4, false), "2.05.3.1000");
  EXPECT_EQ(zydVersionFormat(2, 5, 3, 1000, 4, true), "2.05.3.1000 Beta 4");
  EXPECT_EQ(zydVersionFormat(1, 12, 0, 0, 0, true), "1.12.0.0");
}

TEST(Version, PackedForm) {
  EXPECT_EQ(zydVersionPacked(), 0x04001057u);
  EXPECT_EQ(zydVersionPacked(), 67113047u);
  const TZyVersion v = zydVersionUnpack(zydVersionPacked());
  EXPECT_EQ((std::array<int, 4>{v.major, v.minor, v.iface, v.build}),
            (std::array<int, 4>{1, 0, 1, 87}));
  // Every field at its widest, and each field kept out of its neighbours.
  EXPECT_EQ(zydVersionPack(63, 127, 127, 4095), 0xFFFFFFFFu);
  EXPECT_EQ(zydVersionPack(0, 0, 0, 4096), 0u);
  EXPECT_EQ(zydVersionPack(0, 1, 0, 0), 0x00080000u);
  EXPECT_EQ(zydVersionPack(0, 0, 1, 0), 0x00001000u);
  const TZyVersion w = zydVersionUnpack(zydVersionPack(5, 100, 33, 4000));
  EXPECT_EQ((std::array<int, 4>{w.major, w.minor, w.iface, w.build}),
            (std::array<int, 4>{5, 100, 33, 4000}));
  // Newer versions pack to larger numbers.
  EXPECT_GT(zydVersionPack(1, 0, 1, 88), zydVersionPacked());
  EXPECT_GT(zydVersionPack(1, 1, 0, 0), zydVersionPack(1, 0, 127, 4095));
  EXPECT_GT(zydVersionPack(2, 0, 0, 0), zydVersionPack(1, 127, 127, 4095));
}

TEST(Register, BothComponentsOnTheDataAccessPage) {
  Finalization();
  EXPECT_TRUE(zydRegisteredComponents().empty());
  Register();
  Register();  // a second registration adds nothing
  const auto& r = zydRegisteredComponents();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].page, "Data Access");
  EXPECT_EQ(r[0].className, "TZyDatabase");
  EXPECT_EQ(r[1].page, "Data Access");
  EXPECT_EQ(r[1].className, "TZyDatabaseDAQuery");
  Finalization();
  EXPECT_TRUE(zydRegisteredComponents().empty());
}

}  // namespace
