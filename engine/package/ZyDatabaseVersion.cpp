#include "engine/package/ZyDatabaseVersion.h"

#include <cstdio>

namespace {
constexpr int kMajor = 1, kMinor = 0, kInterface = 1, kBuild = 87, kBeta = 0;
}  // namespace

int VersionMajor() { return kMajor; }
int VersionMinor() { return kMinor; }
int VersionInterface() { return kInterface; }
int VersionBuild() { return kBuild; }
int VersionBeta() { return kBeta; }

std::string zydVersionFormat(int major, int minor, int iface, int build, int beta,
                             bool includeBeta) {
  char buffer[96];
  int n = std::snprintf(buffer, sizeof buffer, "%d.%.2d.%d.%d", major, minor, iface, build);
  if (includeBeta && beta != 0 && n > 0 && static_cast<size_t>(n) < sizeof buffer)
    std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n), " Beta %d", beta);
  return buffer;
}

std::string Version(bool includeBeta) {
  return zydVersionFormat(kMajor, kMinor, kInterface, kBuild, kBeta, includeBeta);
}

uint32_t zydVersionPack(int major, int minor, int iface, int build) {
  return (static_cast<uint32_t>(major) & 0x3F) << 26 | (static_cast<uint32_t>(minor) & 0x7F) << 19 |
         (static_cast<uint32_t>(iface) & 0x7F) << 12 | (static_cast<uint32_t>(build) & 0xFFF);
}

TZyVersion zydVersionUnpack(uint32_t packed) {
  TZyVersion v;
  v.major = static_cast<int>(packed >> 26 & 0x3F);
  v.minor = static_cast<int>(packed >> 19 & 0x7F);
  v.iface = static_cast<int>(packed >> 12 & 0x7F);
  v.build = static_cast<int>(packed & 0xFFF);
  return v;
}

uint32_t zydVersionPacked() { return zydVersionPack(kMajor, kMinor, kInterface, kBuild); }
