#include "engine/foundation/ZyMisc.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

std::string zydFormat(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string result;
  if (n < 0) {
    result = format;  // a broken format still says something
  } else if (static_cast<size_t>(n) < sizeof small) {
    result.assign(small, static_cast<size_t>(n));
  } else {
    result.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&result[0], result.size(), format, again);
    result.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return result;
}

std::string FileSizeFormat(int64_t size) {
  if (size < 1024) return zydFormat("%" PRId64 " Bytes", size);
  if (size < 1073741824) return zydFormat("%" PRId64 "KB", size / 1024);
  return zydFormat("%" PRId64 "MB", size / 1048576);
}

zyfw::TDateTime FileTimeToDateTime(uint64_t fileTime) {
  zyfw::SystemTime st;
  if (!zyfw::FileTimeToSystemTime(fileTime, &st)) return 0;
  return zyfw::ComposeDateTime(zyfw::EncodeDate(st.year, st.month, st.day),
                               zyfw::EncodeTime(st.hour, st.minute, st.second, st.millisecond));
}

std::string ExtractFileExtOnly(const std::string& fileName) {
  const size_t dot = fileName.find_last_of("./");
  if (dot == std::string::npos || fileName[dot] != '.') return std::string();
  return fileName.substr(dot + 1);
}
