#include "platform/framework/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "platform/framework/Exception.h"

namespace zyfw {

namespace {

const char kReadError[] = "Stream read error";
const char kWriteError[] = "Stream write error";

// CopyFrom moves data through one buffer of this size, whatever the stream length.
constexpr int32_t kCopyBufferSize = 64 * 1024;

}  // namespace

// ------------------------------------------------------------------------------------------------
// TStream

int64_t TStream::Size() {
  const int64_t position = Seek(0, soFromCurrent);
  const int64_t end = Seek(0, soFromEnd);
  Seek(position, soFromBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count == 0) return;
  if (count < 0 || Read(buffer, count) != count) throw EReadError(kReadError);
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count == 0) return;
  if (count < 0 || Write(buffer, count) != count) throw EWriteError(kWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.PositionSet(0);
    count = source.Size();
  }
  if (count <= 0) return 0;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, kCopyBufferSize)));
  int64_t left = count;
  while (left > 0) {
    const int32_t chunk = static_cast<int32_t>(std::min<int64_t>(left, kCopyBufferSize));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    left -= chunk;
  }
  return count;
}

// ------------------------------------------------------------------------------------------------
// TMemoryStream

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  const int64_t size = static_cast<int64_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, size - position_));
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || position_ > std::numeric_limits<int64_t>::max() - count) return 0;
  const int64_t end = position_ + count;
  if (end > static_cast<int64_t>(data_.size())) {
    // A write far past the end may not fit in memory: report it as nothing written, which
    // WriteBuffer turns into a write error.
    try {
      data_.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      return 0;
    } catch (const std::length_error&) {
      return 0;
    }
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, uint16_t origin) {
  int64_t base;
  switch (origin) {
    case soFromBeginning: base = 0; break;
    case soFromCurrent: base = position_; break;
    case soFromEnd: base = static_cast<int64_t>(data_.size()); break;
    default: return -1;
  }
  if ((offset < 0 && base + offset < 0) ||
      (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
    return -1;
  position_ = base + offset;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EWriteError(kWriteError);
  try {
    data_.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EWriteError(kWriteError);
  } catch (const std::length_error&) {
    throw EWriteError(kWriteError);
  }
  if (position_ > size) position_ = size;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  TFileStream file(path, fmOpenRead);
  const int64_t size = file.Size();
  if (size < 0 || size > std::numeric_limits<int32_t>::max()) throw EReadError(kReadError);
  SetSize(size);
  position_ = 0;
  file.ReadBuffer(data_.data(), static_cast<int32_t>(size));
}

void TMemoryStream::SaveToFile(const std::string& path) {
  TFileStream file(path, fmCreate);
  const int64_t size = static_cast<int64_t>(data_.size());
  if (size > std::numeric_limits<int32_t>::max()) throw EWriteError(kWriteError);
  file.WriteBuffer(data_.data(), static_cast<int32_t>(size));
}

// ------------------------------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(const std::string& path, uint16_t mode) {
  int flags;
  if ((mode & fmCreate) == fmCreate) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (mode & 0x3) {
      case fmOpenWrite: flags = O_WRONLY; break;
      case fmOpenReadWrite: flags = O_RDWR; break;
      default: flags = O_RDONLY; break;
    }
  }
  do {
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) {
    const std::string reason = std::strerror(errno);
    throw EFOpenError("Cannot open file \"" + path + "\". " + reason);
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  auto* p = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  const auto* p = static_cast<const uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, p + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, uint16_t origin) {
  int whence;
  switch (origin) {
    case soFromBeginning: whence = SEEK_SET; break;
    case soFromCurrent: whence = SEEK_CUR; break;
    case soFromEnd: whence = SEEK_END; break;
    default: return -1;
  }
  const off_t result = ::lseek(fd_, static_cast<off_t>(offset), whence);
  return result < 0 ? -1 : static_cast<int64_t>(result);
}

void TFileStream::SetSize(int64_t size) {
  if (size < 0) throw EWriteError(kWriteError);
  int rc;
  do {
    rc = ::ftruncate(fd_, static_cast<off_t>(size));
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) throw EWriteError(kWriteError);
  // Like the memory stream, a position beyond the new end moves back to it.
  if (Seek(0, soFromCurrent) > size) Seek(size, soFromBeginning);
}

}  // namespace zyfw
