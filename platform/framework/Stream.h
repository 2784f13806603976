// The framework's stream classes: an abstract byte stream with a position, and the memory and
// file streams built on it. The engine reads and writes every table and value through TStream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zyfw {

constexpr uint16_t soFromBeginning = 0;
constexpr uint16_t soFromCurrent = 1;
constexpr uint16_t soFromEnd = 2;

class TStream {
 public:
  virtual ~TStream() = default;
  // Move up to count bytes; return the number moved (a read at the end returns fewer).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // 64-bit seek; origin is soFromBeginning, soFromCurrent or soFromEnd. Returns the new position,
  // or -1 when the move is refused (a position before the start, an unknown origin); a refused
  // move leaves the position where it was. Positions past the end are allowed.
  virtual int64_t Seek(int64_t offset, uint16_t origin) = 0;
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, soFromCurrent); }
  void PositionSet(int64_t position) { Seek(position, soFromBeginning); }
  // The size, found by seeking to the end and back.
  virtual int64_t Size();

  // Read or write exactly count bytes, or raise EReadError "Stream read error" /
  // EWriteError "Stream write error".
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source's current position; count 0 copies the whole source from its
  // start. Returns the number of bytes copied. The copy goes through one fixed-size buffer, so a
  // stream of any length costs the same memory; a short source raises EReadError. A negative
  // count copies nothing.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, uint16_t origin) override;
  // Positions past the end are allowed; writing there fills the gap with zeros. A negative size
  // raises EWriteError.
  void SetSize(int64_t size) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  const uint8_t* Memory() const { return data_.data(); }
  std::vector<uint8_t>& Bytes() { return data_; }
  void Clear() { data_.clear(); position_ = 0; }
  // Replace the content with the file's / write the content to the file (created or truncated).
  // A file that cannot be opened raises EFOpenError, a failed transfer EReadError/EWriteError.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path);

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

// A stream over an ordinary file. Modes: fmCreate creates or truncates; fmOpenRead,
// fmOpenWrite, fmOpenReadWrite open an existing file. Failure to open raises
// EFOpenError "Cannot open file \"%s\". %s" (with the system's reason).
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmCreate = 0xFF00;

class TFileStream : public TStream {
 public:
  TFileStream(const std::string& path, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, uint16_t origin) override;
  // Truncates or extends the file; failure raises EWriteError "Stream write error".
  void SetSize(int64_t size) override;

 private:
  int fd_ = -1;
};

}  // namespace zyfw
