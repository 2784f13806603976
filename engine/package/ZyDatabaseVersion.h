// The engine's version: 1.00.1.87 (major, minor, interface, build; beta 0). Databases record it
// in packed form, one 32-bit number, so that opening a file written by a newer engine can be
// refused with a plain comparison.
#pragma once

#include <cstdint>
#include <string>

int VersionMajor();
int VersionMinor();
int VersionInterface();
int VersionBuild();
int VersionBeta();

// "1.00.1.87". With includeBeta and a nonzero beta number, " Beta N" follows.
std::string Version(bool includeBeta);

// The formatting behind Version, for any numbers.
std::string zydVersionFormat(int major, int minor, int iface, int build, int beta,
                             bool includeBeta);

// Packed form: major in bits 26-31, minor 19-25, interface 12-18, build 0-11. Each field is cut
// to its width. Packed values order as the versions do, so "newer" is ">".
struct TZyVersion {
  int major = 0, minor = 0, iface = 0, build = 0;
};
uint32_t zydVersionPack(int major, int minor, int iface, int build);
TZyVersion zydVersionUnpack(uint32_t packed);
// This engine's packed version, 0x04001057.
uint32_t zydVersionPacked();
