// Small formatting routines shared by the engine and its callers: printf-style text for error
// messages, human-readable file sizes, file times as date-time values, and file extensions.
#pragma once

#include <cstdint>
#include <string>

#include "platform/framework/DateTime.h"

// printf into a std::string. Used to fill the %s / %d texts of ZyErrors.h.
std::string zydFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "1023 Bytes", "1KB", "1024MB": below 1024 (negative sizes included) in bytes, below 1 GiB in
// whole KiB, above that in whole MiB, always truncating.
std::string FileSizeFormat(int64_t size);

// A file time (100-ns intervals since 1601-01-01, no time-zone adjustment) as a date-time value.
// Times before 1899-12-30 come out negative with the time of day as the fraction, as the
// framework's date-time values have it. A time beyond year 9999 gives 0.
zyfw::TDateTime FileTimeToDateTime(uint64_t fileTime);

// The extension of a file name without its dot: "zyd" for "data.zyd", "gz" for "a.tar.gz", ""
// for "README". Only a dot after the last '/' counts.
std::string ExtractFileExtOnly(const std::string& fileName);
