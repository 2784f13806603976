// The framework's exception base and its few standard failures. Every exception the engine and
// its platform raise derives from Exception; ClassName() gives the class's own name, which the
// engine's error chain records for exceptions that are not its own.
#pragma once

#include <exception>
#include <string>

namespace zyfw {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  virtual const char* ClassName() const { return "Exception"; }

 protected:
  void MessageSet(std::string message) { message_ = std::move(message); }

 private:
  std::string message_;
};

// A list or string-list index outside 0 .. count - 1: "List index out of bounds (%d)".
class EListError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EListError"; }
};

// A file that could not be opened or created: "Cannot open file \"%s\". %s" (with the system's
// reason).
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EFOpenError"; }
};

// A stream moved fewer bytes than a ReadBuffer/WriteBuffer asked for.
class EReadError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EReadError"; }
};
class EWriteError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EWriteError"; }
};

// A text that does not convert to the number, currency or date asked for.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EConvertError"; }
};

// The class name of any exception: ClassName() for ours, the demangled type name otherwise.
std::string ExceptionClassName(const std::exception& e);

}  // namespace zyfw
