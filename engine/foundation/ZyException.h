// EZyException, the engine's only exception. It carries a chain of up to 25 error entries (code,
// module, method, text, details): entry 0 is the failure itself, the rest the failure that caused
// it, outermost first. Its message is entry 0, formatted on four or five lines.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <string>

#include "platform/framework/Exception.h"

class EZyException : public zyfw::Exception {
 public:
  static constexpr uint32_t Capacity = 25;
  // The module text of an entry made from an exception that is not an EZyException.
  static constexpr const char* ForeignModule = "Framework";

  // Entry 0 from the first five arguments, then the chain of inner, if any: an EZyException's
  // entries are copied in order, any other exception becomes one entry (code 0, ForeignModule,
  // its class name, its message). Entries past Capacity are dropped. Never raises.
  EZyException(uint32_t code, const std::string& module, const std::string& method,
               const std::string& text, const std::string& details = std::string(),
               const std::exception* inner = nullptr) noexcept;
  // A failed call into the operating system: module "System", the system's message text for
  // code (which ends in "\r\n"), no details.
  EZyException(uint32_t code, const std::string& method) noexcept;

  const char* ClassName() const override { return "EZyException"; }

  // Index Capacity or more reads 0 / ""; so do filled-in-never entries below it.
  uint32_t CodeGet(uint32_t index) const;
  std::string ModuleGet(uint32_t index) const;
  std::string MethodGet(uint32_t index) const;
  std::string TextGet(uint32_t index) const;
  std::string DetailsGet(uint32_t index) const;
  // Number of entries filled, 1 to Capacity.
  uint32_t CountGet() const { return count_; }

 private:
  struct Entry {
    uint32_t code = 0;
    std::string module, method, text, details;
  };
  void Fill(uint32_t code, const std::string& module, const std::string& method,
            const std::string& text, const std::string& details, const std::exception* inner);
  void Append(Entry entry);

  uint32_t count_ = 0;
  std::array<Entry, Capacity> entries_;
};
